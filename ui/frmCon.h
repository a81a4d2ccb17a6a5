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

  Label Label1{*this, "Label1"};           // the clock
  PictureBox Picture1{*this, "Picture1"};  // the action button
  PictureBox Picture2{*this, "Picture2"};  // the gauge
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
  // A left press, by the game state: steer a fight, start or stop the
  // gauge, or strike.
  void LeftPress();
  // The first press of a cast runs the gauge, the cast and the flight.
  void RunGauge();
  // One step of the gauge; takes a requested stop instead of moving.
  void AdvanceGauge();
  // The swing and the float's flight, with the power the gauge fixed.
  void CastFloat();
  // A left press with the line out: hook the fish or reel the line in.
  void Strike();
  // Winds an empty line in while the button is held.
  void ReelIn(bool tooLate);
  // Right, middle or several buttons: pause the float, maybe the menu.
  void OtherPress(int button);

  Game& game_;
};

}  // namespace marivo
