// What the sprite windows' table and the balloon's table share: filling a
// record from the constant data, and setting it on a window, where either
// failure shows its message and ends the program.
#pragma once

#include "platform/platform.h"
#include "shapes/shape_record.h"

namespace marivo {

template <int Capacity>
void FillShapeRecord(BasicShapeRecord<Capacity>& record, const PackedShape& data) {
  record = BasicShapeRecord<Capacity>{};
  record.dwSize = 32;
  record.iType = 1;
  record.nCount = static_cast<std::uint32_t>(data.count);
  record.nRgnSize = 16 * record.nCount;
  record.rcBound = data.bound;
  for (int i = 0; i < data.count && i < Capacity; ++i) record.rects[i] = data.rects[i];
}

template <int Capacity>
void SetShapeOrEnd(Platform& platform, const BasicShapeRecord<Capacity>& record, int tag,
                   Form& window) {
  switch (window.SetShape(&record, record.ByteCount(), tag)) {
    case ShapeResult::Ok:
      return;
    case ShapeResult::RegionFailed:
      platform.MsgBox("リージョンデータの読み込みに失敗しました。");
      platform.End();
    case ShapeResult::WindowRefused:
      platform.MsgBox("ウィンドウの整形に失敗しました。");
      platform.End();
  }
}

}  // namespace marivo
