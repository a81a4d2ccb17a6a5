// The control bar: the clock, the cast-power gauge and the one button
// through which the player plays.
#pragma once

#include "platform/platform.h"

namespace marivo {

class Game;

class ConWindow final : public Form {
 public:
  explicit ConWindow(Game& game);

  // Clock mode and gauge mode share the left part of the bar.
  void EnterGaugeMode();
  void EnterClockMode();

  Label Label1{*this, "Label1"};          // the clock
  PictureBox Picture1{*this, "Picture1"}; // the action button
  PictureBox Picture2{*this, "Picture2"}; // the gauge
  Timer Timer1{*this, "Timer1"};
  Timer Timer2{*this, "Timer2"};  // the clock, every second
  Timer Timer3{*this, "Timer3"};  // one-shot hand-over to the fight

 protected:
  void OnLoad() override;
  void OnPaint() override;
  void OnTimer(Timer& timer) override;
  void OnMouseDown(Control& control, int button, int shift) override;
  void OnMouseUp(Control& control, int button, int shift) override;

 private:
  Game& game_;
};

}  // namespace marivo
