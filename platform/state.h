// The run-time state of a loaded window and its controls, as the window
// layer keeps it. Positions and sizes are twips, exactly as the game set
// them; backends read this state and convert to pixels on the way out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/images.h"
#include "platform/catalogue.h"
#include "platform/types.h"

namespace marivo {

struct ControlState {
  const ControlDesign* design = nullptr;
  double left = 0, top = 0, width = 0, height = 0;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool visible = true;
  Color backColor = kButtonFace;
  std::string caption;
  std::string toolTipText;
  const assets::Image* picture = nullptr;
  // Timers: the interval, whether it is switched on, and when it next fires
  // on the tick count. `tickDepth` counts handlers of this timer now on the
  // stack; `rearmed` says the timer was switched on again since the
  // innermost of them began, which lets it fire nested inside that handler.
  int interval = 0;
  bool enabled = false;
  std::uint32_t deadline = 0;
  int tickDepth = 0;
  bool rearmed = false;
  std::uint64_t order = 0;  // creation order, breaks ties between timers due together
};

// A control as its window loads it: every value as designed.
inline ControlState DesignedState(const ControlDesign& d) {
  ControlState c;
  c.design = &d;
  c.left = d.left;
  c.top = d.top;
  c.width = d.width;
  c.height = d.height;
  c.x1 = d.x1;
  c.y1 = d.y1;
  c.x2 = d.x2;
  c.y2 = d.y2;
  c.visible = d.visible;
  c.backColor = d.backColor;
  c.caption = std::string(d.caption);
  c.picture = d.picture;
  c.interval = d.interval;
  c.enabled = d.enabled;
  return c;
}

// One line of text printed on a window's drawing surface.
struct TextRun {
  double x = 0, y = 0;  // twips within the client area
  std::string text;     // UTF-8
  FontDesign font;
  Color color = kBlack;
};

struct WindowState {
  // Outer position and size in twips.
  double left = 0, top = 0, width = 0, height = 0;
  bool visible = false;
  bool modal = false;
  Color backColor = kButtonFace;
  std::string caption;
  const assets::Image* picture = nullptr;
  std::vector<ControlState> controls;  // one per design control, in design order
  std::vector<TextRun> drawing;        // what Print has put on the surface since Cls
  double currentX = 0, currentY = 0;
};

}  // namespace marivo
