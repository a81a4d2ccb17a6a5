// Drawing the game at a whole-number factor, and the paths the record's
// folder is made from, on the build machine.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/region.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_fonts.h"
#include "platform/win32/win32_paths.h"
#include "platform/win32/win32_region_scale.h"

namespace marivo::win32 {
namespace {

TEST(Win32Scale, FactorFromTheSystemDpiRoundsHalvesUp) {
  EXPECT_EQ(ScaleForDpi(96), 1);
  EXPECT_EQ(ScaleForDpi(120), 1);  // 1.25
  EXPECT_EQ(ScaleForDpi(143), 1);
  EXPECT_EQ(ScaleForDpi(144), 2);  // 1.5
  EXPECT_EQ(ScaleForDpi(192), 2);
  EXPECT_EQ(ScaleForDpi(239), 2);
  EXPECT_EQ(ScaleForDpi(240), 3);  // 2.5
  EXPECT_EQ(ScaleForDpi(288), 3);
  EXPECT_EQ(ScaleForDpi(72), 1);  // never below 1
  EXPECT_EQ(ScaleForDpi(0), 1);
}

TEST(Win32Scale, TheGameSeesTheScreenDividedAndStandsOnTheRealBottom) {
  // 2048 x 1536 at twice the size, a 60-pixel task bar.
  ScaledDesktop d = ScaleDesktop(2048, 1536, 1476, 46, 2);
  EXPECT_EQ(d.screen.widthPx, 1024);
  EXPECT_EQ(d.screen.heightPx, 768);
  EXPECT_EQ(d.screen.twipsPerPixelX, 15);
  EXPECT_EQ(d.screen.twipsPerPixelY, 15);
  EXPECT_EQ(d.screen.fullScreenClientHeight + d.screen.captionHeight, 738);
  EXPECT_EQ(d.originY, 0);

  // A work area that ends on an odd row: the game's rows are shifted down
  // by the remainder, so its bottom row still ends on the task bar.
  d = ScaleDesktop(1024, 768, 737, 23, 2);
  const int bottom = d.screen.fullScreenClientHeight + d.screen.captionHeight;
  EXPECT_EQ(bottom, 368);
  EXPECT_EQ(d.originY + bottom * 2, 737);
  // A width that does not divide rounds up: the sea reaches the edge.
  d = ScaleDesktop(1023, 768, 768, 23, 3);
  EXPECT_EQ(d.screen.widthPx, 341);
  EXPECT_EQ(d.originY + (d.screen.fullScreenClientHeight + d.screen.captionHeight) * 3, 768);

  // Factor 1 is exactly the desktop.
  d = ScaleDesktop(1024, 768, 738, 19, 1);
  EXPECT_EQ(d.screen.widthPx, 1024);
  EXPECT_EQ(d.screen.fullScreenClientHeight, 719);
  EXPECT_EQ(d.originY, 0);
}

std::vector<std::uint8_t> Record(const std::vector<PixelRect>& rects) {
  std::vector<std::uint8_t> out(32 + 16 * rects.size());
  const std::int32_t header[8] = {
      32, 1, std::int32_t(rects.size()), std::int32_t(16 * rects.size()), 0, 0, 50, 48};
  std::memcpy(out.data(), header, sizeof header);
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const std::int32_t r[4] = {rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
    std::memcpy(out.data() + 32 + 16 * i, r, sizeof r);
  }
  return out;
}

TEST(Win32Scale, AnOutlineBlownUpCoversExactlyTheBlownUpPixels) {
  const std::vector<PixelRect> rects = {{3, 0, 9, 1}, {1, 1, 12, 4}, {0, 4, 50, 48}};
  const std::vector<std::uint8_t> original = Record(rects);
  for (int scale : {1, 2, 3}) {
    const std::vector<std::uint8_t> scaled =
        ScaleRegionRecord(original.data(), std::uint32_t(original.size()), scale);
    ASSERT_EQ(scaled.size(), original.size());
    const auto big = ParseRegionData(scaled.data(), std::uint32_t(scaled.size()));
    ASSERT_TRUE(big.has_value());
    for (int y = 0; y < 48 * scale; ++y) {
      for (int x = 0; x < 60 * scale; ++x) {
        ASSERT_EQ(RegionContains(*big, x, y), RegionContains(rects, x / scale, y / scale))
            << "scale " << scale << " at " << x << "," << y;
      }
    }
    std::int32_t bounds[4];
    std::memcpy(bounds, scaled.data() + 16, sizeof bounds);
    EXPECT_EQ(bounds[2], 50 * scale);
    EXPECT_EQ(bounds[3], 48 * scale);
  }
}

TEST(Win32Scale, ABrokenOutlineStaysBroken) {
  // The header is never touched, and a torn last rectangle is left alone,
  // so the system refuses the scaled record just as it would the original.
  std::vector<std::uint8_t> torn = Record({{0, 0, 5, 5}, {1, 1, 2, 2}});
  torn.resize(torn.size() - 4);
  const std::vector<std::uint8_t> scaled =
      ScaleRegionRecord(torn.data(), std::uint32_t(torn.size()), 2);
  EXPECT_EQ(std::memcmp(scaled.data(), torn.data(), 16), 0);
  EXPECT_EQ(std::memcmp(scaled.data() + 48, torn.data() + 48, torn.size() - 48), 0);
  EXPECT_FALSE(ParseRegionData(scaled.data(), std::uint32_t(scaled.size())).has_value());
  EXPECT_EQ(ScaleRegionRecord(torn.data(), 20, 2).size(), 20u);
  EXPECT_TRUE(ScaleRegionRecord(nullptr, 0, 2).empty());
}

TEST(Win32Scale, TextTakesTheRoomItTakesAtTheDesignSizeBlownUp) {
  // The clock "12/07 13:05" in a label 4 pixels in: its characters'
  // design-size advances end it at 63, 3 pixels before the button at 66.
  const std::vector<int> clock = {6, 6, 5, 6, 6, 3, 6, 6, 3, 6, 6};
  for (int scale : {1, 2, 3}) {
    const ScaledLine line = LayOutLine(clock, 4, 63, false, scale);
    int pen = line.left, design = 4;
    for (std::size_t i = 0; i < clock.size(); ++i) {
      ASSERT_EQ(pen, design * scale) << "character " << i << " at scale " << scale;
      pen += line.dx[i];
      design += clock[i];
    }
    EXPECT_EQ(line.left + line.Width(), 63 * scale);
    EXPECT_EQ(66 * scale - pen, 3 * scale);
  }
  // Centred as the system centres at 96 dpi (the odd pixel dropped), then
  // blown up; text wider than its box sticks out on both sides.
  EXPECT_EQ(LayOutLine({5, 4, 4}, 10, 20, true, 1).left, 13);
  EXPECT_EQ(LayOutLine({5, 4, 4}, 10, 20, true, 2).left, 26);
  EXPECT_EQ(LayOutLine({5, 4, 4}, 10, 10, true, 2).left, 18);
  EXPECT_EQ(LayOutLine({}, 10, 20, true, 3).left, 60);

  EXPECT_EQ(AdvancesFromExtents({7, 14, 20, 27}), (std::vector<int>{7, 7, 6, 7}));
  EXPECT_TRUE(AdvancesFromExtents({}).empty());
}

TEST(Win32Paths, TheRecordFolderIsMadeStepByStepBelowItsDrive) {
  using V = std::vector<std::string>;
  EXPECT_EQ(FolderChain("C:\\Users\\a\\AppData\\Roaming\\Marivo2"),
            (V{"C:\\Users", "C:\\Users\\a", "C:\\Users\\a\\AppData",
               "C:\\Users\\a\\AppData\\Roaming", "C:\\Users\\a\\AppData\\Roaming\\Marivo2"}));
  EXPECT_EQ(FolderChain("C:/x/y/"), (V{"C:\\x", "C:\\x\\y"}));
  EXPECT_EQ(FolderChain("D:\\"), V{});
  EXPECT_EQ(FolderChain("\\\\server\\share\\マリヴォ\\r"),
            (V{"\\\\server\\share\\マリヴォ", "\\\\server\\share\\マリヴォ\\r"}));
  EXPECT_EQ(FolderChain("\\\\server\\share"), V{});
  EXPECT_EQ(FolderChain("a\\\\b"), (V{"a", "a\\\\b"}));

  EXPECT_EQ(FolderOf("C:\\Games\\marivo2.ini"), "C:\\Games");
  EXPECT_EQ(FolderOf("D:\\marivo2.ini"), "D:\\");
  EXPECT_EQ(FolderOf("marivo2.ini"), ".");
  EXPECT_EQ(FolderOf("\\\\server\\share\\marivo2.ini"), "\\\\server\\share");
}

}  // namespace
}  // namespace marivo::win32
