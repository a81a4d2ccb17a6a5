#include "tools/sim/simulation.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "catch/mod_fish.h"
#include "catch/record.h"
#include "platform/model/model_backend.h"
#include "scene/game.h"

namespace marivo::sim {
namespace {

namespace fs = std::filesystem;

// The record file names the program's folder and its name.
bool SplitRecord(const std::string& record, ModelBackend::Options& options, std::ostream& err) {
  const fs::path path = fs::absolute(record);
  if (path.extension() != ".ini" || path.stem().empty()) {
    err << "marivo2-sim: the record file must be named NAME.ini: " << record << "\n";
    return false;
  }
  options.appPath = path.parent_path().string();
  options.exeName = path.stem().string();
  return true;
}

std::string Clock(std::uint64_t ms) {
  char text[32];
  std::snprintf(
      text, sizeof text, "%3llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 60000),
      static_cast<unsigned long long>(ms / 1000 % 60), static_cast<unsigned long long>(ms % 1000));
  return text;
}

// One session: the game, its model and the player who looks at it every
// few virtual milliseconds from inside the game's own pump.
class Session {
 public:
  Session(const Settings& settings, ModelBackend::Options options, std::ostream& out)
      : settings_(settings),
        out_(out),
        model_(options),
        platform_(model_),
        game_(platform_),
        dice_(settings.seed * 7919u + 17u) {}

  int Run() {
    try {
      game_.Start();
    } catch (const ProgramEnded&) {
      out_ << "the game ended at start-up\n";
      return 1;
    }
    start_ = game_.state.CatchCount;
    seen_ = start_;
    Log("start: " + std::to_string(Kinds(start_)) + " of 40 kinds in the record");
    // The model calls back into us only through its events; a session-end
    // notice is the one kind the game hands to a handler of our choosing,
    // so the player's looks travel as those.
    platform_.SetSessionEndingHandler([this] { Look(); });
    model_.SessionEndAt(model_.Elapsed() + kLookEvery);
    try {
      platform_.Run();
    } catch (const ModelTimeLimit& e) {
      out_ << "stopped: " << e.what() << "\n";
    }
    Summary();
    // A save that reached no file is a failed session, whatever was caught.
    return game_.record.failedSaves > 0 ? 3 : 0;
  }

 private:
  static constexpr std::uint64_t kLookEvery = 10;

  static int Kinds(const std::array<std::int16_t, 46>& counts) {
    int n = 0;
    for (int i = 0; i < kCreatureKinds; ++i) n += counts[std::size_t(i)] > 0 ? 1 : 0;
    return n;
  }

  void Log(const std::string& line) {
    if (!settings_.quiet) out_ << "[" << Clock(model_.Elapsed()) << "] " << line << "\n";
  }

  void Act(bool press, int buttons = kButtonLeft) {
    const std::uint64_t at = model_.Elapsed() + 1;
    if (press) {
      model_.PressAt(at, buttons);
    } else {
      model_.ReleaseAt(at, buttons);
    }
  }

  void Look() {
    Observe();
    if (!stopping_ && TimeToStop()) Stop();
    if (!stopping_) {
      switch (settings_.player) {
        case PlayerKind::Perfect:
          PlayPerfectly();
          break;
        case PlayerKind::Random:
          PressAtRandom();
          break;
        case PlayerKind::None:
          break;
      }
    }
    model_.SessionEndAt(model_.Elapsed() + kLookEvery);
  }

  bool Idle() const {
    const GameState& s = game_.state;
    return s.LineOut == kFalse && s.Busy == kFalse && s.GaugeRunning == kFalse;
  }

  bool TimeToStop() const {
    if (settings_.minutes > 0 && double(model_.Elapsed()) >= settings_.minutes * 60000.0) {
      return true;
    }
    // A number of casts ends once the last one is over (the line back in),
    // or, for a line left out after an escape, once it waits again.
    if (settings_.casts > 0 && casts_ >= settings_.casts) {
      const GameState& s = game_.state;
      return Idle() || (s.Busy == kFalse && s.GaugeRunning == kFalse && outcomes_ >= casts_);
    }
    return false;
  }

  void Stop() {
    stopping_ = true;
    Log(settings_.save ? "the player ends the game through the menu's exit item"
                       : "the player walks away without saving");
    if (!settings_.save) {
      platform_.End();
    }
    model_.QueueMenuChoice("mend");
    Act(true, kButtonRight);
    Act(false, kButtonRight);
  }

  // What happened since the last look, from the game state and the model's
  // journal of what the windows did.
  void Observe() {
    GameState& s = game_.state;
    if (s.LineOut == kTrue && !lineOut_) {
      ++casts_;
      Log("cast #" + std::to_string(casts_) + " with power " + std::to_string(s.CastPower));
    }
    lineOut_ = s.LineOut == kTrue;
    if (s.Biting == kTrue && !biting_) {
      ++bites_;
      Log("bite: the float goes under");
    }
    biting_ = s.Biting == kTrue;
    for (const std::string& line : model_.Journal()) {
      if (line == "text frmC HIT!!!") {
        ++hooked_;
        Log("HIT!!! hooked " + std::to_string(s.HookX) + " twips out; the fight begins");
      } else if (line == "text frmC バレタ！！") {
        ++escaped_;
        ++outcomes_;
        Log("バレタ！！ the fish got away; the float bobs on");
      } else if (line == std::string("picture frmFish ") + assets::HookPicture().name) {
        ++empty_;
        ++outcomes_;
        Log("reeled in an empty hook");
      } else if (line.rfind("message ", 0) == 0) {
        Log("the game says: " + line.substr(8));
      } else if (line == "write Data Complete=1" && !completeLogged_) {
        completeLogged_ = true;
        Log("the collection is complete: the certificate is in the menu");
      }
    }
    model_.ClearJournal();
    if (game_.record.failedSaves != failedSaves_) {
      failedSaves_ = game_.record.failedSaves;
      Log("SAVE FAILED: the record did not take the counts (" + std::to_string(failedSaves_) +
          " so far); the game tries again at the next save");
    }
    for (int i = 0; i < kFishKinds; ++i) {
      const auto k = std::size_t(i);
      if (s.CatchCount[k] != seen_[k]) {
        ++landed_;
        ++outcomes_;
        Log("landed " + FishName(i) + " (kind " + std::to_string(i) + "), now " +
            std::to_string(s.CatchCount[k]) + (i >= kCreatureKinds ? ", a joke catch" : ""));
      }
    }
    seen_ = s.CatchCount;
  }

  // Casts at a chosen level, strikes the moment the float is under, holds
  // on blue and lets go on red.
  void PlayPerfectly() {
    GameState& s = game_.state;
    const bool held = s.ButtonDown == kTrue;
    const Color colour = game_.frmCon.Picture1.BackColor();
    if (s.GaugeRunning == kTrue) {
      if (held) {
        Act(false);
      } else if (s.GaugeStopRequested == kFalse && s.GaugeLevel >= float(castLevel_)) {
        Act(true);
      }
    } else if (Idle()) {
      if (held) {
        Act(false);
      } else {
        castLevel_ = settings_.power > 0 ? settings_.power
                                         : std::uniform_int_distribution<int>(10, 50)(dice_);
        Act(true);
      }
    } else if (s.Busy == kTrue && s.Reeling == kTrue) {
      if (colour == kBlue && !held) Act(true);
      if (colour == kRed && held) Act(false);
    } else if (s.Busy == kFalse) {
      if (held) {
        Act(false);
      } else if (s.Biting == kTrue && s.BiteElapsed != Fixed4::FromDouble(-1)) {
        Log("strike");
        Act(true);
      }
    }
  }

  // Presses and lets go at random moments, about four times a second.
  void PressAtRandom() {
    const bool held = game_.state.ButtonDown == kTrue;
    if (std::uniform_int_distribution<int>(0, 24)(dice_) == 0) Act(!held);
  }

  void Summary() {
    const GameState& s = game_.state;
    out_ << "\n== after " << Clock(model_.Elapsed()) << " of virtual time ==\n"
         << "casts " << casts_ << ", bites " << bites_ << ", hooked " << hooked_ << ", landed "
         << landed_ << ", got away " << escaped_ << ", empty hooks " << empty_ << "\n";
    out_ << "caught this session:";
    bool any = false;
    for (int i = 0; i < kFishKinds; ++i) {
      const int gained = s.CatchCount[std::size_t(i)] - start_[std::size_t(i)];
      if (gained > 0) {
        out_ << " " << FishName(i) << " x" << gained;
        any = true;
      }
    }
    out_ << (any ? "" : " nothing") << "\n";
    const int failed = game_.record.failedSaves;
    out_ << "kinds caught: " << Kinds(s.CatchCount) << " / 40";
    if (failed > 0) {
      out_ << " (" << failed << (failed == 1 ? " save" : " saves")
           << " failed: the record does not hold every catch)\n"
           << "SAVE FAILED: " << game_.record.path << "\n";
    } else {
      out_ << (settings_.save ? " (saved at exit)" : " (no exit: each landing saved its catch)")
           << "\n";
    }
  }

  const Settings& settings_;
  std::ostream& out_;
  ModelBackend model_;
  Platform platform_;
  Game game_;
  std::mt19937 dice_;
  std::array<std::int16_t, 46> start_{};
  std::array<std::int16_t, 46> seen_{};
  int castLevel_ = 30;
  int casts_ = 0, bites_ = 0, hooked_ = 0, landed_ = 0, escaped_ = 0, empty_ = 0;
  int outcomes_ = 0;
  int failedSaves_ = 0;
  bool lineOut_ = false, biting_ = false, completeLogged_ = false, stopping_ = false;
};

}  // namespace

int Play(const Settings& settings, std::ostream& out, std::ostream& err) {
  ModelBackend::Options options;
  if (!SplitRecord(settings.record, options, err)) return 2;
  std::error_code error;
  fs::create_directories(options.appPath, error);
  options.seed = settings.seed;
  // Room for the whole session and the exit after it.
  const double minutes = settings.minutes > 0 ? settings.minutes + 10 : 7 * 24 * 60;
  options.timeLimit = static_cast<std::uint64_t>(minutes * 60000.0);
  Session session(settings, options, out);
  return session.Run();
}

int ShowRecord(const std::string& record, std::ostream& out, std::ostream& err) {
  ModelBackend::Options options;
  if (!SplitRecord(record, options, err)) return 2;
  if (!fs::is_regular_file(record)) {
    out << record << ": no record yet (every count 0, not complete)\n";
  }
  // Read exactly as the game's start-up reads it.
  ModelBackend model(options);
  Platform platform(model);
  Game game(platform);
  LoadCatchCounts(game);
  const bool complete = ReadSetting(game, "Data", "Complete") == "1";
  int kinds = 0;
  for (int i = 0; i < kCreatureKinds; ++i) {
    const int count = game.state.CatchCount[std::size_t(i)];
    kinds += count > 0 ? 1 : 0;
    char line[96];
    std::snprintf(line, sizeof line, "%2d  %-8d ", i, count);
    out << line << FishName(i) << "\n";
  }
  out << "kinds caught: " << kinds << " / 40\n"
      << "complete: " << (complete ? "yes" : "no") << "\n";
  return 0;
}

}  // namespace marivo::sim
