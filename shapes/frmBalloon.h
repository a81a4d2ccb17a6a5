// The three pieces of the speech balloon: the centre piece carries the
// text and stores the cap pictures; the caps are cut to their outline.
#pragma once

#include "platform/platform.h"

namespace marivo {

class BalloonCenterWindow final : public Form {
 public:
  explicit BalloonCenterWindow(Platform& platform) : Form(platform, WindowId::frmC) {}

  ControlArray<PictureBox> Picture1{*this, "Picture1"};
  Line Line1{*this, "Line1"};
  Line Line2{*this, "Line2"};
};

class BalloonCapWindow final : public Form {
 public:
  BalloonCapWindow(Platform& platform, WindowId id) : Form(platform, id) {}
};

}  // namespace marivo
