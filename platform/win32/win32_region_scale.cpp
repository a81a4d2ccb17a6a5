#include "platform/win32/win32_region_scale.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace marivo::win32 {

std::vector<std::uint8_t> ScaleRegionRecord(const void* data, std::uint32_t bytes, int scale) {
  std::vector<std::uint8_t> out;
  if (data == nullptr) return out;
  const auto* in = static_cast<const std::uint8_t*>(data);
  out.assign(in, in + bytes);
  constexpr std::uint32_t kHeader = 32, kBounds = 16, kRect = 16;
  if (scale <= 1 || bytes < kHeader) return out;
  auto scaleRect = [&](std::uint32_t at) {
    for (std::uint32_t k = 0; k < 4; ++k) {
      std::int32_t v;
      std::memcpy(&v, out.data() + at + 4 * k, 4);
      const std::int64_t scaled =
          std::clamp<std::int64_t>(std::int64_t(v) * scale, INT32_MIN, INT32_MAX);
      v = static_cast<std::int32_t>(scaled);
      std::memcpy(out.data() + at + 4 * k, &v, 4);
    }
  };
  scaleRect(kBounds);
  for (std::uint32_t at = kHeader; at + kRect <= bytes; at += kRect) scaleRect(at);
  return out;
}

}  // namespace marivo::win32
