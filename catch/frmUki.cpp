#include "catch/frmUki.h"

#include "scene/game.h"
#include "scene/mod_Subroutine.h"

namespace marivo {
namespace {

// Whether a stepped move from i in steps of `step` has not yet passed `end`.
bool Before(std::int32_t i, std::int32_t end, std::int32_t step) {
  return step >= 0 ? i <= end : i >= end;
}

}  // namespace

UkiWindow::UkiWindow(Game& game) : Form(game.platform, WindowId::frmUki), game_(game) {}

void UkiWindow::OnLoad() {
  Platform& p = game_.platform;
  nwait = Floor(p.Rnd() * 85.0f + 15.0f);
  p.Randomize();
}

void UkiWindow::OnTimer(Timer& timer) {
  if (&timer != &Timer1) return;
  GameState& s = game_.state;
  Platform& p = game_.platform;
  const std::uint64_t generation = Generation();
  Timer1.SetEnabled(false);
  s.Biting = kFalse;
  s.BiteElapsed = Fixed4::FromDouble(-1);
  s.StrikePressed = kFalse;

  std::int32_t n = 0;
  if (nwait > 0) {
    --nwait;
  } else {
    n = Floor(p.Rnd() * 30.0f);
  }
  switch (n) {
    case 1:
      Bite();
      break;
    case 2:
      ukihikuhiku(ntop + Nearest(Height()) / 2, false);
      break;
    case 3:
      ukihikuhiku(ntop + Nearest(Height()) / 3, false);
      break;
    default:
      Bob();
      break;
  }
  if (Gone(generation)) return;
  Timer1.SetEnabled(true);
}

void UkiWindow::Bob() {
  Platform& p = game_.platform;
  const std::uint64_t generation = Generation();
  ukihikuhiku(ntop + 30 + Floor(p.Rnd() * 20.0f), false);
  if (Gone(generation)) return;
  if (Floor(p.Rnd() * 3.0f) == 1) Drift();
}

void UkiWindow::Drift() {
  Platform& p = game_.platform;
  Form& man = game_.frmMan;
  const float v = static_cast<float>(Floor(p.Rnd() * 40.0f - 20.0f));
  const float left = static_cast<float>(Left());
  const float lower = static_cast<float>(man.Left()) + 2.0f * static_cast<float>(man.Width());
  const float upper = static_cast<float>(p.ScreenWidth()) - 2.0f * static_cast<float>(man.Width());
  // A step that would leave the band is taken the other way instead.
  if (left + v < lower || left + v > upper) {
    SetLeft(left - v);
  } else {
    SetLeft(left + v);
  }
}

void UkiWindow::Bite() {
  GameState& s = game_.state;
  Platform& p = game_.platform;
  const std::uint64_t generation = Generation();
  ukihikuhiku(ntop + Height(), true);
  if (Gone(generation)) return;
  s.Biting = kTrue;

  // The strike window: open until 300 ms have been measured or the player
  // strikes. The first pump only takes what is already pending as the
  // window opens; the later ones sleep until the next event, the next
  // timer (the float's own next tick comes 200 ms after the sinking) or the
  // window's end, measuring after each.
  const std::uint32_t start = p.TickCount();
  const std::uint32_t deadline = start + 300;
  bool firstPump = true;
  for (;;) {
    if (s.BiteElapsed.Value() >= 300.0) break;
    if (s.StrikePressed != kFalse) return;
    if (firstPump) {
      p.DoEvents();
      firstPump = false;
    } else {
      p.PumpUntil(deadline);
    }
    if (Gone(generation)) return;
    s.BiteElapsed = Fixed4::FromDouble(double(TicksSince(start, p.TickCount())));
  }
  if (s.StrikePressed != kFalse) return;
  // Missed: the float stays where it is until a tick moves it.
  s.BiteElapsed = Fixed4::FromDouble(-1);
}

std::int32_t UkiWindow::RestingTop() {
  return Nearest(game_.state.ScreenBottom - Height() - game_.frmSea.Height());
}

void UkiWindow::ukihikuhiku(double btop, bool) {
  Timer1.SetEnabled(false);
  const std::uint64_t generation = Generation();
  std::int32_t reference = ntop;
  std::int32_t target = Nearest(btop);
  const std::int32_t step = Div(btop - Top(), 8);
  for (std::int32_t i = Nearest(Top()); Before(i, target, step); i += step) {
    if (Div(btop - Top(), 8) == 0) break;
    SetTop(i);
    WaitMs(game_, 10);
    if (Gone(generation)) return;
    if (const std::int32_t shift = Relaid(reference); shift != 0) {
      btop += shift;
      target += shift;
      i += shift;
    }
  }
  Timer1.SetEnabled(true);
}

void UkiWindow::PlayerHiku(double btop, int b) {
  Form& man = game_.frmMan;
  Timer1.SetEnabled(false);
  const std::uint64_t generation = Generation();
  // Whether the float is still far enough out to be dragged towards him.
  auto farOut = [&] {
    return static_cast<float>(man.Left()) + static_cast<float>(man.Width()) <=
           static_cast<float>(Left()) - 20.0f;
  };
  // Every height here is measured from where the sea stands; should the
  // scene be laid out again meanwhile, they all move with it.
  std::int32_t reference = ntop;
  std::int32_t t0 = 0;
  if (b == 0 || b == 2) {
    t0 = Nearest(Top());
    std::int32_t target = Nearest(btop);
    const std::int32_t step = Div(btop - t0, 8);
    for (std::int32_t i = Nearest(Top()); Before(i, target, step); i += step) {
      if (Div(btop - t0, 8) == 0) break;
      if (farOut()) SetLeft(static_cast<float>(Left()) - 20.0f);
      SetTop(i);
      WaitMs(game_, 15);
      if (Gone(generation)) return;
      if (const std::int32_t shift = Relaid(reference); shift != 0) {
        btop += shift;
        t0 += shift;
        target += shift;
        i += shift;
      }
    }
    if (b == 2) SetTop(static_cast<float>(Top()) - 30.0f);
  }
  if (b == 0 || b == 1) {
    // Floating depth: the float's bottom 20 twips below the sea's top edge.
    if (b == 1) t0 = Nearest(game_.frmSea.Top() - Height() + 20);
    WaitMs(game_, 80);
    if (Gone(generation)) return;
    if (const std::int32_t shift = Relaid(reference); shift != 0) {
      btop += shift;
      t0 += shift;
    }
    const std::int32_t step = Div(t0 - btop, 8);
    for (std::int32_t i = Nearest(btop); Before(i, t0, step); i += step) {
      if (Div(btop - t0, 8) == 0) break;
      if (farOut()) SetLeft(static_cast<float>(Left()) - 8.0f);
      SetTop(i);
      WaitMs(game_, 50);
      if (Gone(generation)) return;
      if (const std::int32_t shift = Relaid(reference); shift != 0) {
        btop += shift;
        t0 += shift;
        i += shift;
      }
    }
  }
  Timer1.SetEnabled(true);
}

}  // namespace marivo
