// The Windows icon file format (.ico), written from our own pixels, so the
// executable carries the game's icon for Explorer and the task bar.
#pragma once

#include <cstdint>
#include <vector>

namespace marivo::win32 {

struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB, row-major from the top; all opaque
};

// The picture scaled to size x size by nearest pixel.
IconImage ScaleIcon(const IconImage& image, int size);

// An .ico file holding the images (each at most 256 x 256) as 32-bit
// bitmaps with an all-opaque mask.
std::vector<std::uint8_t> IcoFile(const std::vector<IconImage>& images);

}  // namespace marivo::win32
