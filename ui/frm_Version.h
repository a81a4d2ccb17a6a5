// The version dialog.
#pragma once

#include "platform/platform.h"

namespace marivo {

class VersionWindow final : public Form {
 public:
  explicit VersionWindow(Platform& platform) : Form(platform, WindowId::frm_Version) {}

  ImageBox Image1{*this, "Image1"};
  ControlArray<Label> Label2{*this, "Label2"};
  CommandButton Command1{*this, "Command1"};

 protected:
  void OnLoad() override;
  void OnClick(Control& control) override;
};

}  // namespace marivo
