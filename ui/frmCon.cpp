#include "ui/frmCon.h"

#include <cstdio>

#include "scene/game.h"
#include "scene/mod_Subroutine.h"
#include "shapes/mod_RGN_Proc.h"

namespace marivo {
namespace {

// "mm/dd HH:MM": month, day, hour on the 24-hour clock, minutes.
std::string ClockText(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%02d %02d:%02d", t.month % 100, t.day % 100, t.hour % 100,
                t.minute % 100);
  return text;
}

}  // namespace

ConWindow::ConWindow(Game& game) : Form(game.platform, WindowId::frmCon), game_(game) {}

void ConWindow::OnLoad() {
  GameState& s = game_.state;
  s.GaugeRunning = kFalse;
  s.GaugeDirection = 1.0f;
  s.GaugeLevel = 1.0f;
  s.GaugeStopRequested = kFalse;
  Timer1.SetEnabled(false);
  SetHeight(230);
  SetWidth(1250);
  s.GaugeStep = 1.0f;
  s.Reeling = kFalse;
  Label1.SetCaption(ClockText(game_.platform.Now()));
}

void ConWindow::OnPaint() {
  MakeTopMost(game_, hWnd());
}

void ConWindow::EnterGaugeMode() {
  Timer2.SetEnabled(false);
  Label1.SetVisible(false);
  Picture2.SetVisible(true);
}

void ConWindow::EnterClockMode() {
  Label1.SetVisible(true);
  Picture2.SetVisible(false);
  Timer2.SetEnabled(true);
  Timer1.SetEnabled(false);
}

void ConWindow::OnTimer(Timer& timer) {
  if (&timer == &Timer2) {
    Label1.SetCaption(ClockText(game_.platform.Now()));
    game_.LayOutAgainIfPending();
  } else if (&timer == &Timer3) {
    // Off first, so that one strike starts one fight.
    Timer3.SetEnabled(false);
    FishFight(game_);
  }
}

void ConWindow::OnMouseUp(Control& control, int, int) {
  if (&control != &Picture1) return;
  GameState& s = game_.state;
  s.ButtonDown = kFalse;
  s.ButtonUp = kTrue;
  // Letting go on red is what the fight asks for; anywhere else it ends reeling.
  if (Picture1.BackColor() != kRed) s.Reeling = kFalse;
}

void ConWindow::OnMouseDown(Control& control, int button, int) {
  if (&control != &Picture1) return;
  if (button == kButtonLeft) {
    LeftPress();
  } else {
    OtherPress(button);
  }
}

void ConWindow::LeftPress() {
  GameState& s = game_.state;
  s.ButtonUp = kFalse;
  s.ButtonDown = kTrue;
  if (s.Reeling != kFalse) {
    // During a fight a press on red gives the fish line.
    if (Picture1.BackColor() == kRed) s.Reeling = kFalse;
    return;
  }
  s.FishRange = Nearest(game_.frmSea.Width());
  if (s.Busy != kFalse) return;
  // The line counts as out from the stop of the gauge, but until the cast
  // puts the float out there is nothing to strike at (a menu opened during
  // the swing clears Busy).
  if (s.LineOut != kFalse && !game_.frmUki.IsLoaded()) return;
  s.Reeling = kTrue;
  if (s.LineOut == kFalse) {
    RunGauge();
  } else {
    Strike();
  }
}

void ConWindow::RunGauge() {
  GameState& s = game_.state;
  if (s.GaugeRunning != kFalse) {
    // The second press of a cast: the running gauge takes the stop.
    s.GaugeStopRequested = kTrue;
    s.Busy = kFalse;
    return;
  }
  EnterGaugeMode();
  s.GaugeRunning = kTrue;
  s.LineOut = kFalse;
  while (s.LineOut == kFalse) {
    AdvanceGauge();
    WaitMs(game_, s.GaugeStep * 10.0f);
  }
  CastFloat();
  s.GaugeRunning = kFalse;
  s.GaugeDirection = 1.0f;
  s.GaugeLevel = 1.0f;
  s.GaugeStopRequested = kFalse;
  EnterClockMode();
  s.GaugeStep = 1.0f;
  s.Busy = kFalse;
}

void ConWindow::AdvanceGauge() {
  GameState& s = game_.state;
  game_.platform.DoEvents();
  if (s.GaugeStopRequested != kFalse) {
    s.CastPower = Nearest(s.GaugeLevel * 2.0f);
    s.LineOut = kTrue;
    // From here to the end of the flight the cast is one sequence: the
    // line counts as out, but the float is not on the water yet, so a
    // press in the swing must not strike at it.
    s.Busy = kTrue;
    return;
  }
  const float next = s.GaugeStep * s.GaugeDirection + s.GaugeLevel;
  if (s.GaugeDirection == -1.0f) {
    if (next < 1.0f) s.GaugeDirection = -s.GaugeDirection;
  } else {
    if (next > 50.0f) s.GaugeDirection = -s.GaugeDirection;
  }
  s.GaugeLevel = s.GaugeStep * s.GaugeDirection + s.GaugeLevel;
  Picture2.SetWidth(s.GaugeLevel * 18.0f);
}

void ConWindow::CastFloat() {
  Game& g = game_;
  GameState& s = g.state;
  g.platform.Randomize();
  // A fresh float: its load handler starts its quiet spell.
  g.frmUki.Unload();
  for (int i = 0; i <= 4; ++i) {
    WaitMs(g, 100);
    g.frmMan.ShowFrame(i);
  }
  g.frmUki.Timer1.SetEnabled(false);
  const std::uint64_t generation = g.frmUki.Generation();
  g.frmUki.Show();
  FlyFloat(g, s.CastPower, -(s.CastPower / 2));
  // A landing inside the flight took the float out of the scene: the cast
  // is over, and touching the float again would only bring back a stray.
  if (!g.frmUki.IsLoaded() || g.frmUki.Generation() != generation) return;
  s.Biting = kFalse;
  // Behind the sea strip, so that sinking hides the float.
  g.frmUki.ZOrder(1);
  g.frmMan.ShowFrame(5);
  g.frmUki.Timer1.SetEnabled(true);
}

void ConWindow::Strike() {
  Game& g = game_;
  GameState& s = g.state;
  s.Busy = kTrue;
  g.frmUki.Timer1.SetEnabled(false);
  s.StrikePressed = kTrue;
  // The strike pose: the shape first, then the picture.
  ApplyShape(g, 6, g.frmMan);
  g.frmMan.SetPicture(g.frmMan.Picture1(6).Picture());
  WaitMs(g, 50);
  if (s.Biting != kFalse && s.BiteElapsed != Fixed4::FromDouble(-1)) {
    // Hooked: the fight starts from Timer3 once this press has returned.
    s.FightTicks = 0;
    Timer3.SetEnabled(true);
    return;
  }
  ReelIn(s.Biting != kFalse);
}

void ConWindow::ReelIn(bool tooLate) {
  Game& g = game_;
  GameState& s = g.state;
  g.frmMan.Timer1.SetEnabled(true);
  while (s.Reeling != kFalse) {
    g.platform.DoEvents();
    const float manRight =
        static_cast<float>(g.frmMan.Width()) + static_cast<float>(g.frmMan.Left()) + 30.0f;
    if (manRight >= static_cast<float>(g.frmUki.Left())) {
      // Reeled in all the way: the landing takes over, Busy included.
      Flag withCatch = kFalse;
      LandCatch(g, withCatch);
      return;
    }
    g.frmUki.PlayerHiku(s.ScreenBottom - g.frmSea.Height() - 30, 2);
  }
  g.frmMan.Timer1.SetEnabled(false);
  g.frmUki.PlayerHiku(s.ScreenBottom - g.frmSea.Height(), 1);
  g.frmMan.ShowFrame(5);
  if (tooLate) g.frmUki.Timer1.SetEnabled(true);
  s.Busy = kFalse;
}

void ConWindow::OtherPress(int button) {
  Game& g = game_;
  // The float is paused while the menu is open. Without a float in the
  // scene there is nothing to pause: touching it would create a hidden
  // float whose cycle runs with no line out.
  const bool floatOut = g.frmUki.IsLoaded();
  if (floatOut) g.frmUki.Timer1.SetEnabled(false);
  if (button == kButtonRight) PopupMenu(g.frmMenu.mpop);
  if (floatOut && g.frmUki.IsLoaded()) g.frmUki.Timer1.SetEnabled(true);
  g.state.Busy = kFalse;
}

}  // namespace marivo
