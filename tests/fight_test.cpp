// The fight, called as the strike's Timer3 tick calls it: a fish hooked at
// the angler lands at once; letting go on blue or holding on red lets it
// go; holding on blue and letting go on red brings it in.
#include <gtest/gtest.h>

#include <optional>

#include "catch/mod_fish.h"
#include "scene/mod_Subroutine.h"
#include "tests/cycle_support.h"

namespace marivo {
namespace {

using namespace testing;

TEST(Fight, AFishHookedAtTheAnglerLandsAtOnceWithoutABalloonOrMarker) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  // Centred on its left edge, the wide float stands 1868: past 2000 - 100.
  PutFloatOnTheWater(g, 2100);
  Hooked(g);
  ASSERT_TRUE(Survives([&] { FishFight(game); }));
  EXPECT_EQ(game.state.HookX, 2100);
  EXPECT_EQ(game.state.FishRange, 13824);  // 0.9 of the sea
  EXPECT_FALSE(Journaled(g, "text frmC HIT!!!"));
  EXPECT_FALSE(Journaled(g, "show frmV"));
  EXPECT_EQ(TotalCount(game.state), 1);
  int kind = 0;
  while (game.state.CatchCount[std::size_t(kind)] == 0) ++kind;
  EXPECT_TRUE(Journaled(g, "text frmC " + FishName(kind)));
  EXPECT_EQ(game.state.LineOut, kFalse);
  EXPECT_EQ(game.state.Busy, kFalse);
  EXPECT_EQ(game.state.Reeling, kFalse);
  EXPECT_FALSE(game.frmUki.IsLoaded());
}

TEST(Fight, LettingGoWhileBlueLetsTheFishGetAway) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  GameState& s = game.state;
  UkiWindow& uki = PutFloatOnTheWater(g, 6000);
  Hooked(g);
  const std::uint64_t t0 = g.model.Elapsed();
  g.model.ReleaseAt(t0 + 300);  // during the "HIT!!!"
  std::optional<std::uint64_t> escaped;
  Referee watch(g, 10, [&] {
    if (!escaped && Journaled(g, "text frmC バレタ！！")) escaped = g.model.Elapsed();
    return true;
  });
  ASSERT_TRUE(Survives([&] { FishFight(game); }));
  EXPECT_TRUE(Journaled(g, "text frmC HIT!!!"));
  ASSERT_TRUE(escaped.has_value());
  EXPECT_GE(*escaped, t0 + 500) << "the balloon stays its half second first";
  EXPECT_EQ(TotalCount(s), 0);
  EXPECT_FALSE(game.frmFish.IsLoaded());
  // The float rights itself where it was hooked (give or take the drifts
  // of the float ticks that run until the fight stops them) and the line
  // stays out.
  ASSERT_TRUE(uki.IsLoaded());
  EXPECT_NEAR(uki.Left(), 6000, 40);
  EXPECT_DOUBLE_EQ(uki.Width(), 75);
  EXPECT_DOUBLE_EQ(uki.Height(), 315);
  EXPECT_EQ(uki.Picture(), &assets::UkiFrame(0));
  EXPECT_TRUE(uki.Timer1.Enabled());
  EXPECT_EQ(s.LineOut, kTrue);
  EXPECT_EQ(s.Busy, kFalse);
  EXPECT_EQ(s.Reeling, kFalse);
  EXPECT_EQ(game.frmCon.Picture1.BackColor(), kBlue);
  EXPECT_FALSE(game.frmV.Visible());
  EXPECT_FALSE(game.frmMan.Timer1.Enabled());
  EXPECT_EQ(game.frmMan.Picture(), &assets::ManFrame(5));
  EXPECT_FALSE(game.frmL.IsLoaded());
  // Back to waiting: the float's own cycle goes on.
  ASSERT_TRUE(g.RunFor(1000));
  EXPECT_TRUE(uki.IsLoaded());
}

TEST(Fight, HoldingOnWhenTheButtonTurnsRedLetsTheFishGetAway) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  GameState& s = game.state;
  UkiWindow& uki = PutFloatOnTheWater(g, 14500);
  Hooked(g);
  std::optional<std::uint64_t> firstRed;
  std::optional<std::uint64_t> ended;
  double farthest = 0;
  Referee watch(g, 5, [&] {
    if (!firstRed && game.frmCon.Picture1.BackColor() == kRed) {
      firstRed = g.model.Elapsed();
      EXPECT_EQ(game.frmV.BackColor(), kRed) << "the marker follows the button";
    }
    if (uki.IsLoaded()) farthest = std::max(farthest, uki.Left());
    if (!ended && s.Reeling == kFalse) ended = g.model.Elapsed();
    return true;
  });
  ASSERT_TRUE(Survives([&] { FishFight(game); }));
  ASSERT_TRUE(firstRed.has_value()) << "the button never turned red";
  ASSERT_TRUE(ended.has_value());
  // The next pass starts at most one pass (10 x 75 ms and the pumps) later.
  EXPECT_GT(*ended, *firstRed);
  EXPECT_LE(*ended, *firstRed + 800);
  EXPECT_TRUE(Journaled(g, "text frmC バレタ！！"));
  EXPECT_EQ(TotalCount(s), 0);
  EXPECT_EQ(s.LineOut, kTrue);
  EXPECT_LE(farthest, 15360 - 200);
}

TEST(Fight, HoldingOnBlueAndLettingGoOnRedBringsTheFishIn) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  GameState& s = game.state;
  UkiWindow& uki = PutFloatOnTheWater(g, 5000);
  Hooked(g);
  std::optional<double> lastLeft;
  double biggestStep = 0;
  Referee player(g, 20, [&] {
    if (!s.Reeling) return false;
    const Color c = game.frmCon.Picture1.BackColor();
    const bool held = s.ButtonDown == kTrue;
    if (c == kBlue && !held) g.model.PressAt(g.model.Elapsed() + 1);
    if (c == kRed && held) g.model.ReleaseAt(g.model.Elapsed() + 1);
    if (uki.IsLoaded() && uki.Width() == 465) {
      if (lastLeft) biggestStep = std::max(biggestStep, *lastLeft - uki.Left());
      lastLeft = uki.Left();
    }
    return true;
  });
  ASSERT_TRUE(Survives([&] { FishFight(game); }));
  EXPECT_FALSE(Journaled(g, "text frmC バレタ！！"));
  EXPECT_EQ(TotalCount(s), 1);
  EXPECT_EQ(s.HookX, 5000);
  EXPECT_FALSE(uki.IsLoaded());
  EXPECT_EQ(s.LineOut, kFalse);
  // Within 20 ms at most one reeling step of 25 to 36 twips happens.
  EXPECT_GT(biggestStep, 0);
  EXPECT_LE(biggestStep, 36);
}

TEST(Fight, TheButtonTurnsRedOneTimeInFourAndBlueOneTimeInTwoEverySecondPass) {
  // Long fights played well; at each pass the referee sees FightTicks
  // step (1, then 0 once the attempt of the second pass was made).
  int blueTries = 0, blueToRed = 0, redTries = 0, redToBlue = 0;
  for (std::uint32_t seed = 1; seed <= 8; ++seed) {
    ModelBackend::Options options;
    options.seed = seed;
    ModelGame g(options);
    ASSERT_TRUE(g.Start());
    Game& game = g.game;
    GameState& s = game.state;
    PutFloatOnTheWater(g, 15000);
    Hooked(g);
    std::int32_t ticks = -1;
    Color before = kBlue;
    int passes = 0;
    Referee player(g, 10, [&] {
      if (!s.Reeling) return false;
      const Color c = game.frmCon.Picture1.BackColor();
      if (s.FightTicks != ticks && (ticks != -1 || s.FightTicks == 1)) {
        ++passes;
        if (passes == 1) {
          EXPECT_EQ(c, kBlue) << "no attempt in the first pass";
          EXPECT_EQ(s.FightTicks, 1);
        }
        if (s.FightTicks == 0) {  // an attempt was made in this pass
          if (before == kBlue) {
            ++blueTries;
            blueToRed += c == kRed ? 1 : 0;
          } else {
            ++redTries;
            redToBlue += c == kBlue ? 1 : 0;
          }
        }
        ticks = s.FightTicks;
      }
      before = c;
      const bool held = s.ButtonDown == kTrue;
      if (c == kBlue && !held) g.model.PressAt(g.model.Elapsed() + 1);
      if (c == kRed && held) g.model.ReleaseAt(g.model.Elapsed() + 1);
      return true;
    });
    ASSERT_TRUE(Survives([&] { FishFight(game); }));
    EXPECT_EQ(TotalCount(s), 1) << "seed " << seed;
  }
  ASSERT_GT(blueTries, 100);
  ASSERT_GT(redTries, 30);
  EXPECT_NEAR(double(blueToRed) / blueTries, 0.25, 0.1) << blueToRed << " of " << blueTries;
  EXPECT_NEAR(double(redToBlue) / redTries, 0.5, 0.17) << redToBlue << " of " << redTries;
}

}  // namespace
}  // namespace marivo
