// The seated angler, and the start-up window: its load handler builds the
// whole scene. Frame i is picture slot i with shape slot i.
#pragma once

#include "platform/platform.h"

namespace marivo {

class Game;

class ManWindow final : public Form {
 public:
  explicit ManWindow(Game& game);

  // Shows frame `frame`: the picture first, then its shape.
  void ShowFrame(int frame);

  ControlArray<PictureBox> Picture1{*this, "Picture1"};
  Timer Timer1{*this, "Timer1"};  // the struggle animation

 protected:
  void OnLoad() override;
  void OnTimer(Timer& timer) override;

 private:
  Game& game_;
  int struggleOffset_ = 0;  // 0 or 1: frame 5 or 6 last drawn by the timer
};

}  // namespace marivo
