// The landing and the catch window: the catch is chosen once, at frame 3;
// it is counted, named and the collection's completion recorded at the
// moment the last creature comes in; the empty hook changes nothing; an
// index without a picture and a full count are survived.
#include <gtest/gtest.h>

#include "catch/mod_fish.h"
#include "catch/record.h"
#include "scene/mod_Subroutine.h"
#include "tests/cycle_support.h"

namespace marivo {
namespace {

using namespace testing;

// The draw that makes ChooseFish pick `kind` with the hook at x = 0.
float NearDrawFor(int kind) {
  int before = 0;
  for (int i = 0; i < kind; ++i) before += FishData(i).NearWeight;
  return static_cast<float>((before + 1) / 2844.0);
}

// Lands from a fight that hooked at x = 0 on the default sea.
void LandNow(ModelGame& g, bool withFish) {
  GameState& s = g.game.state;
  s.Busy = kTrue;
  s.Reeling = kTrue;
  s.FishRange = 13824;
  s.HookX = 0;
  Flag withCatch = withFish ? kTrue : kFalse;
  ASSERT_TRUE(Survives([&] { LandCatch(g.game, withCatch); }));
}

TEST(Landing, ShowsCountsAndNamesTheCatchAtFrameThreeThenLeavesTheGameIdle) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  GameState& s = game.state;
  PutFloatOnTheWater(g, 2000);
  g.model.QueueDraws({NearDrawFor(24)});  // the first draw of the landing: きす
  const std::uint64_t t0 = g.model.Elapsed();
  LandNow(g, true);
  EXPECT_EQ(s.CatchCount[24], 1);
  EXPECT_EQ(TotalCount(s), 1);
  // The catch came up while the angler showed frame 3.
  const long shown = JournalIndex(g, "show frmFish");
  ASSERT_GE(shown, 0);
  std::string lastFrame;
  for (long i = 0; i < shown; ++i) {
    const std::string& line = g.model.Journal()[std::size_t(i)];
    if (line.rfind("picture frmMan ", 0) == 0) lastFrame = line;
  }
  EXPECT_EQ(lastFrame, std::string("picture frmMan ") + assets::ManFrame(3).name);
  EXPECT_TRUE(Journaled(g, std::string("picture frmFish ") + assets::FishPicture(24).name));
  EXPECT_TRUE(Journaled(g, "text frmC きす"));
  // The counts reach the record as soon as the catch is counted, before it
  // is shown; an incomplete collection writes no completion flag.
  const std::string tyouka = std::string(72, '0') + "001" + std::string(45, '0');
  EXPECT_EQ(g.model.JournalWith("write "), std::vector<std::string>{"write Data Tyouka=" + tyouka});
  const long written = JournalIndex(g, "write Data Tyouka=" + tyouka);
  EXPECT_GT(written,
            JournalIndex(g, std::string("picture frmFish ") + assets::FishPicture(24).name));
  EXPECT_LT(written, shown);
  // The struggle (14 x 20 ms), the rise (64 x 10 ms), the balloon (3 s)
  // and six 150 ms frames of the swing.
  EXPECT_GE(g.model.Elapsed() - t0, 4820u);
  EXPECT_LE(g.model.Elapsed() - t0, 5300u);
  // Idle again.
  EXPECT_EQ(s.Busy, kFalse);
  EXPECT_EQ(s.LineOut, kFalse);
  EXPECT_EQ(s.Reeling, kFalse);
  EXPECT_EQ(s.GaugeLevel, 1.0f);
  EXPECT_EQ(s.GaugeStep, 1.0f);
  EXPECT_EQ(s.GaugeDirection, 1.0f);
  EXPECT_FALSE(game.frmUki.IsLoaded());
  EXPECT_FALSE(game.frmFish.IsLoaded());
  EXPECT_FALSE(game.frmL.IsLoaded());
  EXPECT_FALSE(game.frmV.Visible());
  EXPECT_EQ(game.frmMan.Picture(), &assets::ManFrame(0));
  EXPECT_EQ(game.frmCon.Picture1.BackColor(), kBlue);
}

TEST(Landing, TheCatchRisesOutOfTheSeaBesideTheAnglerAndShivers) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  PutFloatOnTheWater(g, 2000);
  g.model.QueueDraws({NearDrawFor(0)});
  double lowest = 1e9, highest = -1e9, top = 0;
  bool behindTheSea = false;
  Referee watch(g, 7, [&] {
    if (game.frmFish.IsLoaded() && game.frmFish.Visible()) {
      lowest = std::min(lowest, game.frmFish.Left());
      highest = std::max(highest, game.frmFish.Left());
      top = game.frmFish.Top();
      const auto stack = g.model.Stacking();
      behindTheSea = !stack.empty() && stack.back() == WindowId::frmFish;
    }
    return true;
  });
  LandNow(g, true);
  // The angler stands at 1250, 750 wide: the catch comes up at 1725 and
  // shivers between 1675 and 1724.
  EXPECT_GE(lowest, 1675);
  EXPECT_LE(highest, 1724);
  EXPECT_LT(lowest, highest);
  EXPECT_DOUBLE_EQ(top, game.frmSea.Top() - 504);  // 64 steps of 8 twips
  EXPECT_TRUE(behindTheSea);
}

TEST(Landing, AnEmptyHookStillAsksForACatchButCountsAndWritesNothing) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  PutFloatOnTheWater(g, 2000);
  g.model.QueueDraws({NearDrawFor(7)});
  const std::uint64_t t0 = g.model.Elapsed();
  LandNow(g, false);
  EXPECT_EQ(g.model.QueuedDraws(), 0u) << "the choice took its draw";
  EXPECT_EQ(TotalCount(game.state), 0);
  EXPECT_TRUE(Journaled(g, std::string("picture frmFish ") + assets::HookPicture().name));
  EXPECT_TRUE(g.model.JournalWith("text frmC").empty());
  EXPECT_TRUE(g.model.JournalWith("write ").empty());
  EXPECT_GE(g.model.Elapsed() - t0, 3500u);  // 2.7 s of hook and the swing
  EXPECT_LE(g.model.Elapsed() - t0, 4000u);
  EXPECT_FALSE(game.frmUki.IsLoaded());
  EXPECT_EQ(game.state.LineOut, kFalse);
}

TEST(Landing, TheLastMissingCreatureCompletesTheCollectionAsItIsCounted) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  auto& counts = game.state.CatchCount;
  for (int i = 0; i < kCreatureKinds; ++i) counts[std::size_t(i)] = 1;
  counts[5] = 0;
  EXPECT_FALSE(game.frmMenu.mComplete.Visible());
  PutFloatOnTheWater(g, 2000);
  g.model.QueueDraws({NearDrawFor(5)});
  LandNow(g, true);
  const long written = JournalIndex(g, "write Data Complete=1");
  ASSERT_GE(written, 0);
  EXPECT_LT(written, JournalIndex(g, "show frmFish")) << "recorded before the catch shows";
  EXPECT_TRUE(game.frmMenu.mComplete.Visible());
  EXPECT_TRUE(game.frmMenu.sepx.Visible());
  EXPECT_EQ(ReadSetting(game, "Data", "Complete"), "1");
}

TEST(Landing, AJokeCatchCountsInMemoryButNotTowardsTheCollection) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  auto& counts = game.state.CatchCount;
  for (int i = 0; i < kCreatureKinds; ++i) counts[std::size_t(i)] = 1;
  counts[12] = 0;
  PutFloatOnTheWater(g, 2000);
  g.model.QueueDraws({NearDrawFor(40)});  // ながぐつ
  LandNow(g, true);
  EXPECT_EQ(counts[40], 1);
  EXPECT_TRUE(g.model.JournalWith("write ").empty());
  EXPECT_FALSE(game.frmMenu.mComplete.Visible());
  // With the collection complete, a joke catch writes the flag again.
  counts[12] = 1;
  PutFloatOnTheWater(g, 2000);
  g.model.QueueDraws({NearDrawFor(41)});
  LandNow(g, true);
  EXPECT_EQ(g.model.JournalWith("write Data Complete=1").size(), 1u);
}

TEST(CatchWindow, AnIndexWithoutAPictureEndsTheDisplayUncounted) {
  for (const std::int32_t index : {45, -1, 99}) {
    ModelGame g;
    ASSERT_TRUE(g.Start());
    Game& game = g.game;
    PutFloatOnTheWater(g, 2000);
    ASSERT_TRUE(Survives([&] { game.frmFish.getFish(index, true); })) << index;
    EXPECT_EQ(TotalCount(game.state), 0) << index;
    EXPECT_FALSE(Journaled(g, "show frmFish")) << index;
    EXPECT_FALSE(game.frmFish.IsLoaded()) << index;
    EXPECT_TRUE(g.model.JournalWith("text frmC").empty()) << index;
  }
}

TEST(CatchWindow, ACountAtItsLimitStaysThereAndTheCatchIsStillShown) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  game.state.CatchCount[9] = 32767;
  PutFloatOnTheWater(g, 2000);
  ASSERT_TRUE(Survives([&] { game.frmFish.getFish(9, true); }));
  EXPECT_EQ(game.state.CatchCount[9], 32767);
  EXPECT_TRUE(Journaled(g, "text frmC たい"));
}

TEST(CatchWindow, TheFloatStrugglesTowardsTheAnglerAndIsGoneBeforeTheRiseEnds) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  Game& game = g.game;
  UkiWindow& uki = PutFloatOnTheWater(g, 5000);
  double leftmost = 1e9;
  Referee watch(g, 3, [&] {
    if (uki.IsLoaded()) leftmost = std::min(leftmost, uki.Left());
    return true;
  });
  ASSERT_TRUE(Survives([&] { game.frmFish.getFish(0, true); }));
  // 14 steps of 10 twips with up to 20 more, then up to 20 more while the
  // catch rises: at most 170 twips closer.
  EXPECT_GE(leftmost, 5000 - 130 - 20 - 20);
  EXPECT_LT(leftmost, 5000 - 100);
  EXPECT_FALSE(uki.IsLoaded());
  EXPECT_TRUE(Journaled(g, "shape frmUki 57"));
}

}  // namespace
}  // namespace marivo
