#include "shapes/mod_RGN_Proc.h"

#include <stdexcept>

#include "scene/game.h"
#include "shapes/shape_apply.h"
#include "shapes/shape_record.h"

namespace marivo {

void BuildShapeTable(Game& game) {
  for (int slot = 0; slot <= 59; ++slot)
    FillShapeRecord(game.ShapeTable[slot], SpriteShapeData(slot));
}

void ApplyShape(Game& game, std::int32_t slot, Form& window) {
  if (slot < 0 || slot > 60) throw std::out_of_range("shape slot outside the table");
  const ShapeRecord& record = game.ShapeTable[static_cast<std::size_t>(slot)];
  SetShapeOrEnd(game.platform, record, slot, window);
}

}  // namespace marivo
