// Which installed face and what height stand in for a designed font, and
// how a line of text in it is laid out at the display's scale.
// Free of <windows.h>, so that it is tested on every build machine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace marivo::win32 {

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

}  // namespace marivo::win32
