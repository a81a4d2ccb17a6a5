#include "shapes/mod_RGN_Proc.h"

#include <stdexcept>

#include "scene/game.h"
#include "shapes/shape_record.h"

namespace marivo {

void BuildShapeTable(Game& game) {
  for (int slot = 0; slot <= 59; ++slot) {
    const PackedShape& data = SpriteShapeData(slot);
    ShapeRecord& r = game.ShapeTable[slot];
    r = ShapeRecord{};
    r.dwSize = 32;
    r.iType = 1;
    r.nCount = static_cast<std::uint32_t>(data.count);
    r.nRgnSize = 16 * r.nCount;
    r.rcBound = data.bound;
    for (int i = 0; i < data.count && i < 70; ++i) r.rects[i] = data.rects[i];
  }
}

void ApplyShape(Game& game, std::int32_t slot, Form& window) {
  if (slot < 0 || slot > 60) throw std::out_of_range("shape slot outside the table");
  const ShapeRecord& record = game.ShapeTable[static_cast<std::size_t>(slot)];
  switch (window.SetShape(&record, record.ByteCount(), slot)) {
    case ShapeResult::Ok:
      return;
    case ShapeResult::RegionFailed:
      game.platform.MsgBox("リージョンデータの読み込みに失敗しました。");
      game.platform.End();
    case ShapeResult::WindowRefused:
      game.platform.MsgBox("ウィンドウの整形に失敗しました。");
      game.platform.End();
  }
}

}  // namespace marivo
