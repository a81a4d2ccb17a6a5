// The window-shape record: a rectangle list laid out exactly as the Win32
// RGNDATA structure (a 32-byte header followed by the rectangles), so the
// Windows backend can hand it to ExtCreateRegion unchanged and the other
// backends read the same bytes.
#pragma once

#include <cstdint>

namespace marivo {

struct ShapeRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;   // exclusive
  std::int32_t bottom = 0;  // exclusive
};

template <int Capacity>
struct BasicShapeRecord {
  std::uint32_t dwSize = 0;    // 32 once filled
  std::uint32_t iType = 0;     // 1: a list of rectangles
  std::uint32_t nCount = 0;    // rectangles in use
  std::uint32_t nRgnSize = 0;  // 16 * nCount
  ShapeRect rcBound;           // extent, not always tight
  ShapeRect rects[Capacity];

  // The byte count handed to the region builder with this record.
  std::uint32_t ByteCount() const { return dwSize + nRgnSize; }
};

// 32 + 70 * 16 = 1152 bytes: the sprite windows' records.
using ShapeRecord = BasicShapeRecord<70>;
// 32 + 25 * 16 = 432 bytes: the balloon's end caps.
using BalloonShapeRecord = BasicShapeRecord<25>;

static_assert(sizeof(ShapeRecord) == 1152);
static_assert(sizeof(BalloonShapeRecord) == 432);

// Constant shape data derived from the sprites at build time (generated).
struct PackedShape {
  ShapeRect bound;
  int count = 0;
  const ShapeRect* rects = nullptr;
};

// Slots 0..59 of the sprite windows; entries 0..3 of the balloon.
const PackedShape& SpriteShapeData(int slot);
const PackedShape& BalloonShapeData(int entry);

}  // namespace marivo
