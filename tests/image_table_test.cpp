// The compact picture table: what the program expands at first use must be
// exactly the pictures the XPM sources describe.
#include "assets/image_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "assets/images.h"
#include "platform/catalogue.h"
#include "tools/picture_set.h"
#include "tools/xpm_reader.h"

namespace marivo {
namespace {

// FNV-1a over every picture's width, height and pixels, four bytes each,
// low byte first, in table order.
std::uint64_t Fingerprint() {
  std::uint64_t hash = 1469598103934665603ull;
  auto mix = [&hash](std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      hash ^= (value >> (8 * i)) & 0xFFu;
      hash *= 1099511628211ull;
    }
  };
  for (const assets::Image* image : assets::AllImages()) {
    mix(static_cast<std::uint32_t>(image->width));
    mix(static_cast<std::uint32_t>(image->height));
    const std::uint32_t* pixels = image->Pixels();
    for (int i = 0; i < image->width * image->height; ++i) mix(pixels[i]);
  }
  return hash;
}

TEST(ImageTable, EveryPictureIsPixelForPixelItsSource) {
  std::vector<xpm::Picture> sources;
  std::string error;
  ASSERT_TRUE(art::LoadEmbeddedPictures(MARIVO_ASSET_SOURCE_DIR, &sources, &error)) << error;
  const auto all = assets::AllImages();
  ASSERT_EQ(all.size(), sources.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    const assets::Image& image = *all[i];
    const xpm::Picture& source = sources[i];
    ASSERT_EQ(image.width, source.width) << image.name;
    ASSERT_EQ(image.height, source.height) << image.name;
    int wrong = 0;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        if (image.At(x, y) != source.At(x, y)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << image.name;
  }
  // The pictures as the program embedded them when they were still stored
  // as 32-bit pixels (106 pictures, 158,546 pixels): the compact form
  // changes none of them. Redrawing a picture changes this figure.
  EXPECT_EQ(Fingerprint(), 0x4aecbd44edae2d1cull);
}

TEST(ImageTable, PicturesAreExpandedOnceAndStayPut) {
  const auto all = assets::AllImages();
  EXPECT_EQ(all.data(), assets::AllImages().data());
  EXPECT_EQ(&assets::ManFrame(3), all[assets::detail::kManFirst + 3]);
  EXPECT_EQ(&assets::HookPicture(), all[assets::detail::kHookIndex]);
  EXPECT_EQ(&assets::CertificatePicture(), all[assets::detail::kCertificateIndex]);
  const std::uint32_t* fish = assets::FishPicture(7).Pixels();
  EXPECT_EQ(fish, all[assets::detail::kFishFirst + 7]->Pixels());
  const std::size_t expanded = assets::detail::ExpandedPixelCount();
  EXPECT_EQ(assets::FishPicture(7).Pixels(), fish);
  EXPECT_EQ(assets::detail::ExpandedPixelCount(), expanded) << "expanded only once";
  // No two pictures share or overlap their pixels.
  std::vector<std::pair<const std::uint32_t*, const std::uint32_t*>> spans;
  for (const assets::Image* image : all) {
    spans.emplace_back(image->Pixels(), image->Pixels() + image->width * image->height);
  }
  std::sort(spans.begin(), spans.end());
  for (std::size_t i = 1; i < spans.size(); ++i) EXPECT_GE(spans[i].first, spans[i - 1].second);
}

// A start shows a handful of the pictures: the rest are not expanded, which
// keeps some 600 KB of pixels out of memory. Run in a fresh process (gtest
// starts the test program again for it), since the other tests expand
// every picture.
TEST(ImageTableDeathTest, OnlyThePicturesAskedForAreExpanded) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // The whole catalogue of windows refers to every picture.
        for (const WindowDesign& design : AllDesigns()) (void)design;
        const bool none = assets::detail::ExpandedPixelCount() == 0;
        assets::ManFrame(0).Pixels();
        assets::ManFrame(0).Pixels();
        const bool one = assets::detail::ExpandedPixelCount() == 50 * 48;
        std::exit(none && one ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(ImageTable, EverySourceFitsAPaletteSoNothingIsStoredRaw) {
  for (const assets::detail::PackedImage& packed : assets::detail::kPackedImages) {
    EXPECT_EQ(packed.raw, nullptr) << packed.name;
    EXPECT_LE(packed.paletteSize, assets::detail::kMaxPaletteSize) << packed.name;
  }
}

TEST(ImageTable, ExpandReadsBothFormsAndRefusesBrokenData) {
  const std::uint32_t palette[] = {0xFF00FF, 0x102030, 0xFFFFFF};
  const std::uint8_t indices[] = {0, 1, 2, 2, 1, 0};
  std::uint32_t out[6] = {};
  assets::detail::Expand({3, 2, palette, 3, indices, nullptr, "indexed"}, out);
  const std::vector<std::uint32_t> indexed(out, out + 6);
  EXPECT_EQ(indexed, (std::vector<std::uint32_t>{0xFF00FF, 0x102030, 0xFFFFFF, 0xFFFFFF, 0x102030,
                                                 0xFF00FF}));

  // A picture with more colours than a byte can index keeps its pixels.
  const std::uint32_t raw[] = {1, 2, 3, 4, 5, 6};
  assets::detail::Expand({2, 3, nullptr, 0, nullptr, raw, "raw"}, out);
  EXPECT_EQ(std::vector<std::uint32_t>(out, out + 6), std::vector<std::uint32_t>(raw, raw + 6));

  // An index past the palette must not read beyond it.
  const std::uint8_t stray[] = {0, 1, 3, 0, 0, 0};
  EXPECT_THROW(assets::detail::Expand({3, 2, palette, 3, stray, nullptr, "stray"}, out),
               std::logic_error);
  EXPECT_THROW(assets::detail::Expand({3, 2, nullptr, 0, nullptr, nullptr, "empty"}, out),
               std::logic_error);
}

}  // namespace
}  // namespace marivo
