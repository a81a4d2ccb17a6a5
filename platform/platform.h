// The window layer the game is written against.
//
// Forms are C++ objects that live for the whole run. A form is "loaded"
// while it has a native window: the first use of any of its properties,
// methods or controls loads it (hidden), gives it its design values and
// runs its load handler; Unload destroys the native window and resets the
// design state, and a later use loads it afresh. Positions and sizes are
// twips and read back exactly as set.
//
// There is one thread. Handlers run from the pump: DoEvents runs what is
// pending; PumpUntil also blocks until the next event or the deadline.
// Timers fire in deadline order, ties broken by creation order; switching a
// timer on restarts its interval, and a timer switched on again inside its
// own handler fires nested inside that handler when the handler pumps.
// End unwinds every handler at once by throwing ProgramEnded.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "assets/images.h"
#include "platform/backend.h"
#include "platform/catalogue.h"
#include "platform/state.h"
#include "platform/types.h"

namespace marivo {

class Form;
class Control;
class Timer;
class MenuItem;

// Thrown by End; caught only at the top of the program (or of a test).
struct ProgramEnded {};

class Platform final : public EventSink {
 public:
  explicit Platform(Backend& backend);
  ~Platform() override;
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;

  Backend& GetBackend() { return backend_; }

  // Screen, in twips where the game measures in twips.
  double ScreenWidth();
  double ScreenHeight();
  int TwipsPerPixelX();
  int TwipsPerPixelY();
  int FullScreenClientHeight();  // pixels
  int CaptionHeight();           // pixels

  std::uint32_t TickCount();
  // Runs every pending event and every due timer once, then returns.
  void DoEvents();
  // As DoEvents; when nothing was pending, blocks until the next event,
  // the next timer or the deadline, whichever comes first, and runs it.
  void PumpUntil(std::optional<std::uint32_t> deadline);
  // Pumps until the program ends (the top-level loop). Returns normally
  // when End was called.
  void Run();

  float Rnd();
  void Randomize();
  LocalTime Now();
  MessageResult MsgBox(const std::string& text, MessageStyle style = MessageStyle::OkOnly);
  std::string AppTitle() const { return "Marivo2"; }
  std::string AppPath();
  std::string AppExeName();
  char PathSeparator();
  std::string UserSettingsDir();
  FileAccess ProbeFile(const std::string& path);
  bool FolderWritable(const std::string& folder);
  bool MakeFolder(const std::string& folder);
  bool CopyFile(const std::string& from, const std::string& to);
  bool ClaimSingleInstance();
  std::string ReadProfileString(const std::string& section, const std::string& key,
                                const std::string& path);
  bool WriteProfileString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& path);

  // Ends the program at once: every window closes without its handlers and
  // nothing is saved. Throws ProgramEnded.
  [[noreturn]] void End();
  bool Ended() const { return ended_; }

  // Called when the desktop session ends; the game saves and ends there.
  void SetSessionEndingHandler(std::function<void()> handler) {
    sessionEnding_ = std::move(handler);
  }
  // Called when the program is asked to close: a close request to a window
  // that does not close by itself (anything but a dialog on the screen), or
  // to the program as a whole. Both requests are answered even while a
  // modal window or a native modal loop (a menu, a message box) is open.
  void SetQuitRequestHandler(std::function<void()> handler) { quitRequest_ = std::move(handler); }
  // Called when the primary screen's size or usable area changed; screen
  // metrics read after it are the new ones.
  void SetScreenChangedHandler(std::function<void()> handler) {
    screenChanged_ = std::move(handler);
  }

  // Twips to whole pixels, the way the native windows are placed.
  int ToPixelsX(double twips);
  int ToPixelsY(double twips);

  // EventSink.
  void Post(const PlatformEvent& event) override;
  void RunDueTimers() override;

 private:
  friend class Form;
  friend class Control;
  void Register(Form& form);
  Form* FormFor(WindowId id);
  bool RunPending();
  bool FireDueTimers();
  std::optional<std::uint32_t> NextTimerDeadline();
  void UpdateWakeup();
  void Dispatch(const PlatformEvent& event);
  // Whether `event` asks the program to end (see SetQuitRequestHandler).
  bool EndsTheProgram(const PlatformEvent& event);
  // Answers the first pending request to end the program; false if none.
  bool DispatchEndRequest();
  std::uint64_t NextOrder() { return ++orderCounter_; }
  void PushModal(Form* form) { modal_.push_back(form); }
  void PopModal(Form* form);
  std::optional<ScreenInfo> screen_;
  const ScreenInfo& Screen();

  Backend& backend_;
  std::vector<Form*> forms_;
  std::deque<PlatformEvent> queue_;
  std::vector<Form*> modal_;
  std::function<void()> sessionEnding_;
  std::function<void()> screenChanged_;
  std::function<void()> quitRequest_;
  std::uint64_t orderCounter_ = 0;
  bool ended_ = false;
};

class Form {
 public:
  Form(Platform& platform, WindowId id);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  WindowId Id() const { return id_; }
  const WindowDesign& GetDesign() const { return design_; }
  Platform& GetPlatform() { return platform_; }
  bool IsLoaded() const { return loaded_; }
  // Increases at every load and unload; lets a caller notice either.
  std::uint64_t Generation() const { return generation_; }

  void Load();
  void Show(bool modal = false);
  void Hide();
  void Unload();

  double Left();
  double Top();
  double Width();
  double Height();
  void SetLeft(double twips);
  void SetTop(double twips);
  void SetWidth(double twips);
  void SetHeight(double twips);
  void Move(double left, double top);
  void Move(double left, double top, double width, double height);
  bool Visible();
  void SetVisible(bool visible);
  Color BackColor();
  void SetBackColor(Color color);
  std::string Caption();
  void SetCaption(const std::string& caption);
  const assets::Image* Picture();
  void SetPicture(const assets::Image* picture);
  void ZOrder(int position = 0);

  // The drawing surface.
  void Cls();
  double CurrentY();
  void SetCurrentY(double twips);
  void Print(std::string_view text);
  double TextWidth(std::string_view text);

  std::uintptr_t hWnd();
  // Builds a region from an RGNDATA record and sets it as the window's
  // shape. `tag` names the slot for journals.
  ShapeResult SetShape(const void* data, std::uint32_t bytes, int tag);
  void SetTopMost();
  // Shows the visible children of `item` at the pointer, over this window;
  // returns after the chosen item's click handler has run.
  void PopupMenu(MenuItem& item);

  // For backends and tests: the state (loads nothing).
  const WindowState& State() const { return state_; }

 protected:
  virtual void OnLoad() {}
  virtual void OnPaint() {}
  virtual void OnTimer(Timer&) {}
  virtual void OnMouseDown(Control&, int /*button*/, int /*shift*/) {}
  virtual void OnMouseUp(Control&, int /*button*/, int /*shift*/) {}
  // `over` is null when the pointer moves over the window's own surface.
  virtual void OnMouseMove(Control* /*over*/) {}
  virtual void OnClick(Control&) {}
  // The title bar's close button of a dialog; unloads by default. (A close
  // request to any other window is a request to close the program.)
  virtual void OnCloseRequest() { Unload(); }

 private:
  friend class Platform;
  friend class Control;
  void EnsureLoaded() {
    if (!loaded_) Load();
  }
  void ResetToDesign();
  void PushBounds();
  ControlState& ControlAt(int slot);
  void ControlChanged(int slot);
  void RegisterControl(int slot, Control* control) { controls_[slot] = control; }
  Control* ControlFor(int slot) {
    return slot >= 0 && slot < int(controls_.size()) ? controls_[slot] : nullptr;
  }
  int FindControl(std::string_view name, int index) const;

  Platform& platform_;
  WindowId id_;
  const WindowDesign& design_;
  WindowState state_;
  std::vector<Control*> controls_;
  std::unique_ptr<NativeWindow> native_;
  bool loaded_ = false;
  std::uint64_t generation_ = 0;
};

class Control {
 public:
  Control(Form& form, std::string_view name, int index = -1);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Form& Parent() const { return form_; }
  std::string_view Name() const;
  int Index() const;
  int Slot() const { return slot_; }

  bool Visible();
  void SetVisible(bool visible);

 protected:
  ControlState& State() { return form_.ControlAt(slot_); }
  void Changed() { form_.ControlChanged(slot_); }

  Form& form_;
  int slot_;
};

class Timer : public Control {
 public:
  using Control::Control;
  bool Enabled();
  void SetEnabled(bool enabled);
  int Interval();
  void SetInterval(int milliseconds);
};

class PictureBox : public Control {
 public:
  using Control::Control;
  const assets::Image* Picture();
  void SetPicture(const assets::Image* picture);
  Color BackColor();
  void SetBackColor(Color color);
  double Left();
  double Top();
  double Width();
  double Height();
  void SetWidth(double twips);
  std::string ToolTipText();
  void SetToolTipText(const std::string& text);
};

class Label : public Control {
 public:
  using Control::Control;
  std::string Caption();
  void SetCaption(const std::string& caption);
};

class Line : public Control {
 public:
  using Control::Control;
  double X1();
  double Y1();
  double X2();
  double Y2();
  void SetX1(double twips);
  void SetY1(double twips);
  void SetX2(double twips);
  void SetY2(double twips);
};

class CommandButton : public Control {
 public:
  using Control::Control;
  std::string Caption();
};

class ImageBox : public Control {
 public:
  using Control::Control;
};

class ShapeBox : public Control {
 public:
  using Control::Control;
};

class MenuItem : public Control {
 public:
  using Control::Control;
  std::string Caption();
};

// The elements of a control array, addressed by their index: Picture1(3).
template <class T>
class ControlArray {
 public:
  ControlArray(Form& form, std::string_view name) {
    const auto& controls = form.GetDesign().controls;
    for (const ControlDesign& c : controls) {
      if (c.name == name && c.index >= 0) {
        elements_.emplace(c.index, std::make_unique<T>(form, name, c.index));
      }
    }
  }
  T& operator()(int index) {
    auto it = elements_.find(index);
    if (it == elements_.end()) throw std::out_of_range("no such element in a control array");
    return *it->second;
  }
  bool Has(int index) const { return elements_.count(index) != 0; }
  int Count() const { return static_cast<int>(elements_.size()); }
  // Which element `control` is, or -1.
  int IndexOf(const Control& control) const {
    for (const auto& [index, element] : elements_) {
      if (element.get() == &control) return index;
    }
    return -1;
  }

 private:
  std::map<int, std::unique_ptr<T>> elements_;
};

}  // namespace marivo
