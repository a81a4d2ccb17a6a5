// The window outlines against their catalogue figures, the committed sprites
// against the generated data, and the tools that turn one into the other.
#include "tools/shape_catalogue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "assets/images.h"
#include "shapes/shape_record.h"
#include "tools/asset_manifest.h"
#include "tools/picture_set.h"
#include "tools/png_write.h"
#include "tools/shape_derive.h"
#include "tools/xpm_reader.h"

namespace marivo {
namespace {

using art::BalloonFigure;
using art::CatalogueFigure;

const std::string kAssets = MARIVO_ASSET_SOURCE_DIR;

bool Same(const ShapeRect& a, const ShapeRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Text(const ShapeRect& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

std::vector<ShapeRect> Rects(const PackedShape& shape) {
  return std::vector<ShapeRect>(shape.rects, shape.rects + shape.count);
}

// Whether pixel (x, y) lies in the union of the rectangles.
bool Covers(const PackedShape& shape, int x, int y) {
  for (int i = 0; i < shape.count; ++i) {
    const ShapeRect& r = shape.rects[i];
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  }
  return false;
}

// Banded order: sorted by top, then left; a band shares top and bottom;
// bands do not overlap; rectangles in a band neither overlap nor touch.
void ExpectBanded(const PackedShape& shape, const std::string& what) {
  for (int i = 0; i < shape.count; ++i) {
    const ShapeRect& r = shape.rects[i];
    EXPECT_LT(r.left, r.right) << what << " rect " << i;
    EXPECT_LT(r.top, r.bottom) << what << " rect " << i;
    EXPECT_GE(r.left, shape.bound.left) << what;
    EXPECT_GE(r.top, shape.bound.top) << what;
    EXPECT_LE(r.right, shape.bound.right) << what;
    EXPECT_LE(r.bottom, shape.bound.bottom) << what;
    if (i == 0) continue;
    const ShapeRect& p = shape.rects[i - 1];
    if (p.top == r.top) {
      EXPECT_EQ(p.bottom, r.bottom) << what << " rect " << i;
      EXPECT_LT(p.right, r.left) << what << " rect " << i << " touches its neighbour";
    } else {
      EXPECT_GE(r.top, p.bottom) << what << " rect " << i << " overlaps the band above";
    }
  }
}

// ---- The stored outlines against the catalogue ----------------------------

TEST(ShapeCatalogue, EverySlotHasItsCatalogueExtentAndCount) {
  for (int slot = 0; slot < art::kSpriteSlotCount; ++slot) {
    const PackedShape& shape = SpriteShapeData(slot);
    const art::SlotFigure& figure = CatalogueFigure(slot);
    EXPECT_TRUE(Same(shape.bound, figure.bound))
        << "slot " << slot << ": extent " << Text(shape.bound) << ", catalogue "
        << Text(figure.bound);
    EXPECT_EQ(shape.count, figure.count) << "slot " << slot;
    EXPECT_GE(shape.count, 4) << "slot " << slot;
    EXPECT_LE(shape.count, 69) << "slot " << slot;
    ExpectBanded(shape, "slot " + std::to_string(slot));
  }
}

TEST(ShapeCatalogue, SlotSixtyIsNeverFilled) {
  const art::SlotFigure& figure = CatalogueFigure(60);
  EXPECT_EQ(figure.count, 0);
  EXPECT_TRUE(Same(figure.bound, ShapeRect{}));
  // There is no stored outline behind it; asking for one is refused rather
  // than reading past the table.
  EXPECT_THROW(SpriteShapeData(60), std::out_of_range);
  EXPECT_THROW(SpriteShapeData(-1), std::out_of_range);
  EXPECT_THROW(BalloonShapeData(4), std::out_of_range);
}

TEST(ShapeCatalogue, MarkerTriangleHasItsExactRectangles) {
  const std::vector<ShapeRect> expected = {
      {2, 1, 12, 2}, {3, 2, 11, 4}, {4, 4, 10, 5}, {5, 5, 9, 7}, {6, 7, 8, 8}};
  const PackedShape& shape = SpriteShapeData(59);
  EXPECT_TRUE(Same(shape.bound, ShapeRect{2, 1, 12, 8}));
  const std::vector<ShapeRect> got = Rects(shape);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_TRUE(Same(got[i], expected[i])) << i << ": " << Text(got[i]);
  }
}

TEST(ShapeCatalogue, FlatFloatKeepsItsTwoFullRowsAsTwoBands) {
  const std::vector<ShapeRect> expected = {
      {17, 0, 20, 1}, {16, 1, 22, 2}, {0, 2, 22, 3}, {0, 3, 22, 4}, {17, 4, 20, 5}};
  const PackedShape& shape = SpriteShapeData(9);
  EXPECT_TRUE(Same(shape.bound, ShapeRect{0, 0, 22, 5}));
  const std::vector<ShapeRect> got = Rects(shape);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_TRUE(Same(got[i], expected[i])) << i << ": " << Text(got[i]);
  }
}

TEST(ShapeCatalogue, SlantingFloatsDeclareTheirExtentFromTheTopEdge) {
  for (int slot : {8, 10}) {
    const PackedShape& shape = SpriteShapeData(slot);
    EXPECT_EQ(shape.bound.top, 0) << slot;
    ASSERT_GT(shape.count, 0);
    EXPECT_EQ(shape.rects[0].top, 1) << "slot " << slot << " begins at row 1";
  }
}

TEST(ShapeCatalogue, OutlinesCoverExactlyTheOpaquePixelsInsideTheWindow) {
  // The stored extra column past the right edge must not change what shows.
  for (int slot = 11; slot < 56; ++slot) {
    const assets::Image& picture = assets::FishPicture(slot - 11);
    const PackedShape& shape = SpriteShapeData(slot);
    const std::uint32_t key = picture.At(0, 0);
    int wrong = 0;
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        if (Covers(shape, x, y) != (picture.At(x, y) != key)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << "slot " << slot;
  }
}

// ---- The balloon caps ------------------------------------------------------

TEST(BalloonShapes, RowSpansInsideTheWindowMatchTheTable) {
  constexpr int kWidth[4] = {8, 7, 7, 8};
  for (int entry = 0; entry < 4; ++entry) {
    const PackedShape& shape = BalloonShapeData(entry);
    const auto& rows = art::BalloonRowSpans(entry);
    for (int y = 0; y < art::kBalloonRows; ++y) {
      std::vector<int> columns;
      for (int x = 0; x < kWidth[entry]; ++x) {
        if (Covers(shape, x, y)) columns.push_back(x);
      }
      std::vector<int> expected;
      for (int x = rows[y].first; x <= rows[y].last; ++x) expected.push_back(x);
      EXPECT_EQ(columns, expected) << "entry " << entry << " row " << y;
    }
  }
}

TEST(BalloonShapes, RecordsCarryTheAreaOutsideTheWindow) {
  constexpr int kWidth[4] = {8, 7, 7, 8};
  constexpr int kCounts[4] = {13, 20, 12, 18};
  for (int entry = 0; entry < 4; ++entry) {
    const PackedShape& shape = BalloonShapeData(entry);
    EXPECT_EQ(shape.count, kCounts[entry]) << entry;
    const int reach = kWidth[entry] == 8 ? 121 : 106;
    EXPECT_TRUE(Same(shape.bound, ShapeRect{0, 0, reach, 270})) << Text(shape.bound);
    EXPECT_TRUE(Same(shape.bound, BalloonFigure(entry).bound));
    ExpectBanded(shape, "balloon " + std::to_string(entry));
    // Every row 0..17 is solid from the right edge out to the reach, and the
    // last rectangle covers rows 18..269 across the whole width.
    for (int y = 0; y < 18; ++y) {
      EXPECT_TRUE(Covers(shape, kWidth[entry], y) && Covers(shape, reach - 1, y))
          << entry << " row " << y;
    }
    EXPECT_TRUE(Same(shape.rects[shape.count - 1], ShapeRect{0, 18, reach, 270}));
  }
}

// ---- The generated data is what the committed sprites give ----------------

TEST(ShapeDerivation, GeneratedDataEqualsAFreshDerivation) {
  auto compare = [](const PackedShape& stored, const art::ShapeSource& source,
                    const std::string& what) {
    art::DerivedShape fresh;
    std::string error;
    ASSERT_TRUE(art::DeriveFromFiles(kAssets, source, &fresh, &error)) << error;
    EXPECT_TRUE(Same(stored.bound, fresh.bound)) << what;
    ASSERT_EQ(static_cast<std::size_t>(stored.count), fresh.rects.size()) << what;
    for (int i = 0; i < stored.count; ++i) {
      EXPECT_TRUE(Same(stored.rects[i], fresh.rects[i])) << what << " rect " << i;
    }
  };
  for (int slot = 0; slot < art::kSpriteSlotCount; ++slot) {
    compare(SpriteShapeData(slot), art::SpriteShapeSource(slot), "slot " + std::to_string(slot));
  }
  for (int entry = 0; entry < art::kBalloonEntryCount; ++entry) {
    compare(BalloonShapeData(entry), art::BalloonShapeSource(entry),
            "balloon " + std::to_string(entry));
  }
}

TEST(ShapeDerivation, HandDrawnMasksStayWithinTheirLimits) {
  std::string error;
  for (int frame = 0; frame < 7; ++frame) {
    const std::string file = kAssets + "/man/man" + std::to_string(frame) + ".xpm";
    xpm::Picture picture;
    ASSERT_TRUE(xpm::ReadXpmFile(file, &picture, &error)) << error;
    xpm::Picture mask;
    const bool hasMask = xpm::ReadXpmFile(art::MaskFileFor(file), &mask, &error);
    if (frame == 0) {
      EXPECT_FALSE(hasMask) << "frame 0 follows the filled outline exactly";
      continue;
    }
    ASSERT_TRUE(hasMask) << error;
    const art::MaskEffect effect = art::MeasureMask(picture, mask, art::MaskRule::kFilledOutline);
    EXPECT_GE(effect.cleared, 4) << "frame " << frame;
    EXPECT_LE(effect.cleared, 12) << "frame " << frame;
    EXPECT_EQ(effect.kept, 0) << "frame " << frame;
  }
  constexpr int kKept[2] = {13, 10};
  for (int i = 0; i < 2; ++i) {
    const std::string file = kAssets + "/uki/uki" + std::to_string(4 + i) + ".xpm";
    xpm::Picture picture;
    xpm::Picture mask;
    ASSERT_TRUE(xpm::ReadXpmFile(file, &picture, &error)) << error;
    ASSERT_TRUE(xpm::ReadXpmFile(art::MaskFileFor(file), &mask, &error)) << error;
    const art::MaskEffect effect = art::MeasureMask(picture, mask, art::MaskRule::kKeyAndRipple);
    EXPECT_EQ(effect.kept, kKept[i]) << file;
    EXPECT_EQ(effect.cleared, 0) << file;
  }
}

// ---- The embedded pictures -------------------------------------------------

TEST(EmbeddedPictures, SizesAndKeyColoursAreAsDesigned) {
  const auto all = assets::AllImages();
  const auto& entries = art::EmbeddedPictures();
  ASSERT_EQ(all.size(), entries.size());
  std::set<std::string> names;
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i]->width, entries[i].width) << entries[i].name;
    EXPECT_EQ(all[i]->height, entries[i].height) << entries[i].name;
    EXPECT_EQ(std::string(all[i]->name), entries[i].name);
    names.insert(all[i]->name);
  }
  EXPECT_EQ(names.size(), all.size()) << "picture names are unique";
  for (int k = 0; k < 7; ++k) EXPECT_EQ(assets::ManFrame(k).At(0, 0), 0x000000u);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(assets::UkiFrame(k).At(0, 0), 0x000000u);
  for (int kind = 0; kind < 45; ++kind) {
    const std::uint32_t key = (kind >= 13 && kind <= 39) ? 0xFF00FFu : 0xFF00B4u;
    EXPECT_EQ(assets::FishPicture(kind).At(0, 0), key) << "kind " << kind;
  }
  EXPECT_EQ(assets::HookPicture().At(0, 0), 0xFF00FFu);
  for (int e = 0; e < 4; ++e) EXPECT_EQ(assets::BalloonPiece(e).At(0, 0), 0xFF0000u);
  EXPECT_EQ(assets::CertificatePicture().width, 200);
  EXPECT_EQ(assets::CertificatePicture().height, 135);
}

TEST(EmbeddedPictures, HistoryPicturesLieOnTheirSideOnTheSea) {
  for (int kind = 0; kind < 40; ++kind) {
    const assets::Image& hanging = assets::FishPicture(kind);
    const assets::Image& lying = assets::HistoryPicture(kind);
    const std::uint32_t key = hanging.At(0, 0);
    int wrong = 0;
    for (int y = 0; y < 36; ++y) {
      for (int x = 0; x < 36; ++x) {
        // Turned anticlockwise: the head (top row) ends up on the left.
        const std::uint32_t source = hanging.At(35 - y, x);
        const std::uint32_t expected = source == key ? art::kHistorySea : source;
        if (lying.At(x, y) != expected) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << "kind " << kind;
  }
}

TEST(EmbeddedPictures, AccessorsRefuseIndicesOutsideTheirRange) {
  EXPECT_THROW(assets::ManFrame(7), std::out_of_range);
  EXPECT_THROW(assets::UkiFrame(-1), std::out_of_range);
  EXPECT_THROW(assets::FishPicture(45), std::out_of_range);
  EXPECT_THROW(assets::HistoryPicture(40), std::out_of_range);
  EXPECT_THROW(assets::BalloonPiece(4), std::out_of_range);
  EXPECT_NO_THROW(assets::FishPicture(44));
}

// ---- The outline rules on small drawings -----------------------------------

xpm::Picture Draw(const std::vector<std::string>& rows, std::uint32_t ink = 0xFFFFFF,
                  std::uint32_t key = 0x000000) {
  xpm::Picture p;
  p.height = static_cast<int>(rows.size());
  p.width = static_cast<int>(rows[0].size());
  for (const std::string& row : rows) {
    for (char c : row) {
      p.pixels.push_back(c == '#'   ? ink
                         : c == 'r' ? art::kRippleColour
                         : c == '*' ? xpm::kNone
                                    : key);
    }
  }
  return p;
}

art::DerivedShape Derive(const xpm::Picture& picture, art::MaskRule rule,
                         const xpm::Picture* mask = nullptr, art::ShapeSource source = {}) {
  source.rule = rule;
  art::DerivedShape shape;
  std::string error;
  EXPECT_TRUE(art::DeriveShape(picture, mask, source, &shape, &error)) << error;
  return shape;
}

TEST(OutlineRules, SpansBandsAndTheRightEdge) {
  const art::DerivedShape shape =
      Derive(Draw({"....", ".##.", ".##.", "#..#"}), art::MaskRule::kKeyColour);
  ASSERT_EQ(shape.rects.size(), 3u);
  EXPECT_TRUE(Same(shape.rects[0], ShapeRect{1, 1, 3, 3}));  // two equal rows: one band
  EXPECT_TRUE(Same(shape.rects[1], ShapeRect{0, 3, 1, 4}));
  EXPECT_TRUE(Same(shape.rects[2], ShapeRect{3, 3, 5, 4}));  // last column: one longer
  EXPECT_TRUE(Same(shape.bound, ShapeRect{0, 1, 5, 4}));
}

TEST(OutlineRules, BandBreakAndExtentFromTheTop) {
  art::ShapeSource source;
  source.bandBreakRow = 2;
  source.extentFromTop = true;
  const art::DerivedShape shape =
      Derive(Draw({"...", ".#.", ".#.", ".#."}), art::MaskRule::kKeyColour, nullptr, source);
  ASSERT_EQ(shape.rects.size(), 2u);
  EXPECT_TRUE(Same(shape.rects[0], ShapeRect{1, 1, 2, 2}));
  EXPECT_TRUE(Same(shape.rects[1], ShapeRect{1, 2, 2, 4}));
  EXPECT_EQ(shape.bound.top, 0);
}

TEST(OutlineRules, FilledOutlineKeepsEnclosedKeyPixelsAndMasksOverride) {
  const xpm::Picture ring = Draw({".....", ".###.", ".#.#.", ".###.", "....."});
  EXPECT_EQ(Derive(ring, art::MaskRule::kFilledOutline).rects.size(), 1u);
  EXPECT_EQ(Derive(ring, art::MaskRule::kKeyColour).rects.size(), 4u);
  // A gap closed on all four sides is filled; one open to the border is not.
  const art::DerivedShape closed =
      Derive(Draw({".#.", "#.#", ".#."}), art::MaskRule::kFilledOutline);
  ASSERT_EQ(closed.rects.size(), 3u);
  EXPECT_TRUE(Same(closed.rects[1], ShapeRect{0, 1, 4, 2}));
  const art::DerivedShape open = Derive(Draw({".#.", "#..", ".#."}), art::MaskRule::kFilledOutline);
  ASSERT_EQ(open.rects.size(), 3u);
  EXPECT_TRUE(Same(open.rects[1], ShapeRect{0, 1, 1, 2}));
  // The mask clears the enclosed pixel again and keeps a corner.
  xpm::Picture mask = Draw({"#****", "*****", "**.**", "*****", "*****"}, 0xFFFFFF, 0x000000);
  const art::DerivedShape masked = Derive(ring, art::MaskRule::kFilledOutline, &mask);
  ASSERT_EQ(masked.rects.size(), 5u);
  EXPECT_TRUE(Same(masked.rects[0], ShapeRect{0, 0, 1, 1}));
  EXPECT_TRUE(Same(masked.bound, ShapeRect{0, 0, 4, 4}));
}

TEST(OutlineRules, RippleIsTransparentAndBadMasksAreRefused) {
  const xpm::Picture splash = Draw({".r#.", "rr.."});
  const art::DerivedShape shape = Derive(splash, art::MaskRule::kKeyAndRipple);
  ASSERT_EQ(shape.rects.size(), 1u);
  EXPECT_TRUE(Same(shape.rects[0], ShapeRect{2, 0, 3, 1}));
  EXPECT_EQ(Derive(splash, art::MaskRule::kKeyColour).rects.size(), 2u);

  art::DerivedShape out;
  std::string error;
  const xpm::Picture small = Draw({"**"});
  EXPECT_FALSE(art::DeriveShape(splash, &small, {}, &out, &error));
  const xpm::Picture grey = Draw({"####", "####"}, 0x808080);
  EXPECT_FALSE(art::DeriveShape(splash, &grey, {}, &out, &error));
  EXPECT_NE(error.find("#808080"), std::string::npos) << error;
}

TEST(OutlineRules, CanvasBeyondThePictureIsSolid) {
  art::ShapeSource source;
  source.canvasWidth = 6;
  source.canvasHeight = 4;
  const art::DerivedShape shape =
      Derive(Draw({"..", ".#"}), art::MaskRule::kKeyColour, nullptr, source);
  ASSERT_EQ(shape.rects.size(), 3u);
  EXPECT_TRUE(Same(shape.rects[0], ShapeRect{2, 0, 7, 1}));
  EXPECT_TRUE(Same(shape.rects[1], ShapeRect{1, 1, 7, 2}));  // joined to the span inside
  EXPECT_TRUE(Same(shape.rects[2], ShapeRect{0, 2, 7, 4}));
}

TEST(OutlineRules, FileNamesPickTheirSlot) {
  art::ShapeSource source;
  int index = 0;
  ASSERT_TRUE(art::SourceForFileName("some/where/fish07.xpm", &source, &index));
  EXPECT_EQ(index, 18);
  EXPECT_EQ(source.expectedKey, 0xFF00B4u);
  ASSERT_TRUE(art::SourceForFileName("uki5.xpm", &source, &index));
  EXPECT_EQ(index, 57);
  EXPECT_EQ(source.rule, art::MaskRule::kKeyAndRipple);
  ASSERT_TRUE(art::SourceForFileName("balloon3.xpm", &source, &index));
  EXPECT_EQ(index, -4);
  EXPECT_FALSE(art::SourceForFileName("fish45.xpm", &source, &index));
  EXPECT_FALSE(art::SourceForFileName("man7.xpm", &source, &index));
  EXPECT_EQ(art::MaskFileFor("man/man3.xpm"), "man/man3.mask.xpm");
}

// ---- The XPM reader ----------------------------------------------------------

TEST(XpmReader, ReadsColourFormsAndTwoCharacterPixels) {
  const std::string text =
      "/* XPM */\n"
      "static const char * tiny[] = {\n"
      "/* columns rows colours chars-per-pixel */\n"
      "\"3 2 4 2\",\n"
      "\"aa c #F0a\",\n"
      "\"bb s mark c #123456\",\n"
      "\"cc c None\",\n"
      "\"d  c black\",\n"
      "\"aabbcc\",\n"
      "\"d d aa\"};\n";
  xpm::Picture p;
  std::string error;
  ASSERT_TRUE(xpm::ParseXpm(text, &p, &error)) << error;
  EXPECT_EQ(p.name, "tiny");
  ASSERT_EQ(p.width, 3);
  ASSERT_EQ(p.height, 2);
  EXPECT_EQ(p.At(0, 0), 0xFF00AAu);
  EXPECT_EQ(p.At(1, 0), 0x123456u);
  EXPECT_EQ(p.At(2, 0), xpm::kNone);
  EXPECT_EQ(p.At(0, 1), 0x000000u);
  EXPECT_EQ(p.At(2, 1), 0xFF00AAu);
}

TEST(XpmReader, RefusesBrokenFiles) {
  const std::string head = "static char* x[] = {\"2 1 1 1\", \". c #FFFFFF\", ";
  xpm::Picture p;
  std::string error;
  EXPECT_FALSE(xpm::ParseXpm(head + "\".\"};", &p, &error));  // short row
  EXPECT_NE(error.find("row 0"), std::string::npos) << error;
  EXPECT_FALSE(xpm::ParseXpm(head + "\".x\"};", &p, &error));  // undefined colour
  EXPECT_FALSE(xpm::ParseXpm(head + "};", &p, &error));        // missing row
  EXPECT_FALSE(xpm::ParseXpm("static char* x[] = {\"0 1 1 1\"};", &p, &error));
  EXPECT_FALSE(
      xpm::ParseXpm("static char* x[] = {\"1 1 1 1\", \". c #GG0000\", \".\"};", &p, &error));
  EXPECT_FALSE(xpm::ReadXpmFile(kAssets + "/no/such.xpm", &p, &error));
}

TEST(XpmReader, WrittenTextReadsBackTheSame) {
  xpm::Picture many;
  many.name = "many";
  many.width = 20;
  many.height = 10;  // 200 colours: two characters per pixel
  for (int i = 0; i < 200; ++i) many.pixels.push_back(static_cast<std::uint32_t>(i * 0x010203));
  many.pixels[7] = xpm::kNone;
  xpm::Picture back;
  std::string error;
  ASSERT_TRUE(xpm::ParseXpm(xpm::FormatXpm(many), &back, &error)) << error;
  EXPECT_EQ(back.name, "many");
  EXPECT_EQ(back.pixels, many.pixels);
}

// ---- The PNG writer ----------------------------------------------------------

std::uint32_t BigEndian(const std::vector<std::uint8_t>& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

std::uint32_t ReferenceCrc(const std::uint8_t* data, std::size_t size) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    c ^= data[i];
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
  }
  return ~c;
}

// An inflater for the two block kinds the writer may use (stored and fixed
// codes), written from the deflate format rather than from the writer.
class BitReader {
 public:
  BitReader(const std::vector<std::uint8_t>& data, std::size_t at) : data_(data), at_(at) {}
  bool Bits(int count, std::uint32_t* value) {
    *value = 0;
    for (int i = 0; i < count; ++i) {
      if (at_ >= data_.size()) return false;
      *value |= static_cast<std::uint32_t>((data_[at_] >> bit_) & 1) << i;
      if (++bit_ == 8) {
        bit_ = 0;
        ++at_;
      }
    }
    return true;
  }
  // One fixed-code literal/length symbol; -1 when the data runs out.
  int Symbol() {
    std::uint32_t code = 0;
    for (int length = 1; length <= 9; ++length) {
      std::uint32_t bit = 0;
      if (!Bits(1, &bit)) return -1;
      code = (code << 1) | bit;
      if (length == 7 && code <= 0x17) return static_cast<int>(256 + code);
      if (length == 8 && code >= 0x30 && code <= 0xBF) return static_cast<int>(code - 0x30);
      if (length == 8 && code >= 0xC0 && code <= 0xC7) return static_cast<int>(280 + code - 0xC0);
      if (length == 9 && code >= 0x190) return static_cast<int>(144 + code - 0x190);
    }
    return -1;
  }
  void AlignToByte() {
    if (bit_ != 0) {
      bit_ = 0;
      ++at_;
    }
  }
  std::size_t At() const { return at_; }
  void Skip(std::size_t n) { at_ += n; }

 private:
  const std::vector<std::uint8_t>& data_;
  std::size_t at_;
  int bit_ = 0;
};

bool Inflate(const std::vector<std::uint8_t>& zlib, std::vector<std::uint8_t>* out,
             std::size_t* end) {
  static constexpr int kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                          15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
  static constexpr int kDistanceBase[30] = {
      1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
      193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  if ((zlib[0] & 0x0F) != 8 || ((zlib[0] << 8) | zlib[1]) % 31 != 0) return false;
  BitReader in(zlib, 2);
  std::uint32_t last = 0;
  while (last == 0) {
    std::uint32_t type = 0;
    if (!in.Bits(1, &last) || !in.Bits(2, &type)) return false;
    if (type == 0) {
      in.AlignToByte();
      const std::size_t at = in.At();
      if (at + 4 > zlib.size()) return false;
      const std::size_t n = zlib[at] | (zlib[at + 1] << 8);
      if ((n ^ 0xFFFF) != static_cast<std::size_t>(zlib[at + 2] | (zlib[at + 3] << 8)))
        return false;
      if (at + 4 + n > zlib.size()) return false;
      out->insert(out->end(), zlib.begin() + at + 4, zlib.begin() + at + 4 + n);
      in.Skip(4 + n);
      continue;
    }
    if (type != 1) return false;
    for (;;) {
      const int symbol = in.Symbol();
      if (symbol < 0 || symbol > 285) return false;
      if (symbol < 256) {
        out->push_back(static_cast<std::uint8_t>(symbol));
        continue;
      }
      if (symbol == 256) break;
      const int l = symbol - 257;
      const int lengthExtra = (l < 8 || l == 28) ? 0 : (l - 4) / 4;
      std::uint32_t extra = 0;
      if (!in.Bits(lengthExtra, &extra)) return false;
      const int length = kLengthBase[l] + static_cast<int>(extra);
      std::uint32_t d = 0;
      if (!in.Bits(5, &d)) return false;
      // Distance codes are Huffman codes too: read them back most significant first.
      d = ((d & 1) << 4) | ((d & 2) << 2) | (d & 4) | ((d & 8) >> 2) | ((d & 16) >> 4);
      if (d > 29) return false;
      const int distanceExtra = d < 4 ? 0 : static_cast<int>(d / 2 - 1);
      if (!in.Bits(distanceExtra, &extra)) return false;
      const std::size_t distance = kDistanceBase[d] + extra;
      if (distance > out->size()) return false;
      for (int k = 0; k < length; ++k) out->push_back((*out)[out->size() - distance]);
    }
  }
  in.AlignToByte();
  *end = in.At();
  return true;
}

TEST(PngWriter, ChunksCarryValidChecksumsAndThePixels) {
  // Noise with a few flat runs: literals and repeats both.
  const int width = 300;
  const int height = 80;
  std::vector<std::uint32_t> rgb(width * height);
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    const std::uint32_t noise = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFF;
    rgb[i] = (i / width) % 3 == 0 ? 0x336699 : (i % width) < 40 ? 0xF0E0D0 : noise;
  }
  const std::vector<std::uint8_t> png = EncodePng(width, height, rgb.data());
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::vector<std::uint8_t>(png.begin(), png.begin() + 8),
            (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));

  std::vector<std::uint8_t> zlib;
  std::vector<std::string> types;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = BigEndian(png, at);
    ASSERT_LE(at + 12 + length, png.size());
    types.emplace_back(png.begin() + at + 4, png.begin() + at + 8);
    EXPECT_EQ(BigEndian(png, at + 8 + length), ReferenceCrc(&png[at + 4], length + 4))
        << types.back();
    if (types.back() == "IHDR") {
      EXPECT_EQ(BigEndian(png, at + 8), static_cast<std::uint32_t>(width));
      EXPECT_EQ(BigEndian(png, at + 12), static_cast<std::uint32_t>(height));
    }
    if (types.back() == "IDAT") zlib.insert(zlib.end(), &png[at + 8], &png[at + 8] + length);
    at += 12 + length;
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));

  ASSERT_GE(zlib.size(), 6u);
  std::size_t at = 0;
  std::vector<std::uint8_t> raw;
  ASSERT_TRUE(Inflate(zlib, &raw, &at));
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  EXPECT_EQ(BigEndian(zlib, at), (b << 16) | a);
  ASSERT_EQ(raw.size(), static_cast<std::size_t>(height) * (1 + 3 * width));
  for (int y = 0; y < height; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * (1 + 3 * width);
    EXPECT_EQ(raw[row], 0u);
    for (int x = 0; x < width; x += 37) {
      const std::uint32_t p = rgb[y * width + x];
      const std::uint32_t got = (std::uint32_t{raw[row + 1 + 3 * x]} << 16) |
                                (std::uint32_t{raw[row + 2 + 3 * x]} << 8) | raw[row + 3 + 3 * x];
      EXPECT_EQ(got, p) << x << "," << y;
    }
  }
}

TEST(PngWriter, RefusesEmptyImagesAndUnwritablePaths) {
  const std::uint32_t pixel = 0x123456;
  EXPECT_TRUE(EncodePng(0, 1, &pixel).empty());
  EXPECT_TRUE(EncodePng(1, -1, &pixel).empty());
  EXPECT_FALSE(WritePng("/no/such/folder/x.png", 1, 1, &pixel));
}

}  // namespace
}  // namespace marivo
