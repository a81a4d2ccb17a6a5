// The parts of the Windows backend that need no Windows: text conversion
// at the API boundary, the executable's folder and name, the screen metrics
// the game is given, font choice, where controls sit and which one is under
// the pointer, and how long the pump may sleep. Kept free of <windows.h>
// so that they are tested on every build machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/state.h"
#include "platform/types.h"

namespace marivo::win32 {

// UTF-8 to UTF-16 and back. Malformed input (stray continuation bytes,
// overlong forms, surrogates encoded in UTF-8, lone surrogates in UTF-16)
// becomes U+FFFD rather than being dropped or passed through.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The executable's folder and its name without the extension, from the
// full module path. The folder keeps its trailing backslash only for a
// drive root ("D:\"), the way the game expects a folder.
struct ModulePath {
  std::string folder;
  std::string exeName;
};
ModulePath SplitModulePath(std::string_view fullPath);

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

// A shape record (RGNDATA layout) with its bounds and rectangles blown up
// by `scale`; the header and anything that is not a whole rectangle stay
// as they are, so a record the system refuses is still refused.
std::vector<std::uint8_t> ScaleRegionRecord(const void* data, std::uint32_t bytes, int scale);

// The folders to create, outermost first, for `folder` and its parents:
// the drive ("C:\") or share ("\\server\share") they live on is not
// among them. Backslashes and slashes both separate.
std::vector<std::string> FolderChain(std::string_view folder);

// The folder part of a file path ("." for a bare name).
std::string FolderOf(std::string_view path);

// The character height (negative: em height) of a font of `points` at `dpi`.
int FontHeight(double points, int dpi);

// One line of text as the game lays it out, blown up by `scale`: every
// character advances by its width in the design-size font (pixels of the
// game) times the factor, so the line takes exactly the room it takes at
// 96 dpi, blown up, while the glyphs themselves are drawn at full size. A
// face's larger sizes are not exactly proportional to its design size (each
// size's advances are rounded to whole pixels), and a line measured at
// full size would run into whatever stands beside its box.
// `boxLeft`/`boxWidth` are the box in the game's pixels; centred text sits
// where the system centres it at 96 dpi. `left` and `dx` are desktop pixels,
// for ExtTextOut.
struct ScaledLine {
  int left = 0;
  std::vector<int> dx;
  int Width() const;
};
ScaledLine LayOutLine(const std::vector<int>& designAdvances, int boxLeft, int boxWidth,
                      bool centred, int scale);

// The advance of each character from the extents of its first 1, 2, ...
// characters (as GetTextExtentExPoint reports them).
std::vector<int> AdvancesFromExtents(const std::vector<int>& extents);

// Which installed face to use for a designed one. `japaneseFaces` are the
// families that can show Japanese, proportional ones first. The designed face when it is there,
// then its other well-known name, then a Japanese face of the same style (gothic or mincho); Latin
// faces are kept as designed. Empty: the desktop's own Japanese fallback, reached through the
// character set alone.
struct FaceChoice {
  std::string face;
  bool japanese = true;  // ask for the Japanese character set
};
FaceChoice ChooseFace(std::string_view designed, const std::vector<std::string>& japaneseFaces);

// A control's rectangle in client pixels.
struct PixelBox {
  int left = 0, top = 0, width = 0, height = 0;
  bool Contains(int x, int y) const {
    return x >= left && y >= top && x < left + width && y < top + height;
  }
};
PixelBox ControlBox(const ControlState& control, int twipsPerPixelX, int twipsPerPixelY);

// Whether a control is painted by the window itself (labels, pictures,
// images, lines and frames that are visible and not frame stores).
bool PaintedByWindow(const ControlState& control);

// The order in which the window paints its controls: the light ones
// (labels, images, lines, frames) first, picture boxes above them, each
// group in design order.
std::vector<int> PaintOrder(const WindowState& window);

// The control under a client pixel, or -1 for the window itself. Picture
// boxes lie above labels and images; lines, frames, hidden controls and
// frame stores let the pointer through.
int ControlAt(const WindowState& window, int x, int y, int twipsPerPixelX, int twipsPerPixelY);

// How long the pump may sleep, in milliseconds: until `deadline` on the
// wrapping tick counter, 0 when it has passed, kForever without one.
inline constexpr std::uint32_t kForever = 0xFFFFFFFFu;
std::uint32_t SleepFor(std::optional<std::uint32_t> deadline, std::uint32_t now);

}  // namespace marivo::win32
