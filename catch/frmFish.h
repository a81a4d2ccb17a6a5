// The caught-fish window: shows what came up, counts it and names it.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace marivo {

class Game;

class FishWindow final : public Form {
 public:
  explicit FishWindow(Game& game);

  // Shows catch `index` (b: a fish was hooked) or the empty hook, counts
  // the catch and records a completed collection; returns when the display
  // is over. An index without a picture ends the display uncounted.
  void getFish(std::int32_t index, bool b);

  ControlArray<PictureBox> Picture1{*this, "Picture1"};
  Timer Timer1{*this, "Timer1"};  // the shiver

 protected:
  void OnLoad() override;
  void OnTimer(Timer& timer) override;

 private:
  // Where the catch comes up: just right of the angler's middle.
  double PlaceLeft();
  // One struggle frame of the hooked float: 4 (shape 56) or 5 (shape 57).
  void StruggleFloat(bool firstFrame);

  Game& game_;
  std::int32_t BaseLeft = 0;  // the left edge at creation; centre of the shiver
};

}  // namespace marivo
