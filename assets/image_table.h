// The generated table behind assets/images.h (written by tools/imagegen).
//
// The pictures are stored compactly: a picture of at most 256 colours keeps
// its palette and one byte per pixel, a quarter of its 32-bit pixels; only
// a picture with more colours keeps its pixels as they are. images.cpp
// expands the whole table once, at first use, into the 0xRRGGBB pixels the
// backends draw from.
#pragma once

#include <cstdint>

#include "assets/images.h"

namespace marivo::assets::detail {

// Order of the table: 7 angler frames, 6 float frames, 45 catches, the hook,
// 40 history pictures, 4 balloon caps, the gauge, the icon, the certificate.
inline constexpr int kManFirst = 0;
inline constexpr int kUkiFirst = 7;
inline constexpr int kFishFirst = 13;
inline constexpr int kHookIndex = 58;
inline constexpr int kHistoryFirst = 59;
inline constexpr int kBalloonFirst = 99;
inline constexpr int kGaugeIndex = 103;
inline constexpr int kIconIndex = 104;
inline constexpr int kCertificateIndex = 105;
inline constexpr int kImageCount = 106;

// The most colours a picture may have to be stored as palette indices.
inline constexpr int kMaxPaletteSize = 256;

// One picture as stored in the program. Exactly one of `indices` (with
// `palette`) and `raw` is set; either holds width * height values, row-major
// from the top-left corner.
struct PackedImage {
  int width = 0;
  int height = 0;
  const std::uint32_t* palette = nullptr;  // paletteSize colours, 0xRRGGBB
  int paletteSize = 0;
  const std::uint8_t* indices = nullptr;  // one palette index per pixel
  const std::uint32_t* raw = nullptr;     // the pixels themselves, 0xRRGGBB
  const char* name = "";
};

extern const PackedImage kPackedImages[kImageCount];

// Writes the picture's width * height pixels as 0xRRGGBB to `out`. Throws
// std::logic_error if an index lies outside the palette or neither form of
// pixels is set (the generator never writes such a picture).
void Expand(const PackedImage& packed, std::uint32_t* out);

}  // namespace marivo::assets::detail
