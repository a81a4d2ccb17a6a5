// The catch history: which of the forty creatures have been caught.
#pragma once

#include "platform/platform.h"

namespace marivo {

class Game;

class ListWindow final : public Form {
 public:
  explicit ListWindow(Game& game);

  Label Label1{*this, "Label1"};
  Label Label2{*this, "Label2"};  // count of the fish under the pointer
  Label Label3{*this, "Label3"};  // kinds caught
  ControlArray<PictureBox> Picture1{*this, "Picture1"};
  CommandButton Command1{*this, "Command1"};
  CommandButton Command2{*this, "Command2"};

 protected:
  void OnLoad() override;
  void OnMouseMove(Control* over) override;
  void OnClick(Control& control) override;

 private:
  Game& game_;
};

}  // namespace marivo
