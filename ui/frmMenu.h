// The window that holds the popup menu; it is never shown.
#pragma once

#include "platform/platform.h"

namespace marivo {

class Game;

class MenuWindow final : public Form {
 public:
  explicit MenuWindow(Game& game);

  MenuItem mpop{*this, "mpop"};
  MenuItem mFishList{*this, "mFishList"};
  MenuItem sep002{*this, "sep002"};
  MenuItem mver{*this, "mver"};
  MenuItem sep001{*this, "sep001"};
  MenuItem mComplete{*this, "mComplete"};
  MenuItem sepx{*this, "sepx"};
  MenuItem mend{*this, "mend"};

 protected:
  void OnClick(Control& control) override;

 private:
  Game& game_;
};

}  // namespace marivo
