// marivo2-sim: plays the game headless on the off-screen model.
#include <cstdlib>
#include <iostream>
#include <string>

#include "tools/sim/simulation.h"

namespace {

constexpr const char* kUsage =
    "usage: marivo2-sim [options]\n"
    "       marivo2-sim --show-record FILE\n"
    "\n"
    "Plays Marivo2 on the off-screen model at virtual speed and prints what\n"
    "happened: casts, bites, strikes, fights, catches and escapes, then the\n"
    "counts. The session ends through the menu's exit item, which saves.\n"
    "\n"
    "options:\n"
    "  --seed N            seed of the game's random draws (default 1)\n"
    "  --player KIND       perfect, random or none (default perfect)\n"
    "  --casts N           stop once N casts are over (default 10 for the\n"
    "                      perfect and random players)\n"
    "  --minutes M         stop after M virtual minutes (default 10 for none)\n"
    "  --power N           gauge level 1..50 the perfect player casts at\n"
    "                      (default: a different level each cast)\n"
    "  --record FILE       the record file NAME.ini to use; its folder stands\n"
    "                      for the program's folder (default ./marivo2.ini)\n"
    "  --no-save           end without the exit item (as a crash would):\n"
    "                      only what each landing saved is kept\n"
    "  --quiet             print only the summary\n"
    "  --show-record FILE  print the forty counts and the completion flag of\n"
    "                      FILE without playing\n"
    "  --help              print this text\n"
    "\n"
    "exit status: 0 when every save reached the record, 3 when one failed\n"
    "(the summary says so), 2 for a wrong command line, 1 when the game\n"
    "ended at start-up.\n";

bool Number(const char* text, long low, long high, long& out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < low || value > high) return false;
  out = value;
  return true;
}

int Fail(const std::string& message) {
  std::cerr << "marivo2-sim: " << message << "\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using marivo::sim::PlayerKind;
  marivo::sim::Settings settings;
  bool castsGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    long n = 0;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--show-record" && hasValue) {
      return marivo::sim::ShowRecord(argv[i + 1], std::cout, std::cerr);
    } else if (arg == "--seed" && hasValue) {
      if (!Number(argv[++i], 0, 0xFFFFFFFFL, n)) return Fail("bad seed");
      settings.seed = static_cast<std::uint32_t>(n);
    } else if (arg == "--player" && hasValue) {
      const std::string kind = argv[++i];
      if (kind == "perfect") {
        settings.player = PlayerKind::Perfect;
      } else if (kind == "random") {
        settings.player = PlayerKind::Random;
      } else if (kind == "none") {
        settings.player = PlayerKind::None;
      } else {
        return Fail("unknown player " + kind);
      }
    } else if (arg == "--casts" && hasValue) {
      if (!Number(argv[++i], 1, 1000000, n)) return Fail("bad number of casts");
      settings.casts = static_cast<int>(n);
      castsGiven = true;
    } else if (arg == "--minutes" && hasValue) {
      char* end = nullptr;
      settings.minutes = std::strtod(argv[++i], &end);
      if (*end != '\0' || !(settings.minutes > 0) || settings.minutes > 1e6) {
        return Fail("bad number of minutes");
      }
    } else if (arg == "--power" && hasValue) {
      if (!Number(argv[++i], 1, 50, n)) return Fail("the power is a gauge level 1..50");
      settings.power = static_cast<int>(n);
    } else if (arg == "--record" && hasValue) {
      settings.record = argv[++i];
    } else if (arg == "--no-save") {
      settings.save = false;
    } else if (arg == "--quiet") {
      settings.quiet = true;
    } else {
      return Fail("unknown or incomplete option " + arg);
    }
  }
  if (!castsGiven && settings.minutes <= 0) {
    if (settings.player == PlayerKind::None) {
      settings.minutes = 10;
    } else {
      settings.casts = 10;
    }
  }
  return marivo::sim::Play(settings, std::cout, std::cerr);
}
