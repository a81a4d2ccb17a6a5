// Reading the XPM pictures under assets/.
//
// Every picture of the game is kept as an XPM 3 file: plain text that image
// editors read and write, and that a diff shows line by line. This is the one
// reader every build tool uses, so all of them agree on what a file means.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marivo::xpm {

// A colour entry of "None": transparent in an editor. Pictures never use it;
// shape-mask companions do (see docs/art.md).
inline constexpr std::uint32_t kNone = 0xFF000000u;

struct Picture {
  std::string name;  // the C identifier the file declares
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB or kNone, row-major

  std::uint32_t At(int x, int y) const { return pixels[y * width + x]; }
};

// Parses XPM 3 text. On failure returns false and says why in *error.
bool ParseXpm(const std::string& text, Picture* picture, std::string* error);

// Reads and parses one file; the error names the file.
bool ReadXpmFile(const std::string& path, Picture* picture, std::string* error);

// Writes a picture as XPM 3 text with one character per pixel (at most 92
// colours) or two (more). kNone pixels become a "None" entry.
std::string FormatXpm(const Picture& picture);

}  // namespace marivo::xpm
