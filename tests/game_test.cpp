// The road of one catch, played on the model by a player who watches the
// game: the gauge, the cast, the wait, the strike on a bite, the fight
// with "HIT!!!", the landing, the catch counted and named, and idle again.
#include <gtest/gtest.h>

#include <optional>

#include "catch/mod_fish.h"
#include "tests/cycle_support.h"

namespace marivo {
namespace {

using namespace testing;

// What the player does, looking at the game every 10 ms.
struct Player {
  explicit Player(ModelGame& game) : g(game) {}
  ModelGame& g;
  float castLevel = 30;  // stops the gauge once it shows this
  bool fishing = true;
  int casts = 0;
  int strikes = 0;
  std::optional<std::uint64_t> hit;

  void Act(int buttons, bool press) {
    const std::uint64_t at = g.model.Elapsed() + 1;
    if (press) {
      g.model.PressAt(at, buttons);
    } else {
      g.model.ReleaseAt(at, buttons);
    }
  }

  bool Look() {
    GameState& s = g.game.state;
    const bool held = s.ButtonDown == kTrue;
    const Color colour = g.game.frmCon.Picture1.BackColor();
    if (!hit && Journaled(g, "text frmC HIT!!!")) hit = g.model.Elapsed();
    if (s.GaugeRunning == kTrue) {
      // First let go of the press that started it, then stop it at the level.
      if (held) {
        Act(kButtonLeft, false);
      } else if (s.GaugeStopRequested == kFalse && s.GaugeLevel >= castLevel) {
        Act(kButtonLeft, true);
      }
    } else if (s.LineOut == kFalse && s.Busy == kFalse) {
      if (held) {
        Act(kButtonLeft, false);
      } else if (fishing) {
        ++casts;
        Act(kButtonLeft, true);
      }
    } else if (s.Busy == kTrue && s.Reeling == kTrue) {
      // The cast, the strike, the fight or the landing: on blue hold, on
      // red let go.
      if (colour == kBlue && !held) Act(kButtonLeft, true);
      if (colour == kRed && held) Act(kButtonLeft, false);
    } else if (s.Busy == kFalse) {
      // Waiting: hands off, until the float is under.
      if (held) {
        Act(kButtonLeft, false);
      } else if (s.Biting == kTrue && s.BiteElapsed != Fixed4::FromDouble(-1)) {
        ++strikes;
        Act(kButtonLeft, true);
      }
    }
    return true;
  }
};

TEST(Game, TheRoadOfOneCatchFromCastToCount) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  GameState& s = g.game.state;
  Player player(g);
  bool landed = false;
  Referee referee(g, 10, [&] {
    if (!landed && TotalCount(s) > 0) {
      landed = true;
      player.fishing = false;  // one catch is the road
    }
    return player.Look();
  });
  // Fish until something is landed; a fish that gets away is fished again.
  std::uint64_t limit = 10 * 60 * 1000;
  while (TotalCount(s) == 0 && g.model.Elapsed() < limit) {
    ASSERT_TRUE(g.RunFor(1000));
  }
  ASSERT_EQ(TotalCount(s), 1) << "nothing was landed in ten virtual minutes";
  ASSERT_TRUE(g.RunFor(6000));  // the rest of the landing
  EXPECT_GE(player.casts, 1);
  EXPECT_GE(player.strikes, 1);
  ASSERT_TRUE(player.hit.has_value());
  int kind = 0;
  while (s.CatchCount[std::size_t(kind)] == 0) ++kind;
  EXPECT_TRUE(Journaled(g, "text frmC " + FishName(kind)));
  // The fight began where the float was hooked, on the real sea.
  EXPECT_EQ(s.FishRange, Nearest(g.game.frmSea.Width() * 0.9));
  EXPECT_GT(s.HookX, 2000);
  // Idle again: no float, nothing running, and the next press is a cast.
  EXPECT_FALSE(g.game.frmUki.IsLoaded());
  EXPECT_EQ(s.LineOut, kFalse);
  EXPECT_EQ(s.Busy, kFalse);
  EXPECT_EQ(s.Reeling, kFalse);
  EXPECT_EQ(g.game.frmMan.Picture(), &assets::ManFrame(0));
  player.fishing = true;
  const int before = player.casts;
  const int strikesBefore = player.strikes;
  g.model.ClearJournal();
  ASSERT_TRUE(g.RunFor(300));  // returns once the cast it starts is over
  EXPECT_EQ(player.casts, before + 1);
  EXPECT_EQ(player.strikes, strikesBefore) << "the first press after the landing was not a strike";
  EXPECT_TRUE(Journaled(g, "show frmUki"));
  EXPECT_EQ(s.LineOut, kTrue);
}

TEST(Game, APlayerWhoNeverTouchesTheButtonCatchesNothing) {
  ModelGame g;
  ASSERT_TRUE(g.Start());
  ASSERT_TRUE(g.RunFor(60 * 1000));
  EXPECT_EQ(TotalCount(g.game.state), 0);
  EXPECT_FALSE(g.game.frmUki.IsLoaded());
  EXPECT_TRUE(g.model.JournalWith("write ").empty());
}

}  // namespace
}  // namespace marivo
