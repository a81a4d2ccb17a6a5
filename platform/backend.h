// The interface every desktop backend implements.
//
// The window layer (platform.h) owns all the semantics the game relies on:
// loading on first use, design values, twips, timers and their nesting,
// modal loops, End. A backend only realises windows on a desktop (or in the
// off-screen model), reports input and blocks until something happens.
//
// Contract in short:
// - Game handlers never run inside a backend call, with one exception:
//   while a backend runs a native modal loop of its own (a popup menu, a
//   message box), it calls EventSink::RunDueTimers when the wakeup set by
//   ScheduleWakeup passes, so the game's timers keep running there, and a
//   request to end the program (the session ending, a close request to the
//   program) is answered there at once: posting one sets the wakeup to now.
//   If that call throws ProgramEnded, the backend must catch it, close its
//   modal loop and return normally; the window layer rethrows on return.
// - Everything else the desktop reports is handed to EventSink::Post and
//   dispatched by the window layer after the backend call returns.
// - PollEvents never blocks. WaitEvents blocks until at least one event has
//   been posted or the tick count reaches the deadline; it never spins.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assets/images.h"
#include "platform/catalogue.h"
#include "platform/state.h"
#include "platform/types.h"

namespace marivo {

struct PlatformEvent {
  enum class Kind {
    PointerDown,    // buttons: the bit of the pressed button
    PointerUp,      // buttons: the bit of the released button
    PointerMove,    // control: the element under the pointer, -1 for the window itself
    Click,          // a command button was clicked
    CloseRequest,   // the title bar's close button, or any request to close that window
    QuitRequest,    // a request to close the program as a whole (not one of its windows)
    Paint,          // the window was repainted
    SessionEnding,  // the desktop session is ending (logoff, shutdown, signal)
    ScreenChanged,  // the primary screen's size or usable area changed
  };
  Kind kind = Kind::Paint;
  WindowId window = WindowId::frmMan;
  int control = -1;  // index into the window's design controls, -1 for the window
  int buttons = 0;
  int shift = 0;
  int x = 0, y = 0;  // pixels within the control (or window)
};

class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void Post(const PlatformEvent& event) = 0;
  // Answers a pending request to end the program and fires the game's
  // timers that are due; only for native modal loops.
  virtual void RunDueTimers() = 0;
};

// A region built from a shape record; owned by the window once set.
class NativeRegion {
 public:
  virtual ~NativeRegion() = default;
};

// What this run may do with a file it is about to use as its record.
enum class FileAccess {
  Missing,     // no such file
  ReadWrite,   // can be read and replaced
  ReadOnly,    // can be read, not replaced
  Unreadable,  // exists but cannot be read (mode bits, another owner)
};

struct MenuEntry {
  int control = -1;  // index of the item in the menu window's design controls
  std::string caption;
  bool separator = false;
};

class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  // Outer frame, in pixels.
  virtual void SetBounds(int left, int top, int width, int height) = 0;
  virtual void SetVisible(bool visible) = 0;
  // A modal window takes all input until it closes.
  virtual void SetModal(bool modal) = 0;
  virtual void SetBackColor(Color color) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetPicture(const assets::Image* picture) = 0;
  // 0: top of the stacking order; 1: bottom, behind every other window.
  virtual void ZOrder(int position) = 0;
  // Sets the window's shape; false when the window refuses it. `tag` names
  // the shape slot, for journals.
  virtual bool SetRegion(std::unique_ptr<NativeRegion> region, int tag) = 0;
  // A control's state changed (the state is the window layer's, read it).
  virtual void ControlChanged(int control) = 0;
  // The drawing surface changed (Cls or Print).
  virtual void DrawingChanged() = 0;
  // Puts the window in the top-most band without moving or sizing it.
  virtual void SetTopMost() = 0;
  virtual std::uintptr_t Handle() const = 0;
};

class Backend {
 public:
  virtual ~Backend() = default;

  virtual void Attach(EventSink& sink) = 0;

  // Screen metrics and frames.
  virtual ScreenInfo Screen() = 0;
  virtual FrameInsets Insets(BorderStyle border) = 0;

  // Milliseconds on a 32-bit counter that wraps.
  virtual std::uint32_t TickCount() = 0;
  virtual void PollEvents() = 0;
  // Blocks until an event is posted or the tick count reaches `deadline`
  // (no deadline: until an event).
  virtual void WaitEvents(std::optional<std::uint32_t> deadline) = 0;
  // When the game's next timer is due; see the contract above.
  virtual void ScheduleWakeup(std::optional<std::uint32_t> deadline) = 0;

  // Windows are created hidden, from the design and the initial state; the
  // state object lives as long as the native window and stays current.
  virtual std::unique_ptr<NativeWindow> CreateNativeWindow(const WindowDesign& design,
                                                           const WindowState& state) = 0;
  // Builds a region from an RGNDATA-layout record; null when it cannot.
  virtual std::unique_ptr<NativeRegion> BuildRegion(const void* data, std::uint32_t bytes) = 0;
  virtual int TextWidthPx(const FontDesign& font, std::string_view text) = 0;

  // Shows the entries at the pointer; returns the chosen entry's control or
  // -1 when dismissed.
  virtual int PopupMenu(NativeWindow* owner, const std::vector<MenuEntry>& entries) = 0;
  virtual MessageResult MessageBox(const std::string& text, MessageStyle style,
                                   const std::string& caption) = 0;

  virtual LocalTime Now() = 0;
  // A uniform draw in [0, 1) with single-precision resolution; reseeding.
  virtual float Rnd() = 0;
  virtual void Randomize() = 0;

  // The settings file: the value (at most 510 characters), or empty.
  virtual std::string ReadProfileString(const std::string& section, const std::string& key,
                                        const std::string& path) = 0;
  // False when the write was refused.
  virtual bool WriteProfileString(const std::string& section, const std::string& key,
                                  const std::string& value, const std::string& path) = 0;

  // The executable's folder and its name without extension; the separator
  // used in paths; the per-user settings folder for this program (created
  // on demand by the caller).
  virtual std::string AppPath() = 0;
  virtual std::string AppExeName() = 0;
  virtual char PathSeparator() = 0;
  virtual std::string UserSettingsDir() = 0;

  // Files and folders around the record. ProbeFile tells what this run may
  // do with an existing file; FolderWritable whether a new file can be
  // created in `folder` (false when it does not exist); MakeFolder creates
  // the folder and its parents; CopyFile copies bytes, false on any failure.
  virtual FileAccess ProbeFile(const std::string& path) = 0;
  virtual bool FolderWritable(const std::string& folder) = 0;
  virtual bool MakeFolder(const std::string& folder) = 0;
  virtual bool CopyFile(const std::string& from, const std::string& to) = 0;

  // One copy of the game per user: true when this run holds the claim (it
  // keeps it until the process ends, however it ends), false when another
  // running copy has it. A claim left by a copy that died must not count.
  virtual bool ClaimSingleInstance() = 0;

  // The program ends: every native window is already destroyed.
  virtual void End() = 0;
};

}  // namespace marivo
