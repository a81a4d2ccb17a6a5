#include "ui/frmCon.h"

#include <cstdio>

#include "scene/game.h"
#include "scene/mod_Subroutine.h"

namespace marivo {
namespace {

// "mm/dd HH:MM": month, day, hour on the 24-hour clock, minutes.
std::string ClockText(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%02d %02d:%02d", t.month % 100, t.day % 100,
                t.hour % 100, t.minute % 100);
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

void ConWindow::OnPaint() { MakeTopMost(game_, hWnd()); }

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
  } else if (&timer == &Timer3) {
    Timer3.SetEnabled(false);
    // The fight arrives with the fishing cycle.
  }
}

void ConWindow::OnMouseDown(Control&, int, int) {
  // Pointer input arrives with the casting work.
}

void ConWindow::OnMouseUp(Control&, int, int) {}

}  // namespace marivo
