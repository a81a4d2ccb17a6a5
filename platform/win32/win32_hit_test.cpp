#include "platform/win32/win32_hit_test.h"

#include <algorithm>

#include "platform/arith.h"

namespace marivo::win32 {

PixelBox ControlBox(const ControlState& control, int twipsPerPixelX, int twipsPerPixelY) {
  PixelBox box;
  box.left = Nearest(control.left / twipsPerPixelX);
  box.top = Nearest(control.top / twipsPerPixelY);
  box.width = std::max(0, Nearest(control.width / twipsPerPixelX));
  box.height = std::max(0, Nearest(control.height / twipsPerPixelY));
  return box;
}

bool PaintedByWindow(const ControlState& control) {
  if (!control.visible || control.design->frameStore) return false;
  switch (control.design->kind) {
    case ControlKind::PictureBox:
    case ControlKind::Image:
    case ControlKind::Label:
    case ControlKind::Line:
    case ControlKind::Shape:
      return true;
    case ControlKind::Timer:
    case ControlKind::CommandButton:  // a real button of its own
    case ControlKind::MenuItem:
      return false;
  }
  return false;
}

std::vector<int> PaintOrder(const WindowState& window) {
  std::vector<int> light;
  std::vector<int> boxes;
  for (int slot = 0; slot < int(window.controls.size()); ++slot) {
    const ControlState& c = window.controls[slot];
    if (!PaintedByWindow(c)) continue;
    (c.design->kind == ControlKind::PictureBox ? boxes : light).push_back(slot);
  }
  light.insert(light.end(), boxes.begin(), boxes.end());
  return light;
}

int ControlAt(const WindowState& window, int x, int y, int twipsPerPixelX, int twipsPerPixelY) {
  const std::vector<int> order = PaintOrder(window);
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const ControlState& c = window.controls[*it];
    const ControlKind kind = c.design->kind;
    if (kind != ControlKind::PictureBox && kind != ControlKind::Image &&
        kind != ControlKind::Label) {
      continue;
    }
    if (ControlBox(c, twipsPerPixelX, twipsPerPixelY).Contains(x, y)) return *it;
  }
  return -1;
}

}  // namespace marivo::win32
