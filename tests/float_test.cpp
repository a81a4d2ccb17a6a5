// The float on the water: its quiet spell, bobs and drifts, the two
// nibbles, the bite with its strike window and the tick that ends it, and
// the stepped moves that other windows ask of it.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "shapes/mod_RGN_Data.h"
#include "tests/model_fixture.h"

namespace marivo {
namespace {

using testing::ModelGame;
using testing::Probes;

constexpr std::int32_t kRestingTop = 10705;  // ntop on the default screen
constexpr double kFloating = kRestingTop + 40;

// A float on the water as a cast leaves it, without casting: upright, 40
// twips below its resting top. Its timer is not running yet.
UkiWindow& PutFloatOnTheWater(ModelGame& g, double left, std::int32_t quietTicks) {
  UkiWindow& uki = g.game.frmUki;
  uki.Load();  // its load handler draws a quiet spell from the generator
  SizeUkiUpright(uki);
  uki.Move(left, kFloating);
  uki.ntop = kRestingTop;
  uki.nwait = quietTicks;
  uki.Show();
  g.game.state.LineOut = kTrue;
  return uki;
}

TEST(FloatLoad, DrawsAQuietSpellOf15To99TicksWithOneDraw) {
  for (const auto& [draw, ticks] :
       std::vector<std::pair<float, int>>{{0.0f, 15}, {0.5f, 57}, {0.9999f, 99}}) {
    ModelGame g;
    ASSERT_TRUE(g.Start());
    g.model.QueueDraws({draw, 0.25f});
    g.game.frmUki.Load();
    EXPECT_EQ(g.game.frmUki.nwait, ticks) << draw;
    EXPECT_EQ(g.model.QueuedDraws(), 1u) << "only the spell is drawn";
  }
}

TEST(FloatTick, QuietTicksOnlyBobAndDriftThenTheChoiceIsDrawnFirst) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  UkiWindow& uki = PutFloatOnTheWater(g, 4000, 2);
  g.model.QueueDraws({
      0.95f, 0.0f,        // tick 1: depth 30 + 19, no drift
      0.0f, 0.4f, 0.75f,  // tick 2: depth 30, drift by Floor(0.75 * 40 - 20) = +10
      0.5f, 0.5f, 0.9f,   // tick 3: choice 15 (a bob), depth 40, no drift
  });
  const std::uint64_t t0 = g.model.Elapsed();
  uki.Timer1.SetEnabled(true);

  // Tick 1 at +200: 9 twips down in steps of 1, stopping within 8 of the
  // target after 3 passes (the first sets the top where it already is).
  ASSERT_TRUE(g.RunUntil(t0 + 300));
  EXPECT_EQ(g.model.QueuedDraws(), 6u);
  EXPECT_EQ(uki.nwait, 1);
  EXPECT_DOUBLE_EQ(uki.Top(), kFloating + 2);
  EXPECT_DOUBLE_EQ(uki.Left(), 4000);

  // Tick 2 at +430 (200 ms after the first dip switched the timer on).
  ASSERT_TRUE(g.RunUntil(t0 + 600));
  EXPECT_EQ(g.model.QueuedDraws(), 3u);
  EXPECT_EQ(uki.nwait, 0);
  EXPECT_DOUBLE_EQ(uki.Top(), kRestingTop + 37);
  EXPECT_DOUBLE_EQ(uki.Left(), 4010);

  // Tick 3: the quiet spell is over, so the behaviour is drawn first.
  ASSERT_TRUE(g.RunUntil(t0 + 700));
  EXPECT_EQ(g.model.QueuedDraws(), 0u);
  EXPECT_EQ(uki.nwait, 0);
  EXPECT_TRUE(uki.Timer1.Enabled());
  EXPECT_EQ(g.game.state.Biting, kFalse);
}

struct DriftCase {
  double manLeft;
  double left;
  float draw;  // gives v = Floor(draw * 40 - 20)
  double expected;
};

TEST(FloatTick, DriftIsMirroredAtTheBoundsOfItsBand) {
  // Lower bound: his left + 2 widths; upper: screen width (15360) - 2 widths.
  const std::vector<DriftCase> cases = {
      {490, 2000, 0.0f, 2020},      // v = -20 would cross 1990: taken as +20
      {490, 1990, 0.0f, 2010},      // 1970 < 1990
      {490, 2010, 0.0f, 1990},      // 1990 is inside the band
      {1250, 3000, 0.75f, 3010},    // v = +10, well inside
      {1250, 13850, 0.99f, 13831},  // v = +19 would pass 13860
      {1250, 13841, 0.99f, 13860},  // lands on the bound: allowed
  };
  for (const DriftCase& c : cases) {
    ModelGame g;
    ASSERT_TRUE(g.Start());
    g.game.frmMan.SetLeft(c.manLeft);
    UkiWindow& uki = PutFloatOnTheWater(g, c.left, 5);
    g.model.QueueDraws({0.5f, 0.5f, c.draw});  // depth 40 (no move), drift, v
    uki.Timer1.SetEnabled(true);
    ASSERT_TRUE(g.RunFor(201));
    EXPECT_DOUBLE_EQ(uki.Left(), c.expected) << c.left << " " << c.draw;
    EXPECT_EQ(g.model.QueuedDraws(), 0u);
  }
}

TEST(FloatTick, OnlyOneDriftDrawInThreeMovesTheFloat) {
  for (float choice : {0.0f, 0.66f, 0.67f, 0.99f}) {
    ModelGame g;
    ASSERT_TRUE(g.Start());
    UkiWindow& uki = PutFloatOnTheWater(g, 4000, 5);
    g.model.QueueDraws({0.5f, choice, 0.0f});
    uki.Timer1.SetEnabled(true);
    ASSERT_TRUE(g.RunFor(201));
    const bool drifts = choice >= 1.0f / 3 && choice < 2.0f / 3;
    EXPECT_DOUBLE_EQ(uki.Left(), drifts ? 3980 : 4000) << choice;
    // Without a drift the speed is not drawn.
    EXPECT_EQ(g.model.QueuedDraws(), drifts ? 0u : 1u) << choice;
  }
}

TEST(FloatTick, NibblesDipHalfAndAThirdOfTheFloatWithOnlyTheChoiceDrawn) {
  // (choice draw, top reached): 157 and 105 twips below the resting top,
  // each ending within 8 twips of it.
  for (const auto& [choice, top] : std::vector<std::pair<float, double>>{
           {2.5f / 30, kRestingTop + 152.0}, {3.5f / 30, kRestingTop + 104.0}}) {
    ModelGame g;
    ASSERT_TRUE(g.Start());
    UkiWindow& uki = PutFloatOnTheWater(g, 4000, 0);
    g.model.QueueDraws({choice, 0.5f});
    const std::uint64_t t0 = g.model.Elapsed();
    uki.Timer1.SetEnabled(true);
    ASSERT_TRUE(g.RunUntil(t0 + 290));
    EXPECT_DOUBLE_EQ(uki.Top(), top) << choice;
    EXPECT_DOUBLE_EQ(uki.Left(), 4000);
    EXPECT_EQ(g.model.QueuedDraws(), 1u);
    EXPECT_EQ(g.game.state.Biting, kFalse);
  }
}

// The bite of tick 1 sinks the float from 10745 to 11017 in 9 passes,
// ending 290 ms after the timer was switched on.
constexpr std::uint64_t kSunk = 290;
const std::vector<float> kBiteThenBob = {
    1.5f / 30,        // tick 1: the bite
    0.5f, 0.0f, 0.0f  // the nested tick: a bob up to 30 below the resting top
};

TEST(FloatBite, SinksOpensTheStrikeWindowAndTheNestedTickEndsIt) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  GameState& s = game.state;
  UkiWindow& uki = PutFloatOnTheWater(g, 4000, 0);
  g.model.QueueDraws(kBiteThenBob);
  Probes probes(g);
  const std::uint64_t t0 = g.model.Elapsed();
  uki.Timer1.SetEnabled(true);
  probes.At(t0 + 250, [&] {  // still sinking: no bite yet
    EXPECT_EQ(s.Biting, kFalse);
    EXPECT_GT(uki.Top(), kFloating);
    EXPECT_LT(uki.Top(), 11017);
  });
  probes.At(t0 + kSunk + 1, [&] {  // the window is open and measured from 0
    EXPECT_DOUBLE_EQ(uki.Top(), 11017);
    EXPECT_EQ(s.Biting, kTrue);
    EXPECT_EQ(s.BiteElapsed, Fixed4::FromDouble(0));
    EXPECT_TRUE(uki.Timer1.Enabled());  // the dip switched it back on
  });
  probes.At(t0 + kSunk + 150, [&] {
    EXPECT_EQ(s.Biting, kTrue);
    EXPECT_GE(s.BiteElapsed.Value(), 0.0);
  });
  probes.At(t0 + kSunk + 199, [&] {  // under for 200 ms
    EXPECT_EQ(s.Biting, kTrue);
    EXPECT_DOUBLE_EQ(uki.Top(), 11017);
  });
  probes.At(t0 + kSunk + 201, [&] {  // the next tick runs inside the window
    EXPECT_EQ(s.Biting, kFalse);
    EXPECT_EQ(s.BiteElapsed, Fixed4::FromDouble(-1));
    EXPECT_DOUBLE_EQ(uki.Top(), 11017);  // its first pass stays put
  });
  probes.At(t0 + kSunk + 211, [&] { EXPECT_LT(uki.Top(), 11017); });
  probes.At(t0 + kSunk + 295, [&] {
    // The nested bob is over; the outer window measured once more from its
    // own start and is still open, now with nothing biting.
    EXPECT_DOUBLE_EQ(uki.Top(), kRestingTop + 32);
    EXPECT_EQ(s.Biting, kFalse);
    EXPECT_EQ(s.BiteElapsed, Fixed4::FromDouble(290));
  });
  probes.At(t0 + kSunk + 301, [&] {  // closed at 300, unanswered
    EXPECT_EQ(s.BiteElapsed, Fixed4::FromDouble(-1));
    EXPECT_EQ(s.Biting, kFalse);
    EXPECT_EQ(s.StrikePressed, kFalse);
  });
  ASSERT_TRUE(g.RunUntil(t0 + kSunk + 310));
  EXPECT_EQ(g.model.QueuedDraws(), 0u);
  EXPECT_TRUE(uki.Timer1.Enabled());
  EXPECT_FALSE(game.frmCon.Timer3.Enabled());
}

TEST(FloatBite, APressInsideTheWindowHooksTheFishAndArmsTheFight) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  GameState& s = game.state;
  UkiWindow& uki = PutFloatOnTheWater(g, 4000, 0);
  g.model.QueueDraws(kBiteThenBob);
  Probes probes(g);
  const std::uint64_t t0 = g.model.Elapsed();
  uki.Timer1.SetEnabled(true);
  g.model.PressAt(t0 + kSunk + 50);
  probes.At(t0 + kSunk + 60, [&] {  // in the strike pose, judging
    EXPECT_EQ(s.Busy, kTrue);
    EXPECT_EQ(s.StrikePressed, kTrue);
    EXPECT_FALSE(uki.Timer1.Enabled());
    EXPECT_EQ(game.frmMan.Picture(), &assets::ManFrame(6));
    EXPECT_FALSE(game.frmCon.Timer3.Enabled());
  });
  // The press returns 50 ms later; Timer3 falls due 1 ms after that.
  probes.At(t0 + kSunk + 101, [&] {
    EXPECT_TRUE(game.frmCon.Timer3.Enabled());
    EXPECT_EQ(s.FightTicks, 0);
    EXPECT_EQ(s.Busy, kTrue);
    EXPECT_EQ(s.Reeling, kTrue);
    EXPECT_EQ(s.Biting, kTrue);
    EXPECT_FALSE(game.frmMan.Timer1.Enabled());  // no reel
    // The strike ended the bite wait at once; its tick switched the
    // float's timer back on on the way out.
    EXPECT_TRUE(uki.Timer1.Enabled());
    // Only the bite was drawn: no tick ran after it.
    EXPECT_EQ(g.model.QueuedDraws(), 3u);
  });
  g.model.ReleaseAt(t0 + kSunk + 200);
  ASSERT_TRUE(g.RunUntil(t0 + kSunk + 102));
  EXPECT_FALSE(game.frmCon.Timer3.Enabled());  // one shot
}

TEST(FloatBite, APressAfterTheNestedTickReelsAnEmptyLine) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  GameState& s = game.state;
  UkiWindow& uki = PutFloatOnTheWater(g, 4000, 0);
  g.model.QueueDraws(kBiteThenBob);
  Probes probes(g);
  const std::uint64_t t0 = g.model.Elapsed();
  uki.Timer1.SetEnabled(true);
  g.model.PressAt(t0 + kSunk + 250);  // inside the 300 ms, after the nested tick
  probes.At(t0 + kSunk + 320, [&] {   // reeling
    EXPECT_EQ(s.Busy, kTrue);
    EXPECT_EQ(s.Biting, kFalse);
    EXPECT_TRUE(game.frmMan.Timer1.Enabled());
    EXPECT_FALSE(game.frmCon.Timer3.Enabled());
  });
  g.model.ReleaseAt(t0 + kSunk + 400);
  ASSERT_TRUE(g.RunUntil(t0 + kSunk + 251));
  EXPECT_FALSE(game.frmCon.Timer3.Enabled());
  EXPECT_EQ(s.Busy, kFalse);
  EXPECT_EQ(s.Reeling, kFalse);
  EXPECT_LT(uki.Left(), 4000);  // pulled towards him
  EXPECT_EQ(game.frmMan.Picture(), &assets::ManFrame(5));
  EXPECT_TRUE(uki.Timer1.Enabled());
}

TEST(FloatBite, APressWhileTheFloatSinksFindsNoBite) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  GameState& s = game.state;
  UkiWindow& uki = PutFloatOnTheWater(g, 4000, 0);
  g.model.QueueDraws(kBiteThenBob);
  Probes probes(g);
  const std::uint64_t t0 = g.model.Elapsed();
  uki.Timer1.SetEnabled(true);
  g.model.PressAt(t0 + 250);
  probes.At(t0 + 320, [&] {  // reeling inside the sinking's wait
    EXPECT_EQ(s.Biting, kFalse);
    EXPECT_TRUE(game.frmMan.Timer1.Enabled());
  });
  g.model.ReleaseAt(t0 + 400);
  ASSERT_TRUE(g.RunUntil(t0 + 251));
  EXPECT_FALSE(game.frmCon.Timer3.Enabled());
  EXPECT_EQ(s.Busy, kFalse);
  // The interrupted tick went on: the strike flag it finds ends its bite
  // wait at once, so no window is measured.
  EXPECT_EQ(s.BiteElapsed, Fixed4::FromDouble(-1));
  EXPECT_TRUE(uki.Timer1.Enabled());
}

TEST(FloatMoves, ukihikuhikuStepsAnEighthOfTheWayAndStopsWithin8Twips) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  UkiWindow& uki = PutFloatOnTheWater(g, 4000, 50);
  g.model.ClearJournal();
  std::uint64_t before = g.model.Elapsed();

  uki.ukihikuhiku(kFloating + 7, false);  // too close: nothing at all
  EXPECT_DOUBLE_EQ(uki.Top(), kFloating);
  EXPECT_EQ(g.model.Elapsed(), before);
  EXPECT_TRUE(g.model.JournalWith("move frmUki").empty());
  EXPECT_TRUE(uki.Timer1.Enabled());

  uki.Timer1.SetEnabled(false);
  uki.ukihikuhiku(kFloating + 30, true);  // steps of 3, 9 passes
  EXPECT_DOUBLE_EQ(uki.Top(), kFloating + 24);
  EXPECT_EQ(g.model.Elapsed() - before, 90u);
  EXPECT_TRUE(uki.Timer1.Enabled());

  before = g.model.Elapsed();
  uki.ukihikuhiku(kFloating + 24 - 105, false);  // up by 105 in steps of 13: 1 short
  EXPECT_DOUBLE_EQ(uki.Top(), kFloating + 24 - 104);
  EXPECT_EQ(g.model.Elapsed() - before, 90u);
}

TEST(FloatMoves, ukihikuhikuReadsTheTopAfreshWhenSomethingMovedIt) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  UkiWindow& uki = PutFloatOnTheWater(g, 4000, 50);
  Probes probes(g);
  const std::uint64_t t0 = g.model.Elapsed();
  // Moved to the target by someone else in the middle: the next pass stops.
  probes.At(t0 + 25, [&] { uki.SetTop(kFloating + 100); });
  uki.ukihikuhiku(kFloating + 100, false);
  EXPECT_DOUBLE_EQ(uki.Top(), kFloating + 100);
  EXPECT_EQ(g.model.Elapsed() - t0, 30u);
}

TEST(FloatMoves, PlayerHikuPullsTowardsTheAnglerThenLiftsBy30) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  UkiWindow& uki = PutFloatOnTheWater(g, 4000, 50);
  const std::uint64_t t0 = g.model.Elapsed();
  // From 10745 to 10990: steps of 30 (245 / 8), passes at 10745 ... 10985.
  uki.PlayerHiku(10990, 2);
  EXPECT_EQ(g.model.Elapsed() - t0, 9u * 15);
  EXPECT_DOUBLE_EQ(uki.Left(), 4000 - 9 * 20);
  EXPECT_DOUBLE_EQ(uki.Top(), 10985 - 30);
  EXPECT_TRUE(uki.Timer1.Enabled());
}

TEST(FloatMoves, PlayerHikuDragsOnlyWhileTheFloatIsClearOfHim) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  // His right edge is at 2000: a step is taken while 2000 <= Left - 20.
  UkiWindow& uki = PutFloatOnTheWater(g, 2050, 50);
  uki.PlayerHiku(10990, 2);
  EXPECT_DOUBLE_EQ(uki.Left(), 2010);
  uki.Move(2030, kFloating);
  uki.PlayerHiku(11020, 1);  // the return pass drags by 8, under the same rule
  EXPECT_DOUBLE_EQ(uki.Left(), 2014);
}

TEST(FloatMoves, PlayerHikuLettingGoDropsTheFloatBackToFloatingDepth) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  UkiWindow& uki = PutFloatOnTheWater(g, 4000, 50);
  uki.SetTop(10960);
  g.model.ClearJournal();
  std::uint64_t t0 = g.model.Elapsed();
  // From the sea's top edge (11020) to 10725 in steps of -36, after 80 ms.
  uki.PlayerHiku(11020, 1);
  EXPECT_EQ(g.model.Elapsed() - t0, 80u + 9 * 50);
  EXPECT_DOUBLE_EQ(uki.Top(), 11020 - 8 * 36);
  EXPECT_DOUBLE_EQ(uki.Left(), 4000 - 9 * 8);
  // Its first pass dragged it (left 3992) and put it right under, its top
  // on the sea's top edge.
  const auto moves = g.model.JournalWith("move frmUki");
  ASSERT_GE(moves.size(), 2u);
  EXPECT_EQ(moves[0], "move frmUki 266,731");
  EXPECT_EQ(moves[1], "move frmUki 266,735");

  // Already at floating depth: nothing moves after the 80 ms wait.
  uki.SetTop(10725);
  t0 = g.model.Elapsed();
  uki.PlayerHiku(10725, 1);
  EXPECT_EQ(g.model.Elapsed() - t0, 80u);
  EXPECT_DOUBLE_EQ(uki.Top(), 10725);
  EXPECT_TRUE(uki.Timer1.Enabled());
}

TEST(FloatMoves, PlayerHikuBothWaysComesBackToWhereItStarted) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  UkiWindow& uki = PutFloatOnTheWater(g, 4000, 50);
  uki.PlayerHiku(kFloating + 80, 0);  // down by 10s, then back up from the target
  EXPECT_DOUBLE_EQ(uki.Top(), kFloating);
  EXPECT_DOUBLE_EQ(uki.Left(), 4000 - 9 * 20 - 9 * 8);
}

TEST(FloatMoves, ARoutineWhoseFloatWasTakenAwayStopsWithoutBringingItBack) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  UkiWindow& uki = PutFloatOnTheWater(g, 4000, 50);
  Probes probes(g);
  const std::uint64_t t0 = g.model.Elapsed();
  probes.At(t0 + 25, [&] { uki.Unload(); });  // a landing inside the dip
  uki.ukihikuhiku(kFloating + 100, false);
  EXPECT_FALSE(uki.IsLoaded());
  EXPECT_EQ(g.model.Find(WindowId::frmUki), nullptr);
}

// The default screen with a task bar `rows` pixels taller, `widthPx` wide:
// the usable bottom moves up by 15 twips a row.
ScreenInfo TallerTaskBar(int rows, int widthPx = 1024) {
  ScreenInfo screen;
  screen.widthPx = widthPx;
  screen.fullScreenClientHeight -= rows;
  return screen;
}

TEST(FloatAfterAScreenChange, ADipUnderWayFinishesAtTheNewHeight) {
  for (const bool bite : {false, true}) {
    SCOPED_TRACE(bite ? "the bite's sinking" : "a bob");
    ModelGame g;
    ASSERT_TRUE(g.Start());
    UkiWindow& uki = PutFloatOnTheWater(g, 5000, bite ? 0 : 50);
    // Half under water, so the next tick's move takes some 80 ms.
    uki.SetTop(kRestingTop + 157);
    const std::uint64_t tick = g.model.Elapsed() + 200;
    // A bob to 40 below the resting top and no drift; or a bite.
    g.model.QueueDraws(bite ? std::vector<float>{1.5f / 30} : std::vector<float>{0.5f, 0.0f});
    uki.Timer1.SetEnabled(true);
    // Mid-move the task bar grows by 30 rows: the scene is idle (a bite is
    // counted only once the float is under), so it moves at once.
    g.model.ScreenChangeAt(tick + 35, TallerTaskBar(30));
    const std::int32_t rest = kRestingTop - 450;
    Probes probes(g);
    probes.At(tick + 150, [&] {
      EXPECT_EQ(g.game.state.ScreenBottom, 15.0 * (738 - 30));
      EXPECT_EQ(uki.ntop, rest);
      const double target = bite ? rest + 315 : rest + 40;
      EXPECT_NEAR(uki.Top(), target, 8) << "the move ended on the old sea";
    });
    ASSERT_TRUE(g.RunUntil(tick + 160));
  }
}

TEST(FloatAfterAScreenChange, ANarrowerScreenBringsAFloatPastItsEdgeBack) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  UkiWindow& far = PutFloatOnTheWater(g, 14000, 50);
  // 700 pixels (10500 twips) wide: the float's left edge was past it.
  g.model.ScreenChangeAt(g.model.Elapsed() + 50, TallerTaskBar(0, 700));
  ASSERT_TRUE(g.RunFor(100));
  // Back at the right end of its drift band: two anglers' widths from the edge.
  EXPECT_DOUBLE_EQ(far.Left(), 10500 - 2 * 750);
  EXPECT_DOUBLE_EQ(far.Top(), kFloating);
  EXPECT_EQ(far.ntop, kRestingTop);

  // One that is still on the narrower screen stays where it is.
  far.SetLeft(8000);
  g.model.ScreenChangeAt(g.model.Elapsed() + 50, TallerTaskBar(0, 600));
  ASSERT_TRUE(g.RunFor(100));
  EXPECT_DOUBLE_EQ(far.Left(), 8000);
}

}  // namespace
}  // namespace marivo
