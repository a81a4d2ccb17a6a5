// Where a window's controls sit, the order they are painted in and which
// one is under the pointer. Free of <windows.h>, so that it is tested on every build machine.
#pragma once

#include <vector>

#include "platform/state.h"

namespace marivo::win32 {

// A control's rectangle in client pixels.
struct PixelBox {
  int left = 0, top = 0, width = 0, height = 0;
  bool Contains(int x, int y) const {
    return x >= left && y >= top && x < left + width && y < top + height;
  }
};
PixelBox ControlBox(const ControlState& control, int twipsPerPixelX, int twipsPerPixelY);

// Whether a control is painted by the window itself (labels, pictures,
// images, lines and frames that are visible and not frame stores).
bool PaintedByWindow(const ControlState& control);

// The order in which the window paints its controls: the light ones
// (labels, images, lines, frames) first, picture boxes above them, each
// group in design order.
std::vector<int> PaintOrder(const WindowState& window);

// The control under a client pixel, or -1 for the window itself. Picture
// boxes lie above labels and images; lines, frames, hidden controls and
// frame stores let the pointer through.
int ControlAt(const WindowState& window, int x, int y, int twipsPerPixelX, int twipsPerPixelY);

}  // namespace marivo::win32
