// The cast's flight: a plain ballistic step per 10 ms. The horizontal
// speed stays as cast; the vertical one starts upwards and grows by one
// twip a step; there is no drag and no horizontal limit.
#include "scene/game.h"
#include "scene/mod_Subroutine.h"
#include "shapes/mod_RGN_Data.h"
#include "shapes/mod_RGN_Proc.h"

namespace marivo {
namespace {

// Shows one of the float's flight frames: the window's size first, then
// its outline, then its picture.
void ShowFloatFrame(Game& game, UkiWindow& uki, int frame) {
  switch (frame) {
    case 0:
      SizeUkiUpright(uki);
      ApplyShape(game, 7, uki);
      break;
    case 1:
      SizeUkiSlant(uki);
      ApplyShape(game, 8, uki);
      break;
    case 2:
      SizeUkiFlat(uki);
      ApplyShape(game, 9, uki);
      break;
    default:
      SizeUkiSlant(uki);
      ApplyShape(game, 10, uki);
      break;
  }
  uki.SetPicture(uki.Picture1(frame).Picture());
}

}  // namespace

void FlyFloat(Game& game, std::int32_t vx, std::int32_t vy) {
  GameState& s = game.state;
  UkiWindow& uki = game.frmUki;
  ManWindow& man = game.frmMan;
  s.Busy = kTrue;
  game.platform.Randomize();
  s.FlightVY = static_cast<float>(vy);
  s.FlightVX = static_cast<float>(vx);
  ShowFloatFrame(game, uki, 1);
  // From the bottom the scene stands on, which the landing step snaps to:
  // a screen change in mid-cast moves both together once the cast is over.
  uki.ntop = uki.RestingTop();
  s.FlightX = Nearest(man.Width() + man.Left());
  s.FlightY = Nearest(man.Top() - uki.Height());
  s.FlightPhase = 0;
  const std::uint64_t generation = uki.Generation();
  while (FlightStep(game, uki)) {
    WaitMs(game, 10);
    if (!uki.IsLoaded() || uki.Generation() != generation) {
      // The float was taken out of the scene under the flight.
      s.Busy = kFalse;
      return;
    }
  }
  ShowFloatFrame(game, uki, 0);
  uki.SetLeft(uki.Width() + uki.Left());
  uki.ntop = uki.RestingTop();
  s.Busy = kFalse;
}

bool FlightStep(Game& game, Form& window) {
  GameState& s = game.state;
  auto& uki = dynamic_cast<UkiWindow&>(window);
  const std::int32_t h = Nearest(window.Height());
  s.FlightVY = s.FlightVY + 1.0f;
  if (s.FlightVY < -5.0f && s.FlightPhase == 0) {
    s.FlightPhase = 1;
    ShowFloatFrame(game, uki, 1);
  }
  if (s.FlightVY >= -5.0f && s.FlightVY < 5.0f && s.FlightPhase == 1) {
    s.FlightPhase = 2;
    ShowFloatFrame(game, uki, 2);
  }
  if (s.FlightVY > 5.0f && s.FlightPhase == 2) {
    s.FlightPhase = 3;
    ShowFloatFrame(game, uki, 3);
  }
  s.FlightX = Nearest(s.FlightVX + static_cast<float>(s.FlightX));
  s.FlightY = Nearest(s.FlightVY + static_cast<float>(s.FlightY));
  const double seaHeight = game.frmSea.Height();
  if (double(s.FlightY) + h >= s.ScreenBottom - seaHeight) {
    // Landed: the bottom snaps onto the sea strip's top edge.
    s.FlightY = Nearest(s.ScreenBottom - window.Height() - seaHeight);
    window.SetTop(s.FlightY);
    return false;
  }
  window.SetLeft(s.FlightX);
  window.SetTop(s.FlightY);
  game.platform.DoEvents();
  return true;
}

}  // namespace marivo
