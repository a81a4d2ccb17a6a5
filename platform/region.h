// Reading a rectangle-list region record (the RGNDATA layout) the way the
// Windows region builder does, for backends that build regions themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace marivo {

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

// The rectangles of a record, or nothing when the record cannot make a
// region: a byte count shorter than its header or its rectangles, a header
// size other than 32, a type other than 1, or no rectangles at all.
std::optional<std::vector<PixelRect>> ParseRegionData(const void* data, std::uint32_t bytes);

// Whether pixel (x, y) lies in the union of the rectangles.
bool RegionContains(const std::vector<PixelRect>& rects, int x, int y);

}  // namespace marivo
