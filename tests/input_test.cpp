// The control bar's button: what a press means in each state of the game,
// releases, holding, the other buttons, the empty reel; and the clock.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shapes/mod_RGN_Data.h"
#include "tests/model_fixture.h"

namespace marivo {
namespace {

using testing::ModelGame;
using testing::Probes;

constexpr double kSeaWidth = 1024 * 15;

// A float on the water with the line out, as a cast leaves it, and a long
// quiet spell so that nothing bites.
UkiWindow& LineOut(ModelGame& g, double left) {
  UkiWindow& uki = g.game.frmUki;
  uki.Load();
  SizeUkiUpright(uki);
  uki.Move(left, 10745);
  uki.ntop = 10705;
  uki.nwait = 1000;
  uki.Show();
  uki.Timer1.SetEnabled(true);
  g.game.state.LineOut = kTrue;
  return uki;
}

// ------------------------------------------------------------- the clock

std::string ClockAfter(LocalTime start, std::uint64_t ms) {
  ModelBackend::Options o;
  o.startTime = start;
  ModelGame g(o);
  EXPECT_TRUE(g.Start());
  EXPECT_TRUE(g.RunUntil(ms));
  return g.game.frmCon.Label1.Caption();
}

TEST(Clock, ShowsMonthDayHourAndMinutesOnTwoDigitsEach) {
  EXPECT_EQ(ClockAfter({2026, 3, 4, 7, 8, 0}, 0), "03/04 07:08");
  EXPECT_EQ(ClockAfter({2026, 12, 7, 13, 5, 0}, 0), "12/07 13:05");
  EXPECT_EQ(ClockAfter({2026, 12, 7, 23, 45, 0}, 0), "12/07 23:45");
}

TEST(Clock, ShowsTheNewDateAtTheFirstTickPastMidnightAndTheNewYear) {
  EXPECT_EQ(ClockAfter({2026, 3, 4, 23, 59, 58}, 1999), "03/04 23:59");
  EXPECT_EQ(ClockAfter({2026, 3, 4, 23, 59, 58}, 2000), "03/05 00:00");
  EXPECT_EQ(ClockAfter({2026, 2, 28, 23, 59, 59}, 1000), "03/01 00:00");
  EXPECT_EQ(ClockAfter({2028, 2, 28, 23, 59, 59}, 1000), "02/29 00:00");
  EXPECT_EQ(ClockAfter({2026, 12, 31, 23, 59, 30}, 29000), "12/31 23:59");
  EXPECT_EQ(ClockAfter({2026, 12, 31, 23, 59, 30}, 30000), "01/01 00:00");
}

// ------------------------------------------------- what a left press does

TEST(LeftPress, WhileReelingOnlyAPressOnRedEndsIt) {
  for (Color colour : {kBlue, kRed}) {
    ModelGame g;
    ASSERT_TRUE(g.Start());
    GameState& s = g.game.state;
    s.Reeling = kTrue;
    s.FishRange = 7;
    g.game.frmCon.Picture1.SetBackColor(colour);
    g.model.PressAt(10);
    ASSERT_TRUE(g.RunUntil(20));
    EXPECT_EQ(s.Reeling, colour == kRed ? kFalse : kTrue);
    EXPECT_EQ(s.ButtonDown, kTrue);
    EXPECT_EQ(s.ButtonUp, kFalse);
    EXPECT_EQ(s.FishRange, 7) << "the press ended before the sea was measured";
    EXPECT_EQ(s.GaugeRunning, kFalse);
  }
}

TEST(LeftPress, WhileBusyOnlyMeasuresTheSea) {
  for (Flag lineOut : {kFalse, kTrue}) {
    ModelGame g;
    ASSERT_TRUE(g.Start());
    GameState& s = g.game.state;
    if (lineOut != kFalse) LineOut(g, 4000);
    s.Busy = kTrue;
    g.model.ClearJournal();
    g.model.PressAt(10);
    ASSERT_TRUE(g.RunUntil(100));
    EXPECT_EQ(s.FishRange, Nearest(kSeaWidth));
    EXPECT_EQ(s.Reeling, kFalse);
    EXPECT_EQ(s.Busy, kTrue);
    EXPECT_EQ(s.GaugeRunning, kFalse);
    EXPECT_EQ(s.StrikePressed, kFalse);
    EXPECT_TRUE(g.model.JournalWith("shape frmMan").empty());
  }
}

TEST(LeftPress, IdleStartsTheGaugeAndWithTheGaugeRunningRequestsTheStop) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  GameState& s = g.game.state;
  Probes probes(g);
  g.model.PressAt(10);
  probes.At(11, [&] {
    EXPECT_EQ(s.GaugeRunning, kTrue);
    EXPECT_EQ(s.Reeling, kTrue);
    EXPECT_EQ(s.LineOut, kFalse);
    EXPECT_EQ(s.FishRange, Nearest(kSeaWidth));
  });
  g.model.ReleaseAt(20);
  g.model.PressAt(35);
  probes.At(36, [&] {
    EXPECT_EQ(s.GaugeStopRequested, kTrue);
    EXPECT_EQ(s.Busy, kFalse);
    EXPECT_EQ(s.LineOut, kFalse);  // taken at the next step, at 40
  });
  probes.At(41, [&] {
    EXPECT_EQ(s.LineOut, kTrue);
    EXPECT_EQ(s.CastPower, 8);  // 2 at 10, 3 at 20, 4 at 30
  });
  ASSERT_TRUE(g.RunUntil(11));
  EXPECT_EQ(s.LineOut, kTrue);
}

TEST(LeftPress, HoldingTheFirstPressIgnoresFurtherPressesUntilTheRelease) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  GameState& s = g.game.state;
  Probes probes(g);
  g.model.PressAt(100);
  g.model.PressAt(205);  // held: nothing
  g.model.PressAt(305);
  probes.At(405, [&] {
    EXPECT_EQ(s.GaugeStopRequested, kFalse);
    EXPECT_EQ(s.LineOut, kFalse);
    EXPECT_EQ(s.GaugeLevel, 32.0f);  // still running: 2 at 100, one more every 10 ms
  });
  g.model.ReleaseAt(410);
  g.model.PressAt(425);
  g.model.ReleaseAt(426);
  ASSERT_TRUE(g.RunUntil(101));
  EXPECT_EQ(s.CastPower, 2 * 34);
}

TEST(LeftPress, DuringTheSwingAndTheFlightStartsNothing) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  GameState& s = g.game.state;
  Probes probes(g);
  // Level 7 at 150, stop taken at 160; the swing runs 170..670, the flight
  // from 670 for 44 steps.
  g.model.PressAt(100);
  g.model.ReleaseAt(102);
  g.model.PressAt(155);
  g.model.ReleaseAt(157);
  for (std::uint64_t at : {165u, 300u, 700u, 900u}) {
    probes.At(at - 1, [&] { s.FishRange = 0; });
    g.model.PressAt(at);
    probes.At(at + 1, [&, at] {
      EXPECT_EQ(s.FishRange, Nearest(kSeaWidth)) << at;
      EXPECT_EQ(s.Busy, kTrue) << at;
      EXPECT_EQ(s.StrikePressed, kFalse) << at;
    });
    g.model.ReleaseAt(at + 2);
  }
  ASSERT_TRUE(g.RunUntil(101));
  // The cast went on as if nothing had been pressed.
  EXPECT_EQ(s.CastPower, 14);
  EXPECT_DOUBLE_EQ(g.game.frmUki.Left(), 2677);
  EXPECT_DOUBLE_EQ(g.game.frmUki.Top(), 10840);
  EXPECT_EQ(s.Busy, kFalse);
  EXPECT_EQ(s.Reeling, kFalse);
  EXPECT_EQ(g.game.frmMan.Picture(), &assets::ManFrame(5));
}

TEST(LeftPress, AfterAMenuDuringTheSwingStillWaitsForTheFloat) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  GameState& s = g.game.state;
  // The right press clears Busy while the angler swings; the float is not
  // out yet, so a left press then has nothing to strike at.
  g.model.PressAt(100);
  g.model.ReleaseAt(102);
  g.model.PressAt(155);
  g.model.ReleaseAt(157);
  g.model.QueueMenuChoice("");
  g.model.PressAt(300, kButtonRight);
  g.model.ReleaseAt(302, kButtonRight);
  g.model.PressAt(320);
  g.model.ReleaseAt(900);
  g.model.ClearJournal();
  ASSERT_TRUE(g.RunUntil(101));
  // No strike pose in the middle of the swing, no landing of a stray float.
  EXPECT_TRUE(g.model.JournalWith("shape frmMan 6").empty());
  EXPECT_EQ(g.model.JournalWith("load frmUki").size(), 1u);
  EXPECT_EQ(s.LineOut, kTrue);
  EXPECT_TRUE(g.game.frmUki.Visible());
  EXPECT_DOUBLE_EQ(g.game.frmUki.Left(), 2677);
  EXPECT_DOUBLE_EQ(g.game.frmUki.Top(), 10840);
  EXPECT_EQ(s.Reeling, kFalse);
}

TEST(LeftPress, WithTheLineOutAndNoBiteStrikesThenReelsWhileHeld) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  GameState& s = game.state;
  UkiWindow& uki = LineOut(g, 4000);
  Probes probes(g);
  g.model.ClearJournal();
  g.model.PressAt(1000);
  probes.At(1001, [&] {
    EXPECT_EQ(s.Busy, kTrue);
    EXPECT_EQ(s.Reeling, kTrue);
    EXPECT_EQ(s.StrikePressed, kTrue);
    EXPECT_FALSE(uki.Timer1.Enabled());
    EXPECT_EQ(game.frmMan.Picture(), &assets::ManFrame(6));
    EXPECT_FALSE(game.frmMan.Timer1.Enabled());
  });
  probes.At(1049, [&] { EXPECT_DOUBLE_EQ(uki.Left(), 4000); });
  probes.At(1200, [&] {
    EXPECT_TRUE(game.frmMan.Timer1.Enabled());  // he struggles while reeling
    EXPECT_LT(uki.Left(), 4000);
    EXPECT_FALSE(game.frmCon.Timer3.Enabled());
  });
  g.model.ReleaseAt(1500);
  ASSERT_TRUE(g.RunUntil(1001));
  // The strike pose: shape first, then picture; the waiting pose: picture
  // first, then shape.
  const auto& j = g.model.Journal();
  const auto shape6 = std::find(j.begin(), j.end(), "shape frmMan 6");
  ASSERT_NE(shape6, j.end());
  ASSERT_NE(shape6 + 1, j.end());
  EXPECT_EQ(*(shape6 + 1), std::string("picture frmMan ") + assets::ManFrame(6).name);
  ASSERT_GE(j.size(), 2u);
  EXPECT_EQ(j[j.size() - 2], std::string("picture frmMan ") + assets::ManFrame(5).name);
  EXPECT_EQ(j.back(), "shape frmMan 5");
  EXPECT_EQ(s.Busy, kFalse);
  EXPECT_EQ(s.Reeling, kFalse);
  EXPECT_EQ(s.LineOut, kTrue);
  EXPECT_FALSE(game.frmMan.Timer1.Enabled());
  EXPECT_TRUE(uki.Timer1.Enabled());
  // Dropped back from where it was: within 8 twips of floating depth.
  EXPECT_NEAR(uki.Top(), 11020 - 315 + 20, 8);
}

TEST(LeftPress, TooLateForABiteReelsLikeAnEmptyLine) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  GameState& s = game.state;
  UkiWindow& uki = LineOut(g, 4000);
  uki.Timer1.SetEnabled(false);
  // A bite whose window has closed: still biting, nothing measured.
  s.Biting = kTrue;
  s.BiteElapsed = Fixed4::FromDouble(-1);
  Probes probes(g);
  g.model.PressAt(100);
  probes.At(200, [&] {
    EXPECT_TRUE(game.frmMan.Timer1.Enabled());
    EXPECT_FALSE(game.frmCon.Timer3.Enabled());
  });
  g.model.ReleaseAt(300);
  ASSERT_TRUE(g.RunUntil(101));
  EXPECT_FALSE(game.frmCon.Timer3.Enabled());
  EXPECT_EQ(s.Busy, kFalse);
  EXPECT_TRUE(uki.Timer1.Enabled());
}

TEST(LeftPress, ReelingToWithin30TwipsOfHimHandsOverToTheLanding) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  GameState& s = game.state;
  // His right edge is at 2000; each pull drags the float 20 twips a step.
  UkiWindow& uki = LineOut(g, 2600);
  Probes probes(g);
  g.model.ClearJournal();
  g.model.PressAt(100);  // held to the end
  std::uint64_t reached = 0;
  // Watch, every 5 ms, for the float coming within 30 twips of him.
  for (std::uint64_t at = 105; at < 3000; at += 5) {
    probes.At(at, [&, at] {
      if (reached == 0 && uki.IsLoaded() && uki.Left() <= 2030) reached = at;
    });
  }
  ASSERT_TRUE(g.RunUntil(3000));
  ASSERT_NE(reached, 0u);
  // The press handler came back although the button is still held: the
  // reel stopped, and its let-go steps did not run. Letting go first puts
  // the float's top on the sea's top edge (pixel row 735); the landing
  // never does.
  for (const std::string& line : g.model.JournalWith("move frmUki")) {
    EXPECT_EQ(line.find(",735"), std::string::npos) << line;
  }
  // The landing brought the game back to idle, with an empty hook.
  EXPECT_FALSE(uki.IsLoaded());
  EXPECT_EQ(s.LineOut, kFalse);
  EXPECT_EQ(s.Busy, kFalse);
  EXPECT_EQ(s.Reeling, kFalse);
  EXPECT_EQ(game.frmMan.Picture(), &assets::ManFrame(0));
  for (std::int16_t count : s.CatchCount) EXPECT_EQ(count, 0);
}

TEST(LeftPress, AReelInsideAFloatTickLandsWithoutLeavingAStrayFloat) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  UkiWindow& uki = LineOut(g, 2300);
  // The tick at 200 bobs 9 twips down in 3 passes, 10 ms apart; the press
  // comes inside that dip, so the reel and the landing run nested in it.
  g.model.QueueDraws({0.95f, 0.0f});
  g.model.PressAt(205);
  ASSERT_TRUE(g.RunUntil(4000));
  EXPECT_EQ(game.state.LineOut, kFalse);
  // The interrupted dip and tick found their float gone and stopped.
  EXPECT_FALSE(uki.IsLoaded());
  EXPECT_EQ(g.model.Find(WindowId::frmUki), nullptr);
  ASSERT_TRUE(g.RunFor(5000));
  EXPECT_FALSE(uki.IsLoaded());
  // And the next presses cast again.
  const std::uint64_t now = g.model.Elapsed();
  g.model.ReleaseAt(now + 10);
  g.model.PressAt(now + 20);
  g.model.ReleaseAt(now + 21);
  g.model.PressAt(now + 45);
  g.model.ReleaseAt(now + 46);
  ASSERT_TRUE(g.RunFor(30));
  EXPECT_EQ(game.state.CastPower, 8);
  EXPECT_TRUE(uki.IsLoaded());
  EXPECT_EQ(game.state.LineOut, kTrue);
}

// ------------------------------------------------------------- releases

TEST(Release, EndsReelingExceptOnRed) {
  for (Color colour : {kBlue, kRed}) {
    ModelGame g;
    ASSERT_TRUE(g.Start());
    GameState& s = g.game.state;
    s.Reeling = kTrue;
    s.ButtonDown = kTrue;
    g.game.frmCon.Picture1.SetBackColor(colour);
    g.model.ReleaseAt(10, kButtonRight);  // any button
    ASSERT_TRUE(g.RunUntil(20));
    EXPECT_EQ(s.Reeling, colour == kRed ? kTrue : kFalse);
    EXPECT_EQ(s.ButtonDown, kFalse);
    EXPECT_EQ(s.ButtonUp, kTrue);
  }
}

// -------------------------------------------------------- other buttons

TEST(OtherPress, RightOpensTheMenuThenResumesTheFloatAndClearsBusy) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  UkiWindow& uki = LineOut(g, 4000);
  uki.Timer1.SetEnabled(false);
  game.state.Busy = kTrue;
  g.model.QueueMenuChoice("");  // dismissed
  g.model.PressAt(10, kButtonRight);
  ASSERT_TRUE(g.RunUntil(20));
  ASSERT_EQ(g.model.Popups().size(), 1u);
  EXPECT_FALSE(g.model.Popups()[0].empty());
  EXPECT_TRUE(uki.Timer1.Enabled());
  EXPECT_EQ(game.state.Busy, kFalse);
  EXPECT_EQ(game.state.Reeling, kFalse);
  EXPECT_EQ(game.state.ButtonDown, kFalse);
}

TEST(OtherPress, MiddleOrSeveralButtonsOnlyPauseTheFloatAndClearBusy) {
  for (int buttons : {kButtonMiddle, kButtonLeft | kButtonRight}) {
    ModelGame g;
    ASSERT_TRUE(g.Start());
    Game& game = g.game;
    UkiWindow& uki = LineOut(g, 4000);
    game.state.Busy = kTrue;
    g.model.PressAt(10, buttons);
    ASSERT_TRUE(g.RunUntil(20));
    EXPECT_TRUE(g.model.Popups().empty()) << buttons;
    EXPECT_TRUE(uki.Timer1.Enabled());
    EXPECT_EQ(game.state.Busy, kFalse);
    EXPECT_EQ(game.state.Reeling, kFalse);
    EXPECT_EQ(game.state.GaugeRunning, kFalse);
  }
}

TEST(OtherPress, WithoutAFloatInTheSceneLeavesTheFloatAlone) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  g.model.QueueMenuChoice("");
  g.model.PressAt(10, kButtonRight);
  g.model.PressAt(20, kButtonMiddle);
  ASSERT_TRUE(g.RunUntil(2000));
  EXPECT_EQ(g.model.Popups().size(), 1u);
  EXPECT_FALSE(g.game.frmUki.IsLoaded());
  EXPECT_EQ(g.game.state.Busy, kFalse);
}

TEST(Input, PressesOffTheButtonAreIgnored) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  PlatformEvent e;
  e.kind = PlatformEvent::Kind::PointerDown;
  e.window = WindowId::frmCon;
  e.buttons = kButtonLeft;
  for (int slot = 0; slot < int(Design(WindowId::frmCon).controls.size()); ++slot) {
    if (Design(WindowId::frmCon).controls[slot].name == "Picture1") continue;
    e.control = slot;
    g.model.PostAt(10, e);
  }
  ASSERT_TRUE(g.RunUntil(100));
  EXPECT_EQ(g.game.state.ButtonDown, kFalse);
  EXPECT_EQ(g.game.state.GaugeRunning, kFalse);
}

}  // namespace
}  // namespace marivo
