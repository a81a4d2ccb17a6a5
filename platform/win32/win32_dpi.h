// The screen the game is given: twips per pixel from the resolution, the
// usable bottom edge, and the whole-number factor the game is drawn at on
// a dense screen. Free of <windows.h>, so that it is tested on every build machine.
#pragma once

#include "platform/types.h"

namespace marivo::win32 {

// Twips per pixel for a device resolution in dots per inch.
int TwipsPerPixel(int dpi);

// The screen as the game sees it. The usable bottom edge is the bottom of
// the primary monitor's work area; it is reported as a full-screen client
// height plus one caption bar, which the game adds back together.
ScreenInfo MetricsFromDesktop(int screenWidth, int screenHeight, int workAreaBottom,
                              int captionHeight, int dpiX, int dpiY);

// The whole-number factor the game is drawn at on a screen of `dpi`: the
// ratio to 96 dpi rounded to the nearest whole number, halves up, as the
// Linux program rounds its scale (96 and 120 dpi give 1, 144 and 192 give
// 2, 288 gives 3); never below 1.
int ScaleForDpi(int dpi);

// The screen as the game sees it when every one of its pixels is `scale`
// pixels of the desktop: 15 twips to the pixel, the sizes divided by the
// factor (a width that does not divide rounds up, so the sea still reaches
// the right edge). The game's pixel row 0 lies `originY` desktop pixels
// below the top of the screen, so that the usable bottom edge, divided,
// falls exactly on the desktop's.
struct ScaledDesktop {
  ScreenInfo screen;
  int originY = 0;
};
ScaledDesktop ScaleDesktop(int screenWidth, int screenHeight, int workAreaBottom, int captionHeight,
                           int scale);

}  // namespace marivo::win32
