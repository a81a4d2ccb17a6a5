// The cast: the power gauge, the swing, the float's flight and its landing
// upright on the sea, driven by scripted presses on the model.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "scene/mod_Subroutine.h"
#include "tests/model_fixture.h"

namespace marivo {
namespace {

using testing::ModelGame;
using testing::Probes;

constexpr std::uint64_t kFirstPress = 100;

// When the gauge shows `level` on its first way up (2..50), or 1 at the
// bottom of its first way down: one step every 10 ms from the first press,
// which already moves it from 1 to 2.
std::uint64_t LevelShownAt(int level) {
  return level == 1 ? kFirstPress + 970 : kFirstPress + 10 * std::uint64_t(level - 2);
}

// Press, release, press: the second press lands 5 ms into the step that
// shows `secondPressAfter - kFirstPress`. Returns the time of the step that
// takes the stop.
std::uint64_t ScriptCast(ModelGame& g, std::uint64_t secondPress) {
  g.model.PressAt(kFirstPress);
  g.model.ReleaseAt(kFirstPress + 2);
  g.model.PressAt(secondPress);
  g.model.ReleaseAt(secondPress + 1);
  return kFirstPress + ((secondPress - kFirstPress) / 10 + 1) * 10;
}

std::string Pic(const char* window, const assets::Image& image) {
  return std::string("picture ") + window + " " + image.name;
}

TEST(Gauge, RunsUpAndDownOneStepEvery10MsAndFixesTwiceTheLevelShown) {
  // (offset of the second press from the first, level shown then)
  const std::vector<std::pair<std::uint64_t, int>> samples = {
      {5, 2},   {55, 7},  {235, 25}, {475, 49},  {485, 50},  {495, 49},
      {965, 2}, {975, 1}, {985, 2},  {1455, 49}, {1465, 50}, {1475, 49}};
  for (const auto& [offset, level] : samples) {
    ModelGame g;
    ASSERT_TRUE(g.Start());
    ScriptCast(g, kFirstPress + offset);
    ASSERT_TRUE(g.RunUntil(kFirstPress + 1));
    EXPECT_EQ(g.game.state.CastPower, 2 * level) << "second press at +" << offset;
    // The stop step does not move the gauge: it still shows that level.
    EXPECT_DOUBLE_EQ(g.game.frmCon.Picture2.Width(), 18.0 * level) << offset;
  }
}

TEST(Gauge, TakesTheClocksPlaceWhileItRunsAndGivesItBackAfterTheCast) {
  ModelBackend::Options o;
  o.startTime = {2026, 12, 7, 13, 5, 59};  // the minute turns 1 s in
  ModelGame g(o);
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  ConWindow& bar = game.frmCon;
  Probes probes(g);
  ScriptCast(g, LevelShownAt(30) + 5);
  probes.At(kFirstPress + 1, [&] {
    EXPECT_TRUE(bar.Picture2.Visible());
    EXPECT_FALSE(bar.Label1.Visible());
    EXPECT_FALSE(bar.Timer2.Enabled());
    EXPECT_EQ(game.state.GaugeRunning, kTrue);
    EXPECT_EQ(game.state.Reeling, kTrue);  // the first press is still held
    EXPECT_DOUBLE_EQ(bar.Picture2.Width(), 36);
  });
  probes.At(kFirstPress + 3, [&] { EXPECT_EQ(game.state.Reeling, kFalse); });
  probes.At(LevelShownAt(20) + 1, [&] {
    EXPECT_DOUBLE_EQ(bar.Picture2.Width(), 360);
    EXPECT_EQ(game.state.GaugeLevel, 20.0f);
    EXPECT_EQ(game.state.Busy, kFalse);  // the gauge itself is not a busy sequence
  });
  // The clock is off while the gauge and the cast run: its caption stays
  // the one of start-up although the minute has turned.
  probes.At(1500, [&] { EXPECT_EQ(bar.Label1.Caption(), "12/07 13:05"); });
  ASSERT_TRUE(g.RunUntil(kFirstPress + 1));
  const std::uint64_t castEnd = g.model.Elapsed();
  ASSERT_GT(castEnd, 1500u);
  EXPECT_EQ(game.state.CastPower, 60);
  EXPECT_TRUE(bar.Label1.Visible());
  EXPECT_FALSE(bar.Picture2.Visible());
  EXPECT_TRUE(bar.Timer2.Enabled());
  EXPECT_FALSE(bar.Timer1.Enabled());
  EXPECT_EQ(game.state.GaugeRunning, kFalse);
  EXPECT_EQ(game.state.GaugeStopRequested, kFalse);
  EXPECT_EQ(game.state.GaugeLevel, 1.0f);
  EXPECT_EQ(game.state.GaugeDirection, 1.0f);
  EXPECT_EQ(game.state.GaugeStep, 1.0f);
  EXPECT_EQ(game.state.Busy, kFalse);
  EXPECT_EQ(game.state.LineOut, kTrue);
  // Back in clock mode the old text stays until the clock's next tick.
  EXPECT_EQ(bar.Label1.Caption(), "12/07 13:05");
  ASSERT_TRUE(g.RunUntil(castEnd + 999));
  EXPECT_EQ(bar.Label1.Caption(), "12/07 13:05");
  ASSERT_TRUE(g.RunUntil(castEnd + 1000));
  EXPECT_EQ(bar.Label1.Caption(), "12/07 13:06");
}

TEST(Cast, SwingsThroughFramesZeroToFourAHundredMillisecondsApart) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  Probes probes(g);
  const std::uint64_t stop = ScriptCast(g, LevelShownAt(7) + 5);
  g.model.ClearJournal();
  // The swing begins 10 ms after the stop (the gauge's last wait) plus the
  // first frame's 100 ms.
  const std::uint64_t swing = stop + 10;
  for (int i = 0; i <= 4; ++i) {
    const std::uint64_t at = swing + 100 * std::uint64_t(i + 1);
    probes.At(at - 1, [&, i] {
      EXPECT_EQ(g.model.JournalWith("shape frmMan").size(), std::size_t(i)) << i;
      EXPECT_FALSE(game.frmUki.IsLoaded()) << "the old float is gone during the swing";
    });
    probes.At(at + 1, [&, i] {
      const auto shapes = g.model.JournalWith("shape frmMan");
      ASSERT_EQ(shapes.size(), std::size_t(i + 1));
      EXPECT_EQ(shapes.back(), "shape frmMan " + std::to_string(i));
      EXPECT_EQ(game.frmMan.Picture(), &assets::ManFrame(i));
      EXPECT_EQ(game.state.Busy, kTrue);
    });
  }
  ASSERT_TRUE(g.RunUntil(kFirstPress + 1));
  // Each frame: the picture first, then its shape; frame 5 once landed.
  std::vector<std::string> man;
  for (const std::string& line : g.model.Journal()) {
    if (line.find(" frmMan") != std::string::npos) man.push_back(line);
  }
  std::vector<std::string> expected;
  for (int i = 0; i <= 5; ++i) {
    expected.push_back(Pic("frmMan", assets::ManFrame(i)));
    expected.push_back("shape frmMan " + std::to_string(i));
  }
  EXPECT_EQ(man, expected);
  EXPECT_EQ(game.frmMan.Picture(), &assets::ManFrame(5));
}

struct FlightCase {
  int level;                        // CastPower is twice this
  std::vector<std::string> shapes;  // the float's outlines in order
  int steps;                        // flight steps, the landing one included
  double uprightLeft;               // where the upright float stands
};

class Flight : public ::testing::TestWithParam<FlightCase> {};

TEST_P(Flight, FliesItsArcAndLandsUprightOnTheSea) {
  const FlightCase& c = GetParam();
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  const std::uint64_t stop = ScriptCast(g, LevelShownAt(c.level) + 5);
  g.model.ClearJournal();
  ASSERT_TRUE(g.RunUntil(kFirstPress + 1));
  const std::uint64_t flightStart = stop + 10 + 500;
  EXPECT_EQ(g.model.Elapsed(), flightStart + 10 * std::uint64_t(c.steps - 1));
  EXPECT_EQ(game.state.CastPower, 2 * c.level);
  EXPECT_EQ(g.model.JournalWith("shape frmUki"), c.shapes);

  // The bottom snapped onto the sea strip's top edge (11020) in the
  // 180-twip slanted frame, then the upright frame kept that top.
  const double seaTop = game.state.ScreenBottom - 50;
  EXPECT_EQ(game.state.FlightY, Nearest(seaTop - 180));
  EXPECT_DOUBLE_EQ(game.frmUki.Top(), seaTop - 180);
  EXPECT_DOUBLE_EQ(game.frmUki.Width(), 75);
  EXPECT_DOUBLE_EQ(game.frmUki.Height(), 315);
  EXPECT_EQ(game.frmUki.Picture(), &assets::UkiFrame(0));
  // The landing step does not move the float sideways; upright, it stands
  // its own width further right.
  EXPECT_DOUBLE_EQ(game.frmUki.Left(), c.uprightLeft);
  EXPECT_EQ(game.state.FlightX, Nearest(c.uprightLeft - 75 + 2 * c.level));
  EXPECT_EQ(game.frmUki.ntop, Nearest(seaTop - 315));
  EXPECT_EQ(game.frmUki.ntop, 10705);

  // On the water: behind every other window, its own cycle running.
  const auto* uki = g.model.Find(WindowId::frmUki);
  ASSERT_NE(uki, nullptr);
  EXPECT_TRUE(uki->visible);
  EXPECT_EQ(g.model.Stacking().back(), WindowId::frmUki);
  EXPECT_TRUE(game.frmUki.Timer1.Enabled());
  EXPECT_EQ(game.state.Biting, kFalse);
  EXPECT_EQ(game.state.Busy, kFalse);
  EXPECT_EQ(game.state.LineOut, kTrue);
}

INSTANTIATE_TEST_SUITE_P(
    Powers, Flight,
    ::testing::Values(
        // CastPower 2: rises by 0 on the first step, then falls; frame 1 throughout.
        FlightCase{1, {"shape frmUki 8", "shape frmUki 7"}, 38, 2074 + 75},
        // CastPower 12: the speed never drops below -5, so still frame 1.
        FlightCase{6, {"shape frmUki 8", "shape frmUki 7"}, 43, 2504 + 75},
        // CastPower 14: climbing, level at -5, tilting down past 5.
        FlightCase{7,
                   {"shape frmUki 8", "shape frmUki 8", "shape frmUki 9", "shape frmUki 10",
                    "shape frmUki 7"},
                   44,
                   2602 + 75}));

TEST(Flight, FramesChangeAtTheStatedSpeedsWithTheirSizes) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  Probes probes(g);
  const std::uint64_t stop = ScriptCast(g, LevelShownAt(7) + 5);
  const std::uint64_t flightStart = stop + 10 + 500;
  // Step k runs at flightStart + 10 (k - 1); the vertical speed is then k - 7.
  probes.At(flightStart + 5, [&] {  // after step 1
    EXPECT_EQ(game.state.FlightPhase, 1);
    EXPECT_EQ(game.state.FlightVY, -6.0f);
    EXPECT_DOUBLE_EQ(game.frmUki.Width(), 255);
    EXPECT_DOUBLE_EQ(game.frmUki.Height(), 180);
    EXPECT_EQ(game.state.FlightX, 2014);
    EXPECT_EQ(game.state.FlightY, 10170 - 6);
    EXPECT_DOUBLE_EQ(game.frmUki.Left(), 2014);
  });
  probes.At(flightStart + 15, [&] {  // after step 2: level
    EXPECT_EQ(game.state.FlightPhase, 2);
    EXPECT_DOUBLE_EQ(game.frmUki.Width(), 315);
    EXPECT_DOUBLE_EQ(game.frmUki.Height(), 75);
    EXPECT_EQ(game.frmUki.Picture(), &assets::UkiFrame(2));
  });
  probes.At(flightStart + 115, [&] {  // after step 12: speed 5, still level
    EXPECT_EQ(game.state.FlightVY, 5.0f);
    EXPECT_EQ(game.state.FlightPhase, 2);
  });
  probes.At(flightStart + 125, [&] {  // after step 13: tilting down
    EXPECT_EQ(game.state.FlightPhase, 3);
    EXPECT_EQ(game.frmUki.Picture(), &assets::UkiFrame(3));
    EXPECT_DOUBLE_EQ(game.frmUki.Height(), 180);
    // The top of the arc was reached at speed 0, 7 steps in.
    EXPECT_EQ(game.state.FlightY, 10170 - 7 * 13 + 13 * 14 / 2);
  });
  ASSERT_TRUE(g.RunUntil(kFirstPress + 1));
  EXPECT_EQ(game.state.FlightPhase, 3);
}

TEST(Flight, HasNoHorizontalLimit) {
  ModelBackend::Options o;
  o.screen.widthPx = 200;  // 3000 twips: the strongest cast lands off screen
  ModelGame g(o);
  ASSERT_TRUE(g.Start());
  ScriptCast(g, LevelShownAt(50) + 5);
  ASSERT_TRUE(g.RunUntil(kFirstPress + 1));
  EXPECT_EQ(g.game.state.CastPower, 100);
  EXPECT_GT(g.game.frmUki.Left(), g.platform.ScreenWidth());
  EXPECT_DOUBLE_EQ(g.game.frmUki.Top(), g.game.state.ScreenBottom - 50 - 180);
}

TEST(Flight, TheFloatWaitsOnTheWaterForItsFirstTick) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  ScriptCast(g, LevelShownAt(7) + 5);
  ASSERT_TRUE(g.RunUntil(kFirstPress + 1));
  const double top = game.frmUki.Top();
  const std::uint64_t landed = g.model.Elapsed();
  ASSERT_TRUE(g.RunUntil(landed + 199));
  EXPECT_DOUBLE_EQ(game.frmUki.Top(), top);
  // The first bob lifts it towards 30 to 49 twips below the resting top.
  ASSERT_TRUE(g.RunUntil(landed + 400));
  EXPECT_GE(game.frmUki.Top(), game.frmUki.ntop + 30 - 8);
  EXPECT_LE(game.frmUki.Top(), game.frmUki.ntop + 49 + 8);
}

TEST(Flight, AScreenChangeDuringTheCastLeavesTheFloatRestingOnTheNewSea) {
  const std::uint64_t stop = kFirstPress + 60;  // the gauge stops at level 7
  const std::uint64_t flightStart = stop + 10 + 500;
  const std::map<std::string, std::uint64_t> when = {
      {"the gauge", kFirstPress + 30}, {"the swing", stop + 250}, {"the flight", flightStart + 50}};
  for (const auto& [phase, at] : when) {
    SCOPED_TRACE(phase);
    ModelGame g;
    ASSERT_TRUE(g.Start());
    Game& game = g.game;
    ScriptCast(g, LevelShownAt(7) + 5);
    // The task bar grows by 30 rows: the usable bottom moves up 450 twips.
    ScreenInfo taller;
    taller.fullScreenClientHeight -= 30;
    g.model.ScreenChangeAt(at, taller);
    ASSERT_TRUE(g.RunUntil(kFirstPress + 1));
    // From its landing on, through the scene's move onto the new bottom
    // (at the clock's next tick once the cast is over), the float bobs on
    // the sea where the sea stands: its resting height is measured there.
    const std::uint64_t landed = g.model.Elapsed();
    for (std::uint64_t t = landed + 400; t <= landed + 3000; t += 100) {
      ASSERT_TRUE(g.RunUntil(t));
      const double rest = game.frmSea.Top() - 315;
      EXPECT_EQ(game.frmUki.ntop, Nearest(rest)) << t - landed << " ms after landing";
      EXPECT_GE(game.frmUki.Top(), rest + 30 - 8) << t - landed << " ms after landing";
      EXPECT_LE(game.frmUki.Top(), rest + 49 + 8) << t - landed << " ms after landing";
    }
    EXPECT_DOUBLE_EQ(game.frmSea.Top(), 15.0 * (738 - 30) - 50);
  }
}

}  // namespace
}  // namespace marivo
