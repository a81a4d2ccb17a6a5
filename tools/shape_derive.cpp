#include "tools/shape_derive.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace marivo::art {
namespace {

constexpr std::uint32_t kMaskSolid = 0xFFFFFF;
constexpr std::uint32_t kMaskClear = 0x000000;

std::vector<bool> RuleOnly(const xpm::Picture& picture, MaskRule rule) {
  const int w = picture.width;
  const int h = picture.height;
  std::vector<bool> opaque(static_cast<std::size_t>(w) * h, false);
  if (w == 0 || h == 0) return opaque;
  const std::uint32_t key = picture.At(0, 0);
  for (int i = 0; i < w * h; ++i) {
    const std::uint32_t p = picture.pixels[i];
    opaque[i] = p != key && !(rule == MaskRule::kKeyAndRipple && p == kRippleColour);
  }
  if (rule != MaskRule::kFilledOutline) return opaque;

  // Flood the key colour in from the border; whatever key stays unreached is
  // enclosed by the figure and belongs to it.
  std::vector<bool> outside(opaque.size(), false);
  std::vector<int> pending;
  auto visit = [&](int x, int y) {
    const int i = y * w + x;
    if (!opaque[i] && !outside[i]) {
      outside[i] = true;
      pending.push_back(i);
    }
  };
  for (int x = 0; x < w; ++x) {
    visit(x, 0);
    visit(x, h - 1);
  }
  for (int y = 0; y < h; ++y) {
    visit(0, y);
    visit(w - 1, y);
  }
  while (!pending.empty()) {
    const int i = pending.back();
    pending.pop_back();
    const int x = i % w;
    const int y = i / w;
    if (x > 0) visit(x - 1, y);
    if (x + 1 < w) visit(x + 1, y);
    if (y > 0) visit(x, y - 1);
    if (y + 1 < h) visit(x, y + 1);
  }
  for (std::size_t i = 0; i < opaque.size(); ++i) opaque[i] = !outside[i];
  return opaque;
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}

std::string HexColour(std::uint32_t rgb) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X", rgb & 0xFFFFFF);
  return text;
}

}  // namespace

std::vector<bool> OpaquePixels(const xpm::Picture& picture, const xpm::Picture* mask,
                               MaskRule rule) {
  std::vector<bool> opaque = RuleOnly(picture, rule);
  if (mask != nullptr && mask->width == picture.width && mask->height == picture.height) {
    for (std::size_t i = 0; i < opaque.size(); ++i) {
      if (mask->pixels[i] == kMaskSolid) opaque[i] = true;
      if (mask->pixels[i] == kMaskClear) opaque[i] = false;
    }
  }
  return opaque;
}

MaskEffect MeasureMask(const xpm::Picture& picture, const xpm::Picture& mask, MaskRule rule) {
  const std::vector<bool> plain = RuleOnly(picture, rule);
  const std::vector<bool> masked = OpaquePixels(picture, &mask, rule);
  MaskEffect effect;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    if (plain[i] && !masked[i]) ++effect.cleared;
    if (!plain[i] && masked[i]) ++effect.kept;
  }
  return effect;
}

bool DeriveShape(const xpm::Picture& picture, const xpm::Picture* mask, const ShapeSource& source,
                 DerivedShape* shape, std::string* error) {
  if (mask != nullptr) {
    if (mask->width != picture.width || mask->height != picture.height) {
      *error = "mask is " + std::to_string(mask->width) + "x" + std::to_string(mask->height) +
               ", picture " + std::to_string(picture.width) + "x" + std::to_string(picture.height);
      return false;
    }
    for (std::uint32_t p : mask->pixels) {
      if (p != kMaskSolid && p != kMaskClear && p != xpm::kNone) {
        *error = "mask uses " + HexColour(p) + "; only white, black and None mean something";
        return false;
      }
    }
  }
  const std::vector<bool> opaque = OpaquePixels(picture, mask, source.rule);
  const int width = std::max(picture.width, source.canvasWidth);
  const int height = std::max(picture.height, source.canvasHeight);
  auto isOpaque = [&](int x, int y) {
    if (x >= picture.width || y >= picture.height) return true;  // canvas beyond the picture
    return static_cast<bool>(opaque[y * picture.width + x]);
  };

  DerivedShape result;
  std::vector<std::pair<int, int>> bandSpans;  // spans of the open band
  int bandTop = 0;
  auto closeBand = [&](int bottom) {
    for (const auto& [x0, x1] : bandSpans) result.rects.push_back({x0, bandTop, x1, bottom});
    bandSpans.clear();
  };
  for (int y = 0; y < height; ++y) {
    std::vector<std::pair<int, int>> spans;
    for (int x = 0; x < width;) {
      if (!isOpaque(x, y)) {
        ++x;
        continue;
      }
      const int x0 = x;
      while (x < width && isOpaque(x, y)) ++x;
      // A span reaching the last column is stored one pixel longer; the
      // window clips the extra column.
      spans.push_back({x0, x == width ? width + 1 : x});
    }
    if (spans != bandSpans || y == source.bandBreakRow) {
      closeBand(y);
      bandSpans = std::move(spans);
      bandTop = y;
    }
  }
  closeBand(height);

  if (!result.rects.empty()) {
    ShapeRect bound = result.rects.front();
    for (const ShapeRect& r : result.rects) {
      bound.left = std::min(bound.left, r.left);
      bound.top = std::min(bound.top, r.top);
      bound.right = std::max(bound.right, r.right);
      bound.bottom = std::max(bound.bottom, r.bottom);
    }
    if (source.extentFromTop) bound.top = 0;
    result.bound = bound;
  }
  *shape = std::move(result);
  return true;
}

bool DeriveFromPath(const std::string& path, const ShapeSource& source, DerivedShape* shape,
                    std::string* error) {
  xpm::Picture picture;
  if (!xpm::ReadXpmFile(path, &picture, error)) return false;
  if (picture.width == 0 || picture.At(0, 0) != source.expectedKey) {
    *error = path + ": top-left pixel is " +
             HexColour(picture.pixels.empty() ? 0 : picture.At(0, 0)) +
             ", the key colour must be " + HexColour(source.expectedKey);
    return false;
  }
  xpm::Picture mask;
  const std::string maskPath = MaskFileFor(path);
  const bool hasMask = FileExists(maskPath);
  if (hasMask && !xpm::ReadXpmFile(maskPath, &mask, error)) return false;
  if (!DeriveShape(picture, hasMask ? &mask : nullptr, source, shape, error)) {
    *error = maskPath + ": " + *error;
    return false;
  }
  return true;
}

bool DeriveFromFiles(const std::string& assetsDir, const ShapeSource& source, DerivedShape* shape,
                     std::string* error) {
  return DeriveFromPath(assetsDir + "/" + source.file, source, shape, error);
}

}  // namespace marivo::art
