// The Qt 6 Widgets backend: the game on a real X11 desktop.
//
// What it does:
// - every window of the catalogue as a top-level QWidget: sprite windows
//   (no border) and the control bar are frameless normal windows that skip
//   the task list and the pager, never take the focus and carry no
//   compositor shadow (x11_desktop.h), unmanaged under XWayland, cut to
//   their outline by an X shape (on XWayland by a transparent background
//   alone); dialogs are fixed-size windows with
//   a title bar and a close button (the close is reported, never obeyed);
// - pictures, picture boxes, labels, lines, the frame rectangle, printed
//   text and the control bar's thin border painted from the window layer's
//   state; command buttons are real QPushButtons; tooltips on pictures;
// - pointer presses and releases (left 1, right 2, middle 4) on picture
//   boxes, pointer moves over dialogs, button clicks, close requests (a
//   window of ours destroyed by another client counts as a request to
//   close the program);
// - a blocking pump: PollEvents processes what is pending, WaitEvents sleeps
//   in Qt's event dispatcher until an input arrives or the deadline passes;
//   the game's timers keep running inside the popup menu and message boxes;
// - the usable bottom edge from the primary screen's available geometry
//   (on sway, which publishes none, from its IPC, following its bar and
//   workspaces through its events), raised to the top of a panel along the
//   bottom edge that reserves no room there (an autohiding dock, shown or
//   hidden, followed as it moves), 15 twips per logical
//   pixel; pixel art is scaled without smoothing on a high-density screen;
// - under sway, the sprites kept on top of the X server's stacking order,
//   where XWayland looks for the window a press belongs to (sway draws
//   them on top whatever that order);
// - sprite windows cut to the usable area: what the game places below the
//   usable bottom or past the screen's edge is cut from the native window
//   and its picture offset, so no window manager has a window to pull back;
//   transparent outside the outline for compositors that ignore X shapes;
// - IPA P Gothic / IPA P Mincho for the Japanese faces, falling back to any
//   installed Japanese font; Qt reads only the fonts the game can draw with
//   (font_selection.h);
// - SIGTERM, SIGINT, SIGHUP and the session manager's save request reported
//   as the session ending; a change of the primary screen's size or usable
//   area, or of which screen is primary, reported as ScreenChanged;
// - the focus handed back to the window that had it when the popup menu is
//   dismissed.
// What it lacks:
// - Wayland: it runs on X11 (XWayland is fine), since the scene needs
//   absolute window positions; under XWayland sway draws the unmanaged
//   sprites above other programs and weston's panel covers the scene (no
//   work area there);
// - the frame sizes of decorated windows are fixed guesses (3 pixels, a
//   19-pixel caption), not measured from the window manager;
// - the top-most band is honoured only as far as the window manager keeps
//   Qt::WindowStaysOnTopHint;
// - scale factors that are not whole numbers: a hand-set one is rounded to
//   a whole number at start-up (main.cpp), so 1.5 draws at 2.
#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/backend.h"
#include "platform/posix/posix_files.h"
#include "platform/qt/startup_trace.h"
#include "platform/qt/sway_ipc.h"
#include "platform/qt/x11_desktop.h"
#include "platform/random.h"

class QAbstractNativeEventFilter;
class QApplication;
class QScreen;
class QWidget;

namespace marivo::qt {

class SignalWatch;
class QtWindow;

class QtBackend final : public Backend {
 public:
  struct Options {
    // Where the 32-bit tick count starts (tests start it near the wrap).
    std::uint32_t startTick = 0;
    // Watch SIGTERM, SIGINT and SIGHUP (the program; tests leave it off).
    bool watchSignals = true;
    // Where the start's timings go (startup_trace.h); none: not traced.
    StartupTrace* trace = nullptr;
    // Read the system's font list on a thread of its own from the start
    // (the program): the scene is shown without waiting for it, and labels
    // and printed text are drawn once it is ready. Off, it is read at the
    // first text, as the tests have it.
    bool fontsInBackground = false;
    // Runs on that thread before it reads the font list (tests hold it).
    std::function<void()> beforeFontLoad;
    // Let Qt see only the fonts the game can draw with (font_selection.h),
    // set up before the font list is read (the program; tests see all).
    bool gameFontsOnly = false;
    // Open the desktop session's message bus on a thread of its own from
    // the start (the program), instead of when the first window is shown.
    bool sessionBusEarly = false;
    // Test-only: every Randomize seeds with this instead of the clock
    // (main.cpp reads MARIVO2_TEST_SEED).
    std::optional<std::uint32_t> testSeed;
  };

  explicit QtBackend(Options options);
  ~QtBackend() override;
  QtBackend(const QtBackend&) = delete;
  QtBackend& operator=(const QtBackend&) = delete;

  // ---- Backend
  void Attach(EventSink& sink) override { sink_ = &sink; }
  ScreenInfo Screen() override;
  FrameInsets Insets(BorderStyle border) override;
  std::uint32_t TickCount() override;
  void PollEvents() override;
  void WaitEvents(std::optional<std::uint32_t> deadline) override;
  void ScheduleWakeup(std::optional<std::uint32_t> deadline) override;
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
  std::string AppPath() override;
  std::string AppExeName() override;
  char PathSeparator() override { return '/'; }
  std::string UserSettingsDir() override;
  FileAccess ProbeFile(const std::string& path) override;
  bool FolderWritable(const std::string& folder) override;
  bool MakeFolder(const std::string& folder) override;
  bool CopyFile(const std::string& from, const std::string& to) override;
  bool ClaimSingleInstance() override;
  void End() override;

  // ---- for the windows
  // Hands an input to the window layer and wakes a blocked WaitEvents.
  void Post(const PlatformEvent& event);
  // The embedded picture as a QImage, converted once.
  const QImage& ImageFor(const assets::Image* image);
  // The Qt font for a design font, resolved once; waits for the font list
  // when it is still being read.
  const QFont& Font(const FontDesign& design);
  bool Ended() const { return ended_; }
  // Whether text can be drawn without waiting for the font list.
  bool FontsReady() const { return fontsReady_; }
  // The start-up window is being shown (the scene is built), and painted.
  void NoteShowing(WindowId id);
  void NoteShown(WindowId id);
  StartupTrace& Trace() { return *trace_; }
  // The X11 side of the desktop (does nothing off X11).
  X11Desktop& Desktop() { return desktop_; }
  // Where a sprite's native window may stand, in logical pixels: the
  // primary screen across, down to the usable bottom.
  QRect AllowedArea();
  // Live windows, cut anew to the usable area when it changes, in our own
  // stacking order (bottom first): the order the game asked for, which
  // not every compositor keeps.
  void Register(QtWindow* window) { windows_.push_back(window); }
  void Unregister(QtWindow* window);
  // `window` went to the bottom (or the top) of our order.
  void Restack(QtWindow* window, bool bottom);
  // What our windows above `window` cover on the screen.
  QRegion CoveredAbove(const QtWindow* window) const;
  // Our windows below `window` are cut anew (only where that matters:
  // XWayland, see QtWindow::Drawn).
  void ReclipBelow(const QtWindow* window);

  // ---- for tests
  // The native window's widget.
  static QWidget* WidgetOf(NativeWindow* window);
  // How many times the modal-loop wakeup ran the game's timers.
  int ModalTimerRuns() const { return modalTimerRuns_; }

 private:
  // Runs a native modal loop with the game's timers kept going; `close`
  // ends the loop when the game ends inside it.
  void RunModal(const std::function<void()>& exec, const std::function<void()>& close);
  void OnWakeup();
  // The font list has been read: the text left out so far is drawn.
  void OnFontsReady();
  void ArmWakeup();
  // Follows the primary screen: its size and usable area, and which screen
  // is primary; each change is reported as ScreenChanged.
  void WatchScreen(QScreen* screen);
  // `usable`: the new usable area when it is known already, else it is
  // read again when next needed.
  void PostScreenChanged(std::optional<QRect> usable = std::nullopt);
  // A bottom panel that reserves no room moved, showed or hid: when that
  // moves the usable bottom, it is reported as a screen change.
  void OnDocksChanged();
  // The primary screen's usable area, in logical pixels: the work area the
  // window manager publishes; on sway, which publishes none to X clients,
  // the focused workspace's rectangle from its IPC; else the whole screen.
  // It ends above a panel along the bottom edge that reserves no room
  // there (X11Desktop::Docks), so that panel never covers the scene.
  QRect UsableArea(QScreen* screen);
  // A workspace rectangle from sway's IPC, in logical pixels of the screen.
  static QRect SwayArea(const IpcRect& ws, QScreen* screen);
  // A rectangle read after one of sway's events: a usable area other than
  // the one the scene stands on is a screen change. Whether it was news.
  bool FollowSway(const IpcRect& ws);
  // Puts the sprites back on top of the X server's stacking order, in the
  // game's order, at the next turn of the event loop (under sway only).
  void KeepSpritesOnTop();
  // Whether an X window is one of this program's top levels.
  bool OwnWindow(std::uint32_t window) const;
  // Whether an X window is, right now, the native window of one of the
  // game's windows. Qt's own passing windows (a tooltip, a menu) are not
  // counted, nor a native window Qt has already let go of: Qt destroys
  // and replaces a tooltip's native window while the widget still reports
  // the old id.
  bool GameWindow(std::uint32_t window) const;

  Options options_;
  EventSink* sink_ = nullptr;
  QElapsedTimer clock_;
  QTimer waitTimer_;    // wakes WaitEvents at its deadline
  QTimer wakeupTimer_;  // the game's next timer, inside native modal loops
  // Reads the bottom panels again a moment after one of them changed: a
  // dock that shows or hides moves its windows in a few steps, which are
  // taken together.
  QTimer dockTimer_;
  std::optional<std::uint32_t> wakeup_;
  std::function<void()> closeModal_;
  int modalDepth_ = 0;
  int pumpDepth_ = 0;
  int modalTimerRuns_ = 0;
  std::uint64_t posted_ = 0;
  bool ended_ = false;
  // Reads the font list when fontsInBackground is set (having first chosen
  // the fonts, with gameFontsOnly); joined at the first font the game asks
  // for or before the backend goes.
  std::thread fontLoader_;
  // Opens the session bus when sessionBusEarly is set; joined before the
  // backend goes.
  std::thread busOpener_;
  bool fontsReady_ = true;
  StartupTrace untraced_{false};
  StartupTrace* trace_ = &untraced_;
  bool layoutTraced_ = false;
  LcgRandom random_;
  std::unordered_map<const assets::Image*, QImage> images_;
  std::map<std::string, QFont> fonts_;
  std::exception_ptr pending_;  // thrown by a game timer inside a modal loop
  std::unique_ptr<SignalWatch> signals_;
  // Reports one of our windows destroyed by another client.
  std::unique_ptr<QAbstractNativeEventFilter> destroyWatch_;
  posix::InstanceLock instanceLock_;
  X11Desktop desktop_;
  QPointer<QScreen> watched_;
  std::optional<QRect> usable_;  // UsableArea of the primary screen, until it changes
  std::vector<QtWindow*> windows_;
  std::vector<QMetaObject::Connection> screenConnections_;
  // Follows sway's bar and workspaces once sway has been asked for the area.
  std::unique_ptr<SwayWatch> swayWatch_;
  bool raisePending_ = false;
  QElapsedTimer lastRaise_;
};

}  // namespace marivo::qt
