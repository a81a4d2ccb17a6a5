// The tension marker: a small triangle above the hooked float, always in
// the button's colour.
#pragma once

#include "platform/platform.h"

namespace marivo {

class Game;

class MarkerWindow final : public Form {
 public:
  explicit MarkerWindow(Game& game);

 protected:
  void OnLoad() override;

 private:
  Game& game_;
};

}  // namespace marivo
