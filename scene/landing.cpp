// The landing: the angler swings the rod back up and the catch (or the
// empty hook) comes up out of the sea at the middle of the swing.
#include <exception>

#include "catch/mod_fish.h"
#include "scene/game.h"
#include "scene/mod_Subroutine.h"
#include "shapes/mod_RGN_Proc.h"

namespace marivo {
namespace {

// Every step stands on its own: one that fails is skipped and the landing
// goes on, so the game always comes back to idle. Ending the program is
// not a failure and goes through.
template <class F>
void Step(F&& step) {
  try {
    step();
  } catch (const std::exception&) {
  }
}

}  // namespace

void LandCatch(Game& g, Flag& WithCatch) {
  GameState& s = g.state;
  UkiWindow& uki = g.frmUki;
  Step([&] { s.Busy = kTrue; });
  Step([&] { g.platform.Randomize(); });
  Step([&] { g.frmMan.Timer1.SetEnabled(false); });
  Step([&] {
    ApplyShape(g, 6, g.frmMan);
    g.frmMan.SetPicture(g.frmMan.Picture1(6).Picture());
  });
  Step([&] { g.frmV.SetVisible(false); });
  // Only a float that is still in the scene; touching a gone one would
  // bring it back.
  Step([&] {
    if (uki.IsLoaded()) uki.Timer1.SetEnabled(false);
  });
  for (int i = 5; i >= 0; --i) {
    Step([&] { g.frmMan.ShowFrame(i); });
    if (i == 3) {
      Step([&] {
        const std::int32_t index = ChooseFish(g, s.FishRange, s.HookX);
        g.frmFish.getFish(index, WithCatch != kFalse);
      });
    }
    Step([&] { WaitMs(g, 150); });
  }
  Step([&] { g.frmCon.Picture1.SetBackColor(kBlue); });
  Step([&] {
    s.LineOut = kFalse;
    s.Busy = kFalse;
  });
  Step([&] { uki.Unload(); });
  Step([&] {
    s.GaugeRunning = kFalse;
    s.GaugeDirection = 1.0f;
    s.GaugeLevel = 1.0f;
    s.GaugeStopRequested = kFalse;
    g.frmCon.Timer1.SetEnabled(false);
    s.GaugeStep = 1.0f;
  });
  Step([&] { s.Reeling = kFalse; });
}

}  // namespace marivo
