// The headless simulator: the real game on the off-screen model, played at
// virtual speed by a scripted player, with a readable log of what happened.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace marivo::sim {

enum class PlayerKind { Perfect, Random, None };

struct Settings {
  std::uint32_t seed = 1;
  PlayerKind player = PlayerKind::Perfect;
  int casts = 0;       // stop after this many casts have ended; 0: no limit
  double minutes = 0;  // stop after this many virtual minutes; 0: no limit
  int power = 0;       // gauge level the perfect player casts at; 0: varies
  std::string record = "marivo2.ini";
  bool save = true;    // end through the exit item, which saves the counts
  bool quiet = false;  // the summary only
};

// Plays one session; returns the process exit code.
int Play(const Settings& settings, std::ostream& out, std::ostream& err);

// Prints the forty counts with their names and the completion flag.
int ShowRecord(const std::string& record, std::ostream& out, std::ostream& err);

}  // namespace marivo::sim
