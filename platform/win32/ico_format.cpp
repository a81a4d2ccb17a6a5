#include "platform/win32/ico_format.h"

namespace marivo::win32 {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Bytes of one mask row: one bit a pixel, rows padded to four bytes.
std::uint32_t MaskStride(int width) {
  return static_cast<std::uint32_t>((width + 31) / 32 * 4);
}

std::uint32_t ImageBytes(const IconImage& image) {
  return 40 + static_cast<std::uint32_t>(image.width * image.height * 4) +
         MaskStride(image.width) * static_cast<std::uint32_t>(image.height);
}

}  // namespace

IconImage ScaleIcon(const IconImage& image, int size) {
  IconImage out;
  out.width = size;
  out.height = size;
  out.pixels.resize(static_cast<std::size_t>(size) * size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      out.pixels[std::size_t(y) * size + x] =
          image.pixels[std::size_t(y * image.height / size) * image.width + x * image.width / size];
    }
  }
  return out;
}

std::vector<std::uint8_t> IcoFile(const std::vector<IconImage>& images) {
  std::vector<std::uint8_t> out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // an icon, not a cursor
  Put16(out, static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (const IconImage& image : images) {
    out.push_back(static_cast<std::uint8_t>(image.width >= 256 ? 0 : image.width));
    out.push_back(static_cast<std::uint8_t>(image.height >= 256 ? 0 : image.height));
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, ImageBytes(image));
    Put32(out, offset);
    offset += ImageBytes(image);
  }
  for (const IconImage& image : images) {
    // The bitmap header: twice the height, for the colours and the mask.
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(image.width));
    Put32(out, static_cast<std::uint32_t>(image.height * 2));
    Put16(out, 1);
    Put16(out, 32);
    for (int i = 0; i < 6; ++i) Put32(out, 0);  // no compression, sizes and colours unset
    // Rows from the bottom, blue, green, red, alpha.
    for (int y = image.height - 1; y >= 0; --y) {
      for (int x = 0; x < image.width; ++x) {
        const std::uint32_t c = image.pixels[std::size_t(y) * image.width + x];
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
        out.push_back(static_cast<std::uint8_t>((c >> 16) & 0xFF));
        out.push_back(0xFF);
      }
    }
    out.insert(out.end(), std::size_t(MaskStride(image.width)) * image.height, 0);  // all shown
  }
  return out;
}

}  // namespace marivo::win32
