// Small pieces of the Qt backend that need no window: how the screen, the
// fonts, the pictures and the outlines become what Qt wants. Kept apart so
// that they can be checked on their own.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QStringList>
#include <string>
#include <vector>

#include "assets/images.h"
#include "platform/region.h"
#include "platform/types.h"

namespace marivo::qt {

// Twips per logical pixel on every screen: the game's layout assumes it.
inline constexpr int kTwipsPerPixel = 15;
// The caption bar the game adds back to the usable height.
inline constexpr int kCaptionHeight = 19;

// The screen as the game measures it, from the primary screen's full and
// available geometry (logical pixels). The usable bottom edge is the
// available area's bottom: the row where a bottom task bar begins.
ScreenInfo ScreenInfoFrom(const QRect& geometry, const QRect& available);

// The families to try for a face the windows were designed with, best
// first; the Japanese faces map to the IPA fonts.
QStringList FamiliesFor(const char* face);
// A font for a design font, falling back to any installed Japanese font.
QFont FontFor(const FontDesign& design);

// `font`, made smaller (down to 70 %) until `text` fits in `width` pixels on
// one line: the clock must show whole in its label whatever font stands in.
QFont FitFont(const QFont& font, const QString& text, int width);

// 0xRRGGBB to a Qt colour; the button-face placeholder becomes `buttonFace`.
QColor ToQColor(Color color, const QColor& buttonFace);

// An opaque copy of an embedded picture.
QImage ToQImage(const assets::Image& image);

// The union of the outline's rectangles.
QRegion ToQRegion(const std::vector<PixelRect>& rects);

// How far in from each edge of the screen a managed sprite's native window
// reaches at least, in logical pixels. xfwm4 pulls a window that shows less
// than its theme's title height (29 pixels as it comes, 58 with its largest
// stock theme) inward from an edge back up to that line whenever it moves.
inline constexpr int kEdgeReach = 64;

// The native window of a managed sprite whose visible part is `seen`:
// near an edge of `screen` (less than `reach` pixels in from it), `seen`
// grown by `reach` toward the middle, inside `allowed`, so that it reaches
// at least that far in and no window manager has anything to pull. What it grows by is left out of
// the window's shape: nothing of it is drawn or takes the pointer. An empty `seen` stays empty.
QRect ClearOfEdges(const QRect& seen, const QRect& screen, const QRect& allowed, int reach);

// Whole pixels from twips, the way the window layer places windows.
int TwipsToPixels(double twips);

// The per-user settings folder: $XDG_CONFIG_HOME/marivo2 when that is an
// absolute path, else $HOME/.config/marivo2; empty when neither is known.
std::string UserSettingsDirFrom(const char* xdgConfigHome, const char* home);

// A scale-factor setting (QT_SCALE_FACTOR's "1.5", or QT_SCREEN_SCALE_FACTORS'
// "1.5;2" and "HDMI-1=1.25;DP-2=3") with every factor rounded to a whole
// number, halves up, at least 1. Pixel art only stays crisp, and the scene
// only ends exactly on the usable bottom row, at whole factors; this is the
// rounding Qt itself applies to the screens' own factors. Entries that are
// not numbers are kept as they are, for Qt to judge.
std::string WholeScaleFactors(const std::string& setting);

}  // namespace marivo::qt
