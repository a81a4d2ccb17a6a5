#include "catch/frmFish.h"

#include "catch/mod_fish.h"
#include "catch/record.h"
#include "scene/game.h"
#include "scene/mod_Subroutine.h"
#include "shapes/mod_RGN_Proc.h"
#include "shapes/mod_RGN_pop.h"

namespace marivo {
namespace {

constexpr int kHookPicture = 99;
constexpr std::int16_t kMaxCount = 32767;

}  // namespace

FishWindow::FishWindow(Game& game) : Form(game.platform, WindowId::frmFish), game_(game) {}

double FishWindow::PlaceLeft() {
  Form& man = game_.frmMan;
  return man.Left() + double(Nearest(man.Width()) / 2) + 100;
}

void FishWindow::OnLoad() {
  SetHeight(540);
  SetWidth(540);
  SetLeft(PlaceLeft());
  BaseLeft = Nearest(Left());
}

void FishWindow::OnTimer(Timer& timer) {
  if (&timer != &Timer1) return;
  // The catch shivers on the line, always a little left of where it came up.
  SetLeft(BaseLeft + Floor(game_.platform.Rnd() * 50.0f - 50.0f));
}

void FishWindow::StruggleFloat(bool firstFrame) {
  UkiWindow& uki = game_.frmUki;
  ApplyShape(game_, firstFrame ? 56 : 57, uki);
  uki.SetPicture(uki.Picture1(firstFrame ? 4 : 5).Picture());
}

void FishWindow::getFish(std::int32_t index, bool b) {
  Game& g = game_;
  UkiWindow& uki = g.frmUki;
  int k = 0;
  SetLeft(PlaceLeft());
  // The float is only touched while it is in the scene: using an unloaded
  // float would bring it back as a stray window.
  const bool hasFish = b;
  if (!hasFish) {
    uki.Unload();
    SetLeft(Left() - 150);
    ApplyShape(g, 58, *this);
    SetPicture(Picture1(kHookPicture).Picture());
    Timer1.SetEnabled(false);
  } else {
    if (uki.IsLoaded()) {
      const double xs = uki.Left();
      for (int step = 0; step < 14 && uki.IsLoaded(); ++step) {
        const double v = xs - 10.0 * step;
        uki.SetLeft(v + Floor(g.platform.Rnd() * 20.0f - 20.0f));
        g.platform.DoEvents();
        if (!uki.IsLoaded()) break;
        StruggleFloat(step % 2 == 0);
        WaitMs(g, 20);
      }
    }
    if (index < 0 || index >= kFishKinds || !Picture1.Has(index)) {
      // Nothing to show for this index: the display ends here, uncounted.
      Unload();
      return;
    }
    ApplyShape(g, 11 + index, *this);
    SetPicture(Picture1(index).Picture());
    auto& counts = g.state.CatchCount;
    if (counts[static_cast<std::size_t>(index)] < kMaxCount)
      ++counts[static_cast<std::size_t>(index)];
    // On disk at once: a run that dies after this landing keeps the catch.
    if (index < kCreatureKinds) SaveCatchCounts(g);
    bool complete = true;
    for (int i = 0; i < kCreatureKinds; ++i) {
      if (counts[static_cast<std::size_t>(i)] == 0) complete = false;
    }
    if (complete) {
      WriteSetting(g, "Data", "Complete", "1");
      g.frmMenu.mComplete.SetVisible(true);
      g.frmMenu.sepx.SetVisible(true);
    }
  }

  // Behind the sea strip, so the catch comes up out of the water.
  Show();
  ZOrder(1);

  const double xu = uki.IsLoaded() ? uki.Left() : 0;
  const double seaTop = g.frmSea.Top();
  const double last = seaTop - Height() + 30;
  for (double t = seaTop; t >= last; t -= 8) {
    if (k > 60) {
      uki.Unload();
    } else {
      if (uki.IsLoaded()) {
        uki.SetLeft(xu + Floor(g.platform.Rnd() * 20.0f - 20.0f));
        StruggleFloat(k % 2 == 0);
      }
      ++k;
    }
    SetTop(t);
    WaitMs(g, 10);
  }

  if (hasFish) {
    ShowBalloon(g, FishName(index), Left() + double(Nearest(Width()) / 2),
                Top() - double(Nearest(Height()) / 2), 0);
    WaitMs(g, 3000);
    g.frmL.Unload();
    g.frmC.Unload();
    g.frmR.Unload();
  } else {
    WaitMs(g, 2000);
  }
  Unload();
}

}  // namespace marivo
