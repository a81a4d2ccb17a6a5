#include <stdexcept>
#include <string>

#include "assets/shape_table.h"
#include "shapes/shape_record.h"

namespace marivo {

const PackedShape& SpriteShapeData(int slot) {
  if (slot < 0 || slot >= detail::kSpriteShapeCount) {
    throw std::out_of_range("no stored outline for slot " + std::to_string(slot));
  }
  return detail::kSpriteShapes[slot];
}

const PackedShape& BalloonShapeData(int entry) {
  if (entry < 0 || entry >= detail::kBalloonShapeCount) {
    throw std::out_of_range("no stored outline for balloon entry " + std::to_string(entry));
  }
  return detail::kBalloonShapes[entry];
}

}  // namespace marivo
