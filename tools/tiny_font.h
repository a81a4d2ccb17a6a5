// A 5 x 7 pixel font for the labels of the contact sheet: digits, lower-case
// letters and a few signs. Characters it lacks draw as a box.
#pragma once

#include <array>
#include <cstdint>

namespace marivo::art {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;

// Rows top to bottom; bit 4 is the leftmost column.
std::array<std::uint8_t, kGlyphHeight> Glyph(char c);

}  // namespace marivo::art
