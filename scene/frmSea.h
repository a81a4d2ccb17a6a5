// The thin strip of sea along the top of the task bar. It has no handlers;
// the start-up places it and the float sinks behind it.
#pragma once

#include "platform/platform.h"

namespace marivo {

class SeaWindow final : public Form {
 public:
  explicit SeaWindow(Platform& platform) : Form(platform, WindowId::frmSea) {}
};

}  // namespace marivo
