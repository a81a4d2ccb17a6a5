// The caught-fish window: shows what came up, counts it and names it.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace marivo {

class Game;

class FishWindow final : public Form {
 public:
  explicit FishWindow(Game& game);

  // Shows catch `index` (b: a fish was hooked) or the empty hook; returns
  // when the display is over.
  void getFish(std::int32_t index, bool b);

  ControlArray<PictureBox> Picture1{*this, "Picture1"};
  Timer Timer1{*this, "Timer1"};  // the shiver

 protected:
  void OnLoad() override;
  void OnTimer(Timer& timer) override;

 private:
  Game& game_;
  std::int32_t BaseLeft = 0;  // the left edge at creation; centre of the shiver
};

}  // namespace marivo
