// Where the start of the program spends its time, for the benchmark
// (bench/qt_bench.py, docs/benchmarks.md). Only when asked for
// (MARIVO2_REPORT_SHOWN): otherwise every call returns at once and nothing
// is printed.
//
// The start is cut into phases that follow each other (Qt's set-up, the
// game's scene, the first paint) and parts that turn up anywhere inside
// them (fonts, pictures, the record's place, the one-copy lock). A phase is
// reported without the parts that fell inside it, so phases and parts add
// up to the whole start. Each figure is given twice: wall-clock time and the
// CPU time of the thread that shows the scene, which another program loading
// the machine disturbs much less; the CPU of the whole process (the font
// list's own thread included) is given once, at the scene.
#pragma once

#include <array>
#include <cstdint>

namespace marivo::qt {

class StartupTrace {
 public:
  enum class Part { Fonts, Pictures, Record, Lock };

  // Prints "marivo2: main entered <monotonic ns> <cpu ns>": the time and the
  // CPU the process took to reach main (loading and linking the libraries).
  explicit StartupTrace(bool enabled);
  StartupTrace(const StartupTrace&) = delete;
  StartupTrace& operator=(const StartupTrace&) = delete;

  bool Active() const { return active_; }

  // Ends the running phase: "marivo2: phase <name> <wall ns> <cpu ns>".
  void EndPhase(const char* name);

  // Counts its own lifetime towards a part (the outermost one, when parts
  // nest).
  class Scope {
   public:
    Scope(StartupTrace& trace, Part part);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    StartupTrace& trace_;
    Part part_;
    bool counting_ = false;
    std::int64_t wall_ = 0;
    std::int64_t cpu_ = 0;
  };

  // At the first paint of the start-up window: ends the phase "paint",
  // prints each part ("marivo2: part <name> <wall ns> <cpu ns>"), the
  // process's CPU so far ("marivo2: process cpu <ns>") and "marivo2: scene
  // shown <monotonic ns>", then stops timing.
  void Finish();

  // The first time text is drawn (the clock's digits), which may come after
  // the scene: "marivo2: text shown <monotonic ns>".
  void NoteTextShown();

 private:
  struct Times {
    std::int64_t wall = 0;
    std::int64_t cpu = 0;
  };
  static Times Now();

  bool enabled_;
  bool active_;
  bool textNoted_ = false;
  int depth_ = 0;
  Times phaseStart_;
  Times inPartsThisPhase_;
  std::array<Times, 4> parts_{};
};

}  // namespace marivo::qt
