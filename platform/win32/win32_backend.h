// Marivo2 on the Windows desktop: the window layer's backend on plain
// Win32 (user32, gdi32, kernel32, and comctl32 for the tooltips).
//
// What it does:
// - Every window of the catalogue becomes a native window. Sprite windows
//   are borderless pop-up tool windows that stay out of the task bar and are
//   never activated by a click; they are cut to their outline with
//   ExtCreateRegion and SetWindowRgn. The control bar has a one-pixel
//   border. Dialogs are captioned, fixed-frame windows with real push
//   buttons (the default one answers Enter).
// - Windows paint themselves from the window layer's state with GDI, into
//   an off-screen bitmap first: background, picture, labels, lines, frames,
//   picture boxes, printed text. Japanese text goes through the wide APIs in
//   MS PGothic / MS PMincho when installed, else another Japanese face.
// - The pump blocks in MsgWaitForMultipleObjectsEx until a message or the
//   deadline. The game's next timer is a SetTimer on a hidden window; while
//   a popup menu or a message box runs its own loop, that timer runs the
//   game's due timers there.
// - Screen metrics from the primary monitor's work area, the settings file
//   through the private-profile functions, the session end.
//
// - High DPI: the process is system-DPI-aware and draws the whole game at
//   one whole-number factor of the system DPI (96 and 120 dpi: 1, 144 and
//   192: 2, 288: 3): pictures and outlines blown up pixel for pixel, fonts
//   at the matching size; the game sees a screen of desktop pixels / factor.
// - The sprites are owned by the hidden service window (no task-bar
//   buttons); it also hears screen and work-area changes.
//
// What it lacks: the task bar is assumed at the bottom of the screen.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The window layer has a MessageBox, a CopyFile and a WriteProfileString of
// its own.
#undef MessageBox
#undef CopyFile
#undef WriteProfileString

#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/random.h"

namespace marivo::win32 {

class Win32Backend final : public Backend {
 public:
  explicit Win32Backend(HINSTANCE instance);
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

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
  char PathSeparator() override { return '\\'; }
  std::string UserSettingsDir() override;
  FileAccess ProbeFile(const std::string& path) override;
  bool FolderWritable(const std::string& folder) override;
  bool MakeFolder(const std::string& folder) override;
  bool CopyFile(const std::string& from, const std::string& to) override;
  bool ClaimSingleInstance() override;
  void End() override;

 private:
  class Window;
  friend class Window;
  class ModalLoop;

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ServiceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnServiceMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  void Post(const PlatformEvent& event);
  void PostScreenChanged();
  void SessionEnding(bool dispatchNow);
  void CloseModalLoops();
  void GiveBackForeground();
  bool RouteDialogMessage(MSG& msg);
  HFONT FontFor(const FontDesign& font);
  HICON IconFor(const assets::Image* image, int size);
  const std::vector<std::string>& JapaneseFaces();
  std::wstring ModuleFileName();

  HINSTANCE instance_;
  // The whole-number factor the game is drawn at, from the system DPI
  // (fixed for the process: it is system-DPI-aware), and where the game's
  // pixel row 0 lies on the desktop (see ScaleDesktop).
  int scale_ = 1;
  int originY_ = 0;
  // The window that had the foreground before the popup menu took it, to
  // be given back once the chosen item's handler has opened no dialog.
  HWND restoreForeground_ = nullptr;
  ATOM formClass_ = 0;
  ATOM serviceClass_ = 0;
  // A hidden top-level window: it carries the wakeup timer and receives the
  // session-end broadcast, which message-only windows never get.
  HWND service_ = nullptr;
  EventSink* sink_ = nullptr;
  std::uint64_t posted_ = 0;
  int modalDepth_ = 0;
  bool modalEnded_ = false;  // the game ended inside a native modal loop
  std::exception_ptr modalFailure_;
  bool sessionEndPosted_ = false;
  bool ended_ = false;
  LcgRandom random_;
  // Test-only: every Randomize seeds with this instead of the clock
  // (MARIVO2_TEST_SEED).
  std::optional<std::uint32_t> testSeed_;
  std::map<std::string, HFONT> fonts_;
  std::map<std::pair<const assets::Image*, int>, HICON> icons_;
  std::optional<std::vector<std::string>> japaneseFaces_;
  HANDLE instanceClaim_ = nullptr;  // the one-copy mutex, kept for the process's life
};

}  // namespace marivo::win32
