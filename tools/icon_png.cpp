// Build tool: writes the program's icon as a square PNG of a given size for
// the desktop's icon theme.
//   icon_png <icon.xpm> <size> <out.png>
//
// The icon is pixel art, so it is only ever scaled by whole numbers with
// nearest neighbour, never smoothed: blown up by the largest whole factor
// that fits (or reduced by the smallest whole divisor that fits) and centred
// on a transparent square when the size is not an exact multiple. Pixels the
// picture leaves transparent ("None") stay transparent.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tools/png_write.h"
#include "tools/xpm_reader.h"

namespace {

struct Square {
  int size = 0;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB or kNone
};

Square Scale(const marivo::xpm::Picture& picture, int size) {
  Square out{size,
             std::vector<std::uint32_t>(static_cast<std::size_t>(size) * size, marivo::xpm::kNone)};
  const int longest = picture.width > picture.height ? picture.width : picture.height;
  // Output pixel = factor / divisor source pixels, one of the two being 1.
  int factor = 1;
  int divisor = 1;
  if (size >= longest) {
    factor = size / longest;
  } else {
    divisor = (longest + size - 1) / size;
  }
  const int width = picture.width * factor / divisor;
  const int height = picture.height * factor / divisor;
  const int left = (size - width) / 2;
  const int top = (size - height) / 2;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // The source pixel under the centre of this output pixel.
      const int sx = (2 * x + 1) * divisor / (2 * factor);
      const int sy = (2 * y + 1) * divisor / (2 * factor);
      out.pixels[static_cast<std::size_t>(top + y) * size + left + x] = picture.At(sx, sy);
    }
  }
  return out;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    c ^= data[i];
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return c ^ 0xFFFFFFFFu;
}

void PutBigEndian(std::vector<std::uint8_t>* out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out->push_back(static_cast<std::uint8_t>(v >> shift));
}

// The PNG writer makes opaque RGB files. Transparency is added the way PNG
// allows for RGB: a tRNS chunk naming one colour that is fully transparent.
// That colour is one the icon does not use, painted where the icon is clear.
std::vector<std::uint8_t> EncodeWithTransparency(Square square) {
  std::set<std::uint32_t> used(square.pixels.begin(), square.pixels.end());
  bool clear = used.erase(marivo::xpm::kNone) > 0;
  std::uint32_t key = 0xFF00FFu;
  while (used.count(key) != 0) --key;
  for (std::uint32_t& p : square.pixels) {
    if (p == marivo::xpm::kNone) p = key;
  }
  std::vector<std::uint8_t> png = marivo::EncodePng(square.size, square.size, square.pixels.data());
  if (!clear || png.size() < 33) return png;
  std::vector<std::uint8_t> chunk;
  PutBigEndian(&chunk, 6);
  const std::size_t typeAt = chunk.size();
  for (char c : {'t', 'R', 'N', 'S'}) chunk.push_back(static_cast<std::uint8_t>(c));
  for (int shift : {16, 8, 0}) {  // one 16-bit sample per channel
    chunk.push_back(0);
    chunk.push_back(static_cast<std::uint8_t>(key >> shift));
  }
  PutBigEndian(&chunk, Crc32(chunk.data() + typeAt, chunk.size() - typeAt));
  // After the signature (8 bytes) and the header chunk (25): before the data.
  png.insert(png.begin() + 33, chunk.begin(), chunk.end());
  return png;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: icon_png <icon.xpm> <size> <out.png>\n");
    return 2;
  }
  char* end = nullptr;
  const long size = std::strtol(argv[2], &end, 10);
  if (*end != '\0' || size < 1 || size > 4096) {
    std::fprintf(stderr, "icon_png: the size must be a whole number from 1 to 4096: %s\n", argv[2]);
    return 2;
  }
  marivo::xpm::Picture picture;
  std::string error;
  if (!marivo::xpm::ReadXpmFile(argv[1], &picture, &error)) {
    std::fprintf(stderr, "icon_png: %s\n", error.c_str());
    return 1;
  }
  if (picture.width < 1 || picture.height < 1) {
    std::fprintf(stderr, "icon_png: %s is empty\n", argv[1]);
    return 1;
  }
  const std::vector<std::uint8_t> png =
      EncodeWithTransparency(Scale(picture, static_cast<int>(size)));
  std::ofstream out(argv[3], std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "icon_png: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
