// The catalogue and the weighted choice of a catch: the weights at the
// near end, the far end, half-way and beyond, the rounding case that used
// to fall off the catalogue, and the odds over many draws.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "catch/mod_fish.h"
#include "platform/random.h"
#include "tests/model_fixture.h"

namespace marivo {
namespace {

using testing::ModelGame;

// The smallest float draw that still gives r = target for total `s`.
float DrawFor(double s, int target) {
  return static_cast<float>((target - 0.49) / s);
}

TEST(FishCatalogue, NamesAndWeightsOfTheFortyFiveKinds) {
  int nearTotal = 0;
  int farTotal = 0;
  for (int i = 0; i < kFishKinds; ++i) {
    nearTotal += FishData(i).NearWeight;
    farTotal += FishData(i).FarWeight;
  }
  EXPECT_EQ(nearTotal, 2844);
  EXPECT_EQ(farTotal, 2116);
  EXPECT_EQ(FishName(0), "かわはぎ");
  EXPECT_EQ(FishName(30), "おきえそ");
  EXPECT_EQ(FishName(43), "あじのひらき");
  EXPECT_THROW(FishName(45), std::out_of_range);
  EXPECT_THROW(FishName(-1), std::out_of_range);
}

TEST(ChooseFish, AtTheNearEndTheNearWeightsDecide) {
  const std::int32_t range = 13824;
  EXPECT_EQ(ChooseFishWithDraw(range, 0, 0.0f), 0);                // r = 0 goes to kind 0
  EXPECT_EQ(ChooseFishWithDraw(range, 0, DrawFor(2844, 100)), 0);  // 100: still kind 0
  EXPECT_EQ(ChooseFishWithDraw(range, 0, DrawFor(2844, 101)), 1);
  EXPECT_EQ(ChooseFishWithDraw(range, 0, DrawFor(2844, 400)), 5);  // 391..480 is ふぐ
  EXPECT_EQ(ChooseFishWithDraw(range, 0, 0.99999994f), 44);
}

TEST(ChooseFish, AtTheFarEndTheFarWeightsDecide) {
  const std::int32_t range = 13824;
  EXPECT_EQ(ChooseFishWithDraw(range, range, DrawFor(2116, 1)), 0);  // かわはぎ weighs 1
  EXPECT_EQ(ChooseFishWithDraw(range, range, DrawFor(2116, 2)), 1);
  EXPECT_EQ(ChooseFishWithDraw(range, range, 0.99999994f), 44);  // r = 2116
}

// The desktop checks run the programs with MARIVO2_TEST_SEED=13450106 and
// rely on every reseed giving a first draw of 0: the float's quiet spell
// is then the shortest and each landing, wherever the hook is short of
// the range, catches kind 0.
TEST(ChooseFish, TheDesktopChecksSeedCatchesKindZero) {
  const std::optional<std::uint32_t> seed = TestSeedFrom("13450106");
  ASSERT_TRUE(seed.has_value());
  LcgRandom random;
  random.Seed(*seed);
  const float first = random.Next();
  EXPECT_EQ(first, 0.0f);
  for (std::int32_t x = 0; x <= 13824; x += 512) EXPECT_EQ(ChooseFishWithDraw(13824, x, first), 0);
  for (const char* bad : {"", "12a", "-1", " 7", "4294967296"}) {
    EXPECT_FALSE(TestSeedFrom(bad).has_value()) << bad;
  }
  EXPECT_FALSE(TestSeedFrom(nullptr).has_value());
}

TEST(ChooseFish, HalfWayTheWeightsMeetInTheMiddle) {
  // Kind 0 weighs 50.5 and kind 1 weighs 50; the total is 2480 exactly.
  EXPECT_EQ(ChooseFishWithDraw(2000, 1000, DrawFor(2480, 50)), 0);
  EXPECT_EQ(ChooseFishWithDraw(2000, 1000, DrawFor(2480, 51)), 1);
  EXPECT_EQ(ChooseFishWithDraw(2000, 1000, DrawFor(2480, 100)), 1);  // 50.5 + 50 = 100.5
  EXPECT_EQ(ChooseFishWithDraw(2000, 1000, DrawFor(2480, 101)), 2);
  EXPECT_EQ(ChooseFishWithDraw(2000, 1000, 0.99999994f), 44);
}

TEST(ChooseFish, BeyondTheRangeANegativeWeightIsNeverChosen) {
  // At twice the range かわはぎ weighs -98 and pulls the running sum down.
  const std::int32_t range = 10000;
  for (int i = 0; i <= 1000; ++i) {
    const float draw = static_cast<float>(i) / 1001.0f;
    const std::int32_t kind = ChooseFishWithDraw(range, 2 * range, draw);
    ASSERT_GE(kind, 0);
    ASSERT_LT(kind, kFishKinds);
    const FishInfo& f = FishData(kind);
    EXPECT_GT(double(f.FarWeight - f.NearWeight) / range * (2 * range) + f.NearWeight, 0)
        << "draw " << draw << " chose kind " << kind;
  }
  // Far enough out, only the catches whose weight grows are left early on.
  EXPECT_NE(ChooseFishWithDraw(range, 3 * range, 0.0f), 0);
}

TEST(ChooseFish, ADrawRoundedPastTheTotalStillLandsACatch) {
  // range 3, x 2: the total is 2358.67; a draw near 1 rounds to 2359,
  // beyond every running sum. The last kind that can be caught is taken.
  EXPECT_EQ(ChooseFishWithDraw(3, 2, 0.99999994f), 44);
  // A sea of no width takes the near weights instead of dividing by zero.
  EXPECT_EQ(ChooseFishWithDraw(0, 500, DrawFor(2844, 101)), 1);
}

TEST(ChooseFish, TakesOneDrawFromTheGameAndLeavesItsArgumentsAlone) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  g.model.QueueDraws({DrawFor(2844, 101), 0.5f});
  std::int32_t range = 13824;
  std::int32_t x = 0;
  EXPECT_EQ(ChooseFish(g.game, range, x), 1);
  EXPECT_EQ(g.model.QueuedDraws(), 1u);
  EXPECT_EQ(range, 13824);
  EXPECT_EQ(x, 0);
}

TEST(ChooseFish, OverManyDrawsAtTheNearEndEachKindComesUpByItsNearWeight) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  constexpr int kDraws = 100000;
  std::vector<int> seen(kFishKinds + 1, 0);
  std::int32_t range = 13824;
  std::int32_t x = 0;
  for (int i = 0; i < kDraws; ++i) ++seen[static_cast<std::size_t>(ChooseFish(g.game, range, x))];
  EXPECT_EQ(seen[kFishKinds], 0);
  double chiSquare = 0;
  for (int i = 0; i < kFishKinds; ++i) {
    const double p = FishData(i).NearWeight / 2844.0;
    const double expected = kDraws * p;
    const double sigma = std::sqrt(kDraws * p * (1 - p));
    EXPECT_NEAR(seen[static_cast<std::size_t>(i)], expected, 5 * sigma + 1) << "kind " << i;
    chiSquare += (seen[static_cast<std::size_t>(i)] - expected) *
                 (seen[static_cast<std::size_t>(i)] - expected) / expected;
  }
  // 44 degrees of freedom: 80 is beyond the 99.9th percentile.
  EXPECT_LT(chiSquare, 80.0);
}

}  // namespace
}  // namespace marivo
