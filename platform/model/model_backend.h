// The off-screen model: a complete backend without a desktop, for tests and
// the headless simulator.
//
// What it does:
// - a virtual millisecond clock whose start is settable (a test can start
//   just before the 32-bit tick count wraps); waiting moves the clock
//   straight to the next scripted event or the deadline, so a game runs at
//   virtual speed and nothing ever spins;
// - pointer presses and releases, clicks, pointer moves, close requests and
//   a session end, scripted at virtual times;
// - random draws from a seeded generator, or exactly the draws a test
//   queued; scripted answers for message boxes and popup menus;
// - a configurable screen (1024 x 768 pixels at 15 twips per pixel, full
//   screen client height 719, caption height 19 by default) and local time;
// - the settings file through our own profile implementation, in a folder
//   of the test's choosing;
// - a journal of what the game did, the windows as they stand (pixels,
//   visibility, stacking order, shape) and a picture of the whole screen.
// What it lacks: real fonts (text widths follow a fixed rule: 6 pixels per
// ASCII character, 11 per other character) and real time.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/posix/posix_files.h"
#include "platform/random.h"
#include "platform/region.h"

namespace marivo {

// The virtual clock ran past the model's time limit: a test expecting an
// event that never came.
struct ModelTimeLimit : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ModelBackend final : public Backend {
 public:
  struct Options {
    ScreenInfo screen;
    std::uint32_t startTick = 1000;
    LocalTime startTime{2026, 12, 7, 13, 5, 0};
    std::string appPath = ".";
    std::string exeName = "marivo2";
    std::string userSettingsDir;  // empty: no per-user folder
    // The runtime folder of the one-copy lock (when it cannot hold the lock:
    // the settings folder, then the program's); empty: no lock at all, the
    // game is never refused.
    std::string lockDir;
    std::uint32_t seed = 1;
    // Virtual milliseconds after which the clock refuses to go on.
    std::uint64_t timeLimit = 6ull * 3600 * 1000;
  };

  // One window as the model holds it.
  struct Window {
    const WindowDesign* design = nullptr;
    const WindowState* state = nullptr;
    int left = 0, top = 0, width = 0, height = 0;  // pixels, outer
    bool visible = false;
    bool modal = false;
    bool topMost = false;
    bool shaped = false;
    int shapeTag = -1;
    std::vector<PixelRect> shape;
    std::uintptr_t handle = 0;
  };

  ModelBackend();
  explicit ModelBackend(Options options);
  ~ModelBackend() override;

  // ---- virtual time
  std::uint64_t Elapsed() const { return elapsed_; }  // ms since the model started

  // ---- scripting (times are virtual ms since the model started)
  void PressAt(std::uint64_t at, int buttons = kButtonLeft);
  void ReleaseAt(std::uint64_t at, int buttons = kButtonLeft);
  void PostAt(std::uint64_t at, PlatformEvent event);
  void ClickAt(std::uint64_t at, WindowId window, int control);
  void MoveAt(std::uint64_t at, WindowId window, int control);
  void CloseAt(std::uint64_t at, WindowId window);
  void SessionEndAt(std::uint64_t at);
  // Runs `probe` at virtual time `at`, from the first pump that comes then
  // (inside whatever wait the game is in). For tests that look inside
  // running handlers; the probe must not pump.
  void CallAt(std::uint64_t at, std::function<void()> probe);
  // Draws handed out before the generator's own, in order.
  void QueueDraws(const std::vector<float>& draws);
  std::size_t QueuedDraws() const { return draws_.size(); }
  void QueueMessageAnswer(MessageResult answer);
  // The next message box stays up for `ms` virtual ms before it is
  // answered, as a person reading it: meanwhile scripted events arrive and
  // the box's own loop runs the game's timers and ends, as a desktop's does.
  void HoldNextMessage(std::uint64_t ms) { messageHold_ = ms; }
  // The name of the menu item to choose at the next popup; "" dismisses it.
  void QueueMenuChoice(const std::string& item);
  // The next BuildRegion fails / the next SetRegion is refused.
  void FailNextRegion() { failRegion_ = true; }
  void RefuseNextShape() { refuseShape_ = true; }
  void SetTimeLimit(std::uint64_t at) { options_.timeLimit = at; }

  // ---- observation
  const std::vector<std::string>& Journal() const { return journal_; }
  void ClearJournal() { journal_.clear(); }
  // Journal lines that start with `prefix`.
  std::vector<std::string> JournalWith(const std::string& prefix) const;
  const std::vector<std::string>& Messages() const { return messages_; }
  // Each popup: the captions offered, separators as "-".
  const std::vector<std::vector<std::string>>& Popups() const { return popups_; }
  bool Ended() const { return ended_; }
  const Window* Find(WindowId id) const;
  // Windows from the top of the stacking order to the bottom.
  std::vector<WindowId> Stacking() const;
  // The screen as a person would see it, as 0xRRGGBB pixels.
  std::vector<std::uint32_t> Composite() const;
  bool WritePicture(const std::string& path) const;
  const Options& GetOptions() const { return options_; }
  void Log(const std::string& line) { journal_.push_back(line); }

  // ---- Backend
  void Attach(EventSink& sink) override { sink_ = &sink; }
  ScreenInfo Screen() override { return options_.screen; }
  FrameInsets Insets(BorderStyle border) override;
  std::uint32_t TickCount() override {
    return options_.startTick + static_cast<std::uint32_t>(elapsed_);
  }
  void PollEvents() override;
  void WaitEvents(std::optional<std::uint32_t> deadline) override;
  void ScheduleWakeup(std::optional<std::uint32_t> deadline) override { wakeup_ = deadline; }
  std::unique_ptr<NativeWindow> CreateNativeWindow(const WindowDesign& design,
                                                   const WindowState& state) override;
  std::unique_ptr<NativeRegion> BuildRegion(const void* data, std::uint32_t bytes) override;
  int TextWidthPx(const FontDesign& font, std::string_view text) override;
  int PopupMenu(NativeWindow* owner, const std::vector<MenuEntry>& entries) override;
  MessageResult MessageBox(const std::string& text, MessageStyle style,
                           const std::string& caption) override;
  LocalTime Now() override;
  float Rnd() override;
  void Randomize() override;
  std::string ReadProfileString(const std::string& section, const std::string& key,
                                const std::string& path) override;
  bool WriteProfileString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path) override;
  std::string AppPath() override { return options_.appPath; }
  std::string AppExeName() override { return options_.exeName; }
  char PathSeparator() override { return '/'; }
  std::string UserSettingsDir() override { return options_.userSettingsDir; }
  FileAccess ProbeFile(const std::string& path) override;
  bool FolderWritable(const std::string& folder) override;
  bool MakeFolder(const std::string& folder) override;
  bool CopyFile(const std::string& from, const std::string& to) override;
  bool ClaimSingleInstance() override;
  void End() override;
  // The primary screen changes to `screen` at virtual time `at`.
  void ScreenChangeAt(std::uint64_t at, ScreenInfo screen);

 private:
  class ModelWindow;
  friend class ModelWindow;
  struct Scripted {
    std::uint64_t at;
    std::uint64_t sequence;
    PlatformEvent event;
  };
  void Raise(Window* window, bool toTop);
  // A message box's own loop, for `ms` virtual ms or until the game ends.
  void RunHeldMessage(std::uint64_t ms);

  Options options_;
  EventSink* sink_ = nullptr;
  std::uint64_t elapsed_ = 0;
  std::uint64_t sequence_ = 0;
  std::vector<Scripted> script_;
  std::multimap<std::uint64_t, std::function<void()>> probes_;
  LcgRandom random_;
  std::vector<float> draws_;
  std::vector<MessageResult> answers_;
  std::vector<std::string> menuChoices_;
  std::vector<std::string> journal_;
  std::vector<std::string> messages_;
  std::vector<std::vector<std::string>> popups_;
  std::vector<Window*> stack_;  // top first
  std::uintptr_t nextHandle_ = 0x1000;
  bool failRegion_ = false;
  bool refuseShape_ = false;
  bool ended_ = false;
  std::uint64_t messageHold_ = 0;
  std::optional<std::uint32_t> wakeup_;
  posix::InstanceLock instanceLock_;
};

}  // namespace marivo
