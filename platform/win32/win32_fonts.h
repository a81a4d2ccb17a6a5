// Which installed face and what height stand in for a designed font.
// Free of <windows.h>, so that it is tested on every build machine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace marivo::win32 {

// The character height (negative: em height) of a font of `points` at `dpi`.
int FontHeight(double points, int dpi);

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
