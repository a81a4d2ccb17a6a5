// Outlines (shape records) blown up by the whole-number drawing factor.
// Free of <windows.h>, so that it is tested on every build machine.
#pragma once

#include <cstdint>
#include <vector>

namespace marivo::win32 {

// A shape record (RGNDATA layout) with its bounds and rectangles blown up
// by `scale`; the header and anything that is not a whole rectangle stay
// as they are, so a record the system refuses is still refused.
std::vector<std::uint8_t> ScaleRegionRecord(const void* data, std::uint32_t bytes, int scale);

}  // namespace marivo::win32
