#include "platform/region.h"

#include <cstring>

namespace marivo {

std::optional<std::vector<PixelRect>> ParseRegionData(const void* data, std::uint32_t bytes) {
  if (data == nullptr || bytes < 32) return std::nullopt;
  const auto* p = static_cast<const unsigned char*>(data);
  auto word = [p](std::size_t offset) {
    std::uint32_t v = 0;
    std::memcpy(&v, p + offset, 4);
    return v;
  };
  const std::uint32_t size = word(0);
  const std::uint32_t type = word(4);
  const std::uint32_t count = word(8);
  if (size != 32 || type != 1 || count == 0 || count > (bytes - 32) / 16) return std::nullopt;
  std::vector<PixelRect> rects;
  rects.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = 32 + 16 * std::size_t(i);
    PixelRect r;
    r.left = static_cast<std::int32_t>(word(at));
    r.top = static_cast<std::int32_t>(word(at + 4));
    r.right = static_cast<std::int32_t>(word(at + 8));
    r.bottom = static_cast<std::int32_t>(word(at + 12));
    if (r.right > r.left && r.bottom > r.top) rects.push_back(r);
  }
  return rects;
}

bool RegionContains(const std::vector<PixelRect>& rects, int x, int y) {
  for (const PixelRect& r : rects) {
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  }
  return false;
}

}  // namespace marivo
