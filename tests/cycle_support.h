// Helpers for the tests of the fishing cycle: a float put on the water
// without casting, and a referee that looks at the game every few virtual
// milliseconds from inside its waits, so a test can play like a person
// who watches the button.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shapes/mod_RGN_Data.h"
#include "tests/model_fixture.h"

namespace marivo::testing {

inline constexpr std::int32_t kRestingTop = 10705;  // the float's ntop on the default screen

// An upright float floating on the sea at `left`, its timer off, the line out.
inline UkiWindow& PutFloatOnTheWater(ModelGame& g, double left) {
  UkiWindow& uki = g.game.frmUki;
  uki.Load();
  SizeUkiUpright(uki);
  uki.Move(left, kRestingTop + 40);
  uki.ntop = kRestingTop;
  uki.nwait = 99;
  uki.Show();
  g.game.state.LineOut = kTrue;
  return uki;
}

// The state a successful strike leaves: busy, reeling, the button held.
inline void Hooked(ModelGame& g) {
  GameState& s = g.game.state;
  s.Busy = kTrue;
  s.Reeling = kTrue;
  s.ButtonDown = kTrue;
  s.ButtonUp = kFalse;
  s.FightTicks = 0;
}

// Calls `look` every `period` virtual ms from inside the game's pump (each
// call is carried in by a session-end notice, so it replaces the game's
// session-end handler) until `look` returns false.
class Referee {
 public:
  Referee(ModelGame& g, std::uint64_t period, std::function<bool()> look)
      : g_(g), period_(period), look_(std::move(look)) {
    g.platform.SetSessionEndingHandler([this] {
      if (look_()) g_.model.SessionEndAt(g_.model.Elapsed() + period_);
    });
    g.model.SessionEndAt(g.model.Elapsed() + period_);
  }

 private:
  ModelGame& g_;
  std::uint64_t period_;
  std::function<bool()> look_;
};

// Runs `body` (a fight or a landing called directly) and reports whether
// the program was still running afterwards.
inline bool Survives(const std::function<void()>& body) {
  try {
    body();
  } catch (const ProgramEnded&) {
    return false;
  }
  return true;
}

inline bool Journaled(ModelGame& g, const std::string& line) {
  for (const std::string& l : g.model.Journal()) {
    if (l == line) return true;
  }
  return false;
}

// Where `line` first stands in the journal, or -1.
inline long JournalIndex(ModelGame& g, const std::string& line) {
  const auto& j = g.model.Journal();
  for (std::size_t i = 0; i < j.size(); ++i) {
    if (j[i] == line) return long(i);
  }
  return -1;
}

inline int TotalCount(const GameState& s) {
  int total = 0;
  for (std::int16_t c : s.CatchCount) total += c;
  return total;
}

}  // namespace marivo::testing
