// contact_sheet: every embedded picture on one PNG, enlarged and labelled.
//
//   contact_sheet OUT.png [--scale N]
//
// Each sprite that has a window outline is shown twice: as drawn, and as the
// desktop shows it, cut by its stored outline (the checker is the desktop).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/images.h"
#include "shapes/shape_record.h"
#include "tools/png_write.h"
#include "tools/tiny_font.h"

namespace marivo::art {
namespace {

constexpr std::uint32_t kPaper = 0x5A5F66;
constexpr std::uint32_t kInk = 0xF4F4F0;
constexpr std::uint32_t kCheckerA = 0xD8D8D8;
constexpr std::uint32_t kCheckerB = 0xB4B4B4;
constexpr int kLabelScale = 2;
constexpr int kPad = 10;
constexpr int kSheetWidth = 1800;

class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), pixels_(width * height, kPaper) {}

  void Set(int x, int y, std::uint32_t rgb) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[y * width_ + x] = rgb;
  }
  void Block(int x, int y, int size, std::uint32_t rgb) {
    for (int dy = 0; dy < size; ++dy) {
      for (int dx = 0; dx < size; ++dx) Set(x + dx, y + dy, rgb);
    }
  }
  void Text(int x, int y, const std::string& text) {
    for (char c : text) {
      const auto rows = Glyph(c);
      for (int gy = 0; gy < kGlyphHeight; ++gy) {
        for (int gx = 0; gx < kGlyphWidth; ++gx) {
          if (rows[gy] & (0x10 >> gx))
            Block(x + gx * kLabelScale, y + gy * kLabelScale, kLabelScale, kInk);
        }
      }
      x += (kGlyphWidth + 1) * kLabelScale;
    }
  }
  bool Save(const std::string& path) const {
    return WritePng(path, width_, height_, pixels_.data());
  }

 private:
  int width_;
  int height_;
  std::vector<std::uint32_t> pixels_;
};

int TextWidth(const std::string& text) {
  return static_cast<int>(text.size()) * (kGlyphWidth + 1) * kLabelScale;
}

// The outline that goes with picture `index` of AllImages(), if any.
const PackedShape* OutlineFor(int index) {
  if (index < 7) return &SpriteShapeData(index);             // angler frames
  if (index < 11) return &SpriteShapeData(index);            // floats 0..3 -> 7..10
  if (index < 13) return &SpriteShapeData(56 + index - 11);  // fight floats
  if (index < 58) return &SpriteShapeData(11 + index - 13);  // catches
  if (index == 58) return &SpriteShapeData(58);              // hook
  if (index >= 99 && index < 103) return &BalloonShapeData(index - 99);
  return nullptr;
}

bool Inside(const PackedShape& shape, int x, int y) {
  for (int i = 0; i < shape.count; ++i) {
    const ShapeRect& r = shape.rects[i];
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  }
  return false;
}

struct Item {
  std::string label;
  int width = 0;  // picture pixels
  int height = 0;
  const assets::Image* image = nullptr;  // null: a plain blue window (the marker)
  const PackedShape* outline = nullptr;
};

std::uint32_t PixelOf(const Item& item, int x, int y) {
  return item.image != nullptr ? item.image->At(x, y) : 0x0000FF;
}

int Render(const std::string& path, int scale) {
  std::vector<Item> items;
  const auto all = assets::AllImages();
  for (std::size_t i = 0; i < all.size(); ++i) {
    items.push_back({std::to_string(i) + " " + all[i]->name, all[i]->width, all[i]->height, all[i],
                     OutlineFor(static_cast<int>(i))});
  }
  items.push_back({"slot 59 marker", 14, 10, nullptr, &SpriteShapeData(59)});

  // Flow the cells left to right, wrapping at the sheet width.
  struct Placed {
    int x, y;
  };
  std::vector<Placed> places;
  int x = kPad;
  int y = kPad;
  int rowHeight = 0;
  const int labelHeight = kGlyphHeight * kLabelScale + 6;
  for (const Item& item : items) {
    const int views = (item.image != nullptr ? 1 : 0) + (item.outline != nullptr ? 1 : 0);
    const int content = views * item.width * scale + (views - 1) * 4;
    const int cellWidth = std::max(content, TextWidth(item.label)) + kPad;
    const int cellHeight = labelHeight + item.height * scale + kPad;
    if (x + cellWidth > kSheetWidth && x > kPad) {
      x = kPad;
      y += rowHeight;
      rowHeight = 0;
    }
    places.push_back({x, y});
    x += cellWidth;
    rowHeight = std::max(rowHeight, cellHeight);
  }
  Canvas canvas(kSheetWidth, y + rowHeight + kPad);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& item = items[i];
    const Placed at = places[i];
    canvas.Text(at.x, at.y, item.label);
    int left = at.x;
    const int top = at.y + labelHeight;
    if (item.image != nullptr) {
      for (int py = 0; py < item.height; ++py) {
        for (int px = 0; px < item.width; ++px) {
          canvas.Block(left + px * scale, top + py * scale, scale, PixelOf(item, px, py));
        }
      }
      left += item.width * scale + 4;
    }
    if (item.outline != nullptr) {
      for (int py = 0; py < item.height; ++py) {
        for (int px = 0; px < item.width; ++px) {
          const bool shown = Inside(*item.outline, px, py);
          const std::uint32_t desk = ((px + py) & 1) ? kCheckerA : kCheckerB;
          canvas.Block(left + px * scale, top + py * scale, scale,
                       shown ? PixelOf(item, px, py) : desk);
        }
      }
    }
  }
  if (!canvas.Save(path)) {
    std::fprintf(stderr, "contact_sheet: cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace marivo::art

int main(int argc, char** argv) {
  if (argc == 2) return marivo::art::Render(argv[1], 4);
  if (argc == 4 && std::string(argv[2]) == "--scale") {
    const int scale = std::atoi(argv[3]);
    if (scale >= 1 && scale <= 16) return marivo::art::Render(argv[1], scale);
  }
  std::fprintf(stderr, "usage: contact_sheet OUT.png [--scale N]\n");
  return 2;
}
