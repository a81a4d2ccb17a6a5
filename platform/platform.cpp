#include "platform/platform.h"

#include <algorithm>

#include "platform/arith.h"

namespace marivo {
namespace {

// True when tick `a` comes before tick `b` on the wrapping counter.
bool TickBefore(std::uint32_t a, std::uint32_t b) {
  return static_cast<std::int32_t>(a - b) < 0;
}

bool TickReached(std::uint32_t now, std::uint32_t deadline) {
  return !TickBefore(now, deadline);
}

// Guards a timer's handler depth so that an exception or an unload inside
// the handler leaves the bookkeeping consistent.
class TickScope {
 public:
  TickScope(Form& form, ControlState& state)
      : form_(form), state_(state), generation_(form.Generation()) {
    ++state_.tickDepth;
    state_.rearmed = false;
  }
  ~TickScope() {
    if (form_.IsLoaded() && form_.Generation() == generation_ && state_.tickDepth > 0) {
      --state_.tickDepth;
    }
  }
  TickScope(const TickScope&) = delete;
  TickScope& operator=(const TickScope&) = delete;

 private:
  Form& form_;
  ControlState& state_;
  std::uint64_t generation_;
};

}  // namespace

// ---------------------------------------------------------------- Platform

Platform::Platform(Backend& backend) : backend_(backend) {
  backend_.Attach(*this);
}

Platform::~Platform() = default;

const ScreenInfo& Platform::Screen() {
  if (!screen_) screen_ = backend_.Screen();
  return *screen_;
}

double Platform::ScreenWidth() {
  return double(Screen().widthPx) * Screen().twipsPerPixelX;
}
double Platform::ScreenHeight() {
  return double(Screen().heightPx) * Screen().twipsPerPixelY;
}
int Platform::TwipsPerPixelX() {
  return Screen().twipsPerPixelX;
}
int Platform::TwipsPerPixelY() {
  return Screen().twipsPerPixelY;
}
int Platform::FullScreenClientHeight() {
  return Screen().fullScreenClientHeight;
}
int Platform::CaptionHeight() {
  return Screen().captionHeight;
}

int Platform::ToPixelsX(double twips) {
  return Nearest(twips / TwipsPerPixelX());
}
int Platform::ToPixelsY(double twips) {
  return Nearest(twips / TwipsPerPixelY());
}

std::uint32_t Platform::TickCount() {
  return backend_.TickCount();
}

void Platform::Register(Form& form) {
  forms_.push_back(&form);
}

Form* Platform::FormFor(WindowId id) {
  for (Form* f : forms_) {
    if (f->Id() == id) return f;
  }
  return nullptr;
}

void Platform::Post(const PlatformEvent& event) {
  queue_.push_back(event);
  // Inside a native modal loop (a menu, a message box) the wakeup is what
  // runs the game: a request to end is answered there at once. Elsewhere
  // the next pump sets the wakeup again.
  if (EndsTheProgram(event)) backend_.ScheduleWakeup(TickCount());
}

bool Platform::EndsTheProgram(const PlatformEvent& event) {
  switch (event.kind) {
    case PlatformEvent::Kind::SessionEnding:
    case PlatformEvent::Kind::QuitRequest:
      return true;
    case PlatformEvent::Kind::CloseRequest: {
      // Only a dialog on the screen closes by itself; a sprite, the bar or
      // a window nobody sees stands for the program.
      Form* form = FormFor(event.window);
      if (form == nullptr || !form->IsLoaded()) return false;  // the window is gone
      const BorderStyle border = form->GetDesign().border;
      const bool dialog = border == BorderStyle::FixedDialog ||
                          border == BorderStyle::FixedSingle || border == BorderStyle::Sizable;
      return !(dialog && form->State().visible);
    }
    default:
      return false;
  }
}

bool Platform::DispatchEndRequest() {
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (EndsTheProgram(*it)) {
      const PlatformEvent event = *it;
      queue_.erase(it);
      Dispatch(event);
      return true;
    }
  }
  return false;
}

bool Platform::RunPending() {
  if (ended_) throw ProgramEnded{};
  backend_.PollEvents();
  bool ran = false;
  // Only what was pending when we started; events posted by the handlers
  // themselves wait for the next pump.
  std::size_t pending = queue_.size();
  while (pending-- > 0 && !queue_.empty()) {
    PlatformEvent event = queue_.front();
    queue_.pop_front();
    Dispatch(event);
    ran = true;
    if (ended_) throw ProgramEnded{};
  }
  if (FireDueTimers()) ran = true;
  if (ended_) throw ProgramEnded{};
  UpdateWakeup();
  return ran;
}

void Platform::DoEvents() {
  RunPending();
}

void Platform::PumpUntil(std::optional<std::uint32_t> deadline) {
  if (RunPending()) return;
  if (deadline && TickReached(TickCount(), *deadline)) return;
  std::optional<std::uint32_t> wake = NextTimerDeadline();
  if (deadline && (!wake || TickBefore(*deadline, *wake))) wake = deadline;
  backend_.WaitEvents(wake);
  RunPending();
}

void Platform::Run() {
  try {
    for (;;) PumpUntil(std::nullopt);
  } catch (const ProgramEnded&) {
  }
}

bool Platform::FireDueTimers() {
  struct Due {
    Form* form;
    int slot;
    std::uint32_t deadline;
    std::uint64_t order;
  };
  const std::uint32_t now = TickCount();
  std::vector<Due> due;
  for (Form* form : forms_) {
    if (!form->IsLoaded()) continue;
    auto& controls = form->state_.controls;
    for (int slot = 0; slot < int(controls.size()); ++slot) {
      const ControlState& c = controls[slot];
      if (c.design->kind != ControlKind::Timer || !c.enabled || c.interval <= 0) continue;
      if (!TickReached(now, c.deadline)) continue;
      if (c.tickDepth > 0 && !c.rearmed) continue;
      due.push_back({form, slot, c.deadline, c.order});
    }
  }
  if (due.empty()) return false;
  std::sort(due.begin(), due.end(), [now](const Due& a, const Due& b) {
    const std::uint32_t lateA = now - a.deadline;
    const std::uint32_t lateB = now - b.deadline;
    if (lateA != lateB) return lateA > lateB;  // the earlier deadline first
    return a.order < b.order;
  });
  bool fired = false;
  for (const Due& d : due) {
    Form& form = *d.form;
    if (!form.IsLoaded()) continue;
    ControlState& c = form.state_.controls[d.slot];
    // Earlier handlers of this round may have changed it.
    if (!c.enabled || c.interval <= 0 || c.order != d.order) continue;
    const std::uint32_t t = TickCount();
    if (!TickReached(t, c.deadline)) continue;
    if (c.tickDepth > 0 && !c.rearmed) continue;
    c.deadline = t + static_cast<std::uint32_t>(c.interval);
    auto* timer = dynamic_cast<Timer*>(form.ControlFor(d.slot));
    if (timer == nullptr) continue;
    fired = true;
    TickScope scope(form, c);
    form.OnTimer(*timer);
  }
  return fired;
}

std::optional<std::uint32_t> Platform::NextTimerDeadline() {
  std::optional<std::uint32_t> best;
  for (Form* form : forms_) {
    if (!form->IsLoaded()) continue;
    for (const ControlState& c : form->state_.controls) {
      if (c.design->kind != ControlKind::Timer || !c.enabled || c.interval <= 0) continue;
      if (c.tickDepth > 0 && !c.rearmed) continue;
      if (!best || TickBefore(c.deadline, *best)) best = c.deadline;
    }
  }
  return best;
}

void Platform::UpdateWakeup() {
  // A request to end that still waits is due now: a menu or a message box
  // opened meanwhile answers it at once.
  const bool endWaits = std::any_of(queue_.begin(), queue_.end(),
                                    [this](const PlatformEvent& e) { return EndsTheProgram(e); });
  backend_.ScheduleWakeup(endWaits ? std::optional<std::uint32_t>(TickCount())
                                   : NextTimerDeadline());
}

void Platform::RunDueTimers() {
  if (ended_) return;
  // Only the requests to end that are pending now (a handler that posts
  // another must not keep this loop going); the rest of the queue waits
  // for the game's own pump.
  const auto pending = std::count_if(queue_.begin(), queue_.end(),
                                     [this](const PlatformEvent& e) { return EndsTheProgram(e); });
  for (auto i = pending; i > 0 && DispatchEndRequest(); --i) {
    if (ended_) throw ProgramEnded{};
  }
  FireDueTimers();
  UpdateWakeup();
}

void Platform::Dispatch(const PlatformEvent& event) {
  if (event.kind == PlatformEvent::Kind::SessionEnding) {
    if (sessionEnding_) sessionEnding_();
    return;
  }
  if (event.kind == PlatformEvent::Kind::ScreenChanged) {
    // Metrics are read afresh from now on; the game decides when to move.
    screen_.reset();
    if (screenChanged_) screenChanged_();
    return;
  }
  if (EndsTheProgram(event)) {
    // Answered whatever is open: the request is to end all of it.
    if (quitRequest_) quitRequest_();
    return;
  }
  Form* form = FormFor(event.window);
  if (form == nullptr || !form->IsLoaded()) return;  // the window is gone
  const bool input = event.kind == PlatformEvent::Kind::PointerDown ||
                     event.kind == PlatformEvent::Kind::PointerUp ||
                     event.kind == PlatformEvent::Kind::Click ||
                     event.kind == PlatformEvent::Kind::CloseRequest;
  // While a modal window is open, only it takes input; the rest wait.
  if (input && !modal_.empty() && modal_.back() != form) return;
  Control* control = form->ControlFor(event.control);
  switch (event.kind) {
    case PlatformEvent::Kind::PointerDown:
      if (control != nullptr) form->OnMouseDown(*control, event.buttons, event.shift);
      break;
    case PlatformEvent::Kind::PointerUp:
      if (control != nullptr) form->OnMouseUp(*control, event.buttons, event.shift);
      break;
    case PlatformEvent::Kind::PointerMove:
      form->OnMouseMove(control);
      break;
    case PlatformEvent::Kind::Click:
      if (control != nullptr) form->OnClick(*control);
      break;
    case PlatformEvent::Kind::CloseRequest:
      form->OnCloseRequest();
      break;
    case PlatformEvent::Kind::Paint:
      form->OnPaint();
      break;
    case PlatformEvent::Kind::SessionEnding:
    case PlatformEvent::Kind::QuitRequest:
    case PlatformEvent::Kind::ScreenChanged:
      break;
  }
}

void Platform::PopModal(Form* form) {
  auto it = std::find(modal_.begin(), modal_.end(), form);
  if (it != modal_.end()) modal_.erase(it);
}

float Platform::Rnd() {
  return backend_.Rnd();
}
void Platform::Randomize() {
  backend_.Randomize();
}
LocalTime Platform::Now() {
  return backend_.Now();
}

MessageResult Platform::MsgBox(const std::string& text, MessageStyle style) {
  UpdateWakeup();  // timers keep running inside the box
  const MessageResult result = backend_.MessageBox(text, style, AppTitle());
  if (ended_) throw ProgramEnded{};
  return result;
}

std::string Platform::AppPath() {
  return backend_.AppPath();
}
std::string Platform::AppExeName() {
  return backend_.AppExeName();
}
char Platform::PathSeparator() {
  return backend_.PathSeparator();
}
std::string Platform::UserSettingsDir() {
  return backend_.UserSettingsDir();
}
FileAccess Platform::ProbeFile(const std::string& path) {
  return backend_.ProbeFile(path);
}
bool Platform::FolderWritable(const std::string& folder) {
  return backend_.FolderWritable(folder);
}
bool Platform::MakeFolder(const std::string& folder) {
  return backend_.MakeFolder(folder);
}
bool Platform::CopyFile(const std::string& from, const std::string& to) {
  return backend_.CopyFile(from, to);
}
bool Platform::ClaimSingleInstance() {
  return backend_.ClaimSingleInstance();
}

std::string Platform::ReadProfileString(const std::string& section, const std::string& key,
                                        const std::string& path) {
  return backend_.ReadProfileString(section, key, path);
}

bool Platform::WriteProfileString(const std::string& section, const std::string& key,
                                  const std::string& value, const std::string& path) {
  return backend_.WriteProfileString(section, key, value, path);
}

void Platform::End() {
  if (!ended_) {
    ended_ = true;
    // Every window closes at once; no unload handler runs.
    for (Form* form : forms_) {
      form->native_.reset();
      form->loaded_ = false;
      ++form->generation_;
    }
    modal_.clear();
    queue_.clear();
    backend_.End();
  }
  throw ProgramEnded{};
}

}  // namespace marivo
