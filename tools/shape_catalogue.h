// The outline figures every stored shape must come out at: extent and
// rectangle count per slot, and the balloon caps' opaque columns per row.
// The art is tuned until the derived outlines match these figures.
#pragma once

#include <array>

#include "shapes/shape_record.h"

namespace marivo::art {

struct SlotFigure {
  ShapeRect bound;
  int count = 0;
};

inline constexpr int kCatalogueSlotCount = 61;  // slot 60 stays empty

// Slots 0..60.
const SlotFigure& CatalogueFigure(int slot);

// Opaque columns of one row of a balloon cap, both ends included; first > last
// for a row with none.
struct RowSpan {
  int first = 0;
  int last = -1;
};
inline constexpr int kBalloonRows = 18;
const std::array<RowSpan, kBalloonRows>& BalloonRowSpans(int entry);  // 0..3
const SlotFigure& BalloonFigure(int entry);                           // 0..3

}  // namespace marivo::art
