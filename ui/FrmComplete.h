// The certificate: one picture, no controls and no handlers of its own.
#pragma once

#include "platform/platform.h"

namespace marivo {

class CompleteWindow final : public Form {
 public:
  explicit CompleteWindow(Platform& platform) : Form(platform, WindowId::FrmComplete) {}
};

}  // namespace marivo
