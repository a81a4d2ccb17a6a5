// The fight: hold on blue, let go on red, until the float reaches the
// angler or the fish gets away.
#include "scene/game.h"
#include "scene/mod_Subroutine.h"
#include "shapes/mod_RGN_Data.h"
#include "shapes/mod_RGN_Proc.h"
#include "shapes/mod_RGN_pop.h"

namespace marivo {
namespace {

void CloseBalloon(Game& g) {
  g.frmL.Unload();
  g.frmC.Unload();
  g.frmR.Unload();
}

// The marker rides above the middle of the float.
void CentreMarker(Game& g) {
  g.frmV.SetLeft(g.frmUki.Left() + Div(g.frmUki.Width() - g.frmV.Width(), 2));
}

// The float has come in 100 twips past the angler's right edge.
bool AtTheAngler(Game& g) {
  return g.frmMan.Left() + g.frmMan.Width() - 100 >= g.frmUki.Left();
}

void Land(Game& g) {
  Flag withCatch = kTrue;
  LandCatch(g, withCatch);
}

// Where the fight's balloons point: the top of the angler's middle.
double BalloonX(Game& g) {
  return g.frmMan.Left() + Div(g.frmMan.Width(), 2);
}

}  // namespace

void FishFight(Game& g) {
  GameState& s = g.state;
  UkiWindow& uki = g.frmUki;
  PictureBox& button = g.frmCon.Picture1;
  Platform& p = g.platform;

  s.FishRange = Nearest(g.frmSea.Width() * 0.9);
  s.HookX = Nearest(uki.Left());
  // The fish pulls the float under the surface and keeps it there.
  uki.ukihikuhiku(s.ScreenBottom - g.frmSea.Height(), true);
  SizeUkiWide(uki);
  ApplyShape(g, 56, uki);
  uki.SetPicture(uki.Picture1(4).Picture());
  // The wide sprite is centred on the float's old left edge, on the sea.
  uki.Move(uki.Left() - Div(uki.Width(), 2), s.ScreenBottom - uki.Height());
  s.HookY = Nearest(uki.Top());
  if (AtTheAngler(g)) {
    Land(g);
    return;
  }
  g.frmMan.Timer1.SetEnabled(true);
  ShowBalloon(g, "HIT!!!", BalloonX(g), g.frmMan.Top(), 0);
  CentreMarker(g);
  g.frmV.SetTop(uki.Top() - g.frmV.Height());
  g.frmV.SetBackColor(kBlue);
  g.frmV.SetVisible(true);
  WaitMs(g, 500);
  CloseBalloon(g);
  uki.Timer1.SetEnabled(false);

  while (s.Reeling == kTrue) {
    s.FightTicks = s.FightTicks + 1;
    // The rules, read from the button as it stands now.
    const bool blue = button.BackColor() == kBlue;
    const bool red = button.BackColor() == kRed;
    if (blue && s.ButtonUp == kTrue) {  // let go while it had to be held
      s.Reeling = kFalse;
      break;
    }
    if (red && s.ButtonUp == kFalse) {  // held while the fish pulls
      s.Reeling = kFalse;
      break;
    }
    if (s.FightTicks > 1) {
      if (blue) {
        if (Floor(p.Rnd() * 4.0f) == 1) {
          button.SetBackColor(kRed);
          g.frmV.SetBackColor(kRed);
        }
      } else if (Floor(p.Rnd() * 2.0f) == 1) {
        button.SetBackColor(kBlue);
        g.frmV.SetBackColor(kBlue);
      }
      s.FightTicks = 0;
    }
    p.DoEvents();
    for (int k = 1; k <= 5; ++k) {
      for (int half = 0; half < 2; ++half) {
        if (half == 0) p.DoEvents();
        if (button.BackColor() == kBlue && s.ButtonDown == kTrue) {
          // Reeling in: 25 to 36 twips towards the angler.
          uki.SetLeft(uki.Left() - 24 + Floor(12.0f * p.Rnd() - 12.0f));
          CentreMarker(g);
          if (AtTheAngler(g)) {
            Land(g);
            return;
          }
        }
        if (button.BackColor() == kRed) {
          // The fish pulls: 7 to 9 twips out, never past the screen's edge.
          double left = (uki.Left() + 6) - Floor(3.0f * p.Rnd() - 3.0f);
          const double limit = p.ScreenWidth() - 200;
          if (left > limit) left = limit;
          uki.SetLeft(left);
          CentreMarker(g);
        }
        uki.SetTop(s.HookY + Floor(8.0f * p.Rnd() - 4.0f));
        ApplyShape(g, half == 0 ? 56 : 57, uki);
        uki.SetPicture(uki.Picture1(half == 0 ? 4 : 5).Picture());
        WaitMs(g, 75);
      }
    }
  }

  // The fish got away: the float rights itself and bobs on.
  button.SetBackColor(kBlue);
  g.frmMan.Timer1.SetEnabled(false);
  uki.SetLeft(uki.Left() + Div(uki.Width(), 2));
  ApplyShape(g, 7, uki);
  uki.SetPicture(uki.Picture1(0).Picture());
  uki.SetHeight(315);
  uki.SetWidth(75);
  uki.Timer1.SetEnabled(true);
  ShowBalloon(g, "バレタ！！", BalloonX(g), g.frmMan.Top(), 0);
  g.frmV.SetVisible(false);
  g.frmMan.ShowFrame(5);
  WaitMs(g, 1500);
  s.Busy = kFalse;
  CloseBalloon(g);
}

}  // namespace marivo
