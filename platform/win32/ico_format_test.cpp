// The icon file the executable carries.
#include "platform/win32/ico_format.h"

#include <gtest/gtest.h>

namespace marivo::win32 {
namespace {

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}
std::uint32_t Read16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8);
}

TEST(Win32Icon, FileHoldsEachImageBottomUpWithAnOpaqueMask) {
  // 2 x 2: red, green on the top row; blue, white below.
  IconImage image{2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}};
  IconImage large{32, 32, std::vector<std::uint32_t>(32 * 32, 0x123456)};
  const std::vector<std::uint8_t> ico = IcoFile({image, large});

  EXPECT_EQ(Read16(ico, 0), 0u);
  EXPECT_EQ(Read16(ico, 2), 1u);  // an icon
  EXPECT_EQ(Read16(ico, 4), 2u);
  // Directory entries: size, 32 bits, byte count, offset.
  EXPECT_EQ(ico[6], 2);
  EXPECT_EQ(ico[7], 2);
  EXPECT_EQ(Read16(ico, 6 + 6), 32u);
  const std::uint32_t small = 40 + 2 * 2 * 4 + 4 * 2;  // header, pixels, mask rows of 4 bytes
  EXPECT_EQ(Read32(ico, 6 + 8), small);
  EXPECT_EQ(Read32(ico, 6 + 12), 6u + 32u);
  EXPECT_EQ(ico[22], 32);
  EXPECT_EQ(Read32(ico, 22 + 8), 40u + 32 * 32 * 4 + 4 * 32);
  EXPECT_EQ(Read32(ico, 22 + 12), 6u + 32u + small);
  EXPECT_EQ(ico.size(), 6u + 32u + small + 40u + 32 * 32 * 4 + 4 * 32);

  const std::size_t header = 38;
  EXPECT_EQ(Read32(ico, header), 40u);
  EXPECT_EQ(Read32(ico, header + 8), 4u);  // colours and mask stacked
  EXPECT_EQ(Read16(ico, header + 14), 32u);
  // The bottom row comes first: blue, then white; bytes are B, G, R, A.
  const std::size_t px = header + 40;
  EXPECT_EQ(std::vector<std::uint8_t>(ico.begin() + px, ico.begin() + px + 8),
            (std::vector<std::uint8_t>{0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(std::vector<std::uint8_t>(ico.begin() + px + 8, ico.begin() + px + 16),
            (std::vector<std::uint8_t>{0, 0, 0xFF, 0xFF, 0, 0xFF, 0, 0xFF}));
  for (std::size_t i = px + 16; i < px + 24; ++i) EXPECT_EQ(ico[i], 0) << "mask byte " << i;
}

TEST(Win32Icon, SmallSizeTakesTheNearestPixels) {
  IconImage image{4, 4, {}};
  for (std::uint32_t i = 0; i < 16; ++i) image.pixels.push_back(i);
  const IconImage half = ScaleIcon(image, 2);
  EXPECT_EQ(half.pixels, (std::vector<std::uint32_t>{0, 2, 8, 10}));
}

}  // namespace
}  // namespace marivo::win32
