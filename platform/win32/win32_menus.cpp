// The popup menu and the message boxes: native modal loops inside which
// the game's timers keep running, and which close at once when the game
// ends from inside them.
#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_support.h"

namespace marivo::win32 {

// Marks the span of a native modal loop (popup menu, message box), during
// which the wakeup timer runs the game's due timers.
class Win32Backend::ModalLoop {
 public:
  explicit ModalLoop(Win32Backend& backend) : backend_(backend) {
    if (backend_.modalDepth_++ == 0) {
      backend_.modalEnded_ = false;
      backend_.modalFailure_ = nullptr;
    }
  }
  ~ModalLoop() { --backend_.modalDepth_; }
  ModalLoop(const ModalLoop&) = delete;
  ModalLoop& operator=(const ModalLoop&) = delete;
  // After the loop: a failure of a game handler inside it goes on from here.
  void Finish() {
    if (backend_.modalDepth_ == 1 && backend_.modalFailure_) {
      std::exception_ptr failure = backend_.modalFailure_;
      backend_.modalFailure_ = nullptr;
      std::rethrow_exception(failure);
    }
  }

 private:
  Win32Backend& backend_;
};

namespace {
BOOL CALLBACK CloseMessageBox(HWND hwnd, LPARAM) {
  wchar_t name[16] = {};
  GetClassNameW(hwnd, name, 16);
  if (std::wcscmp(name, L"#32770") == 0) EndDialog(hwnd, IDCANCEL);
  return TRUE;
}
}  // namespace

namespace {
// Whether a captioned window of this program (a dialog, a message box) is
// on the screen.
BOOL CALLBACK FindDialog(HWND hwnd, LPARAM found) {
  if (IsWindowVisible(hwnd) && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

void Win32Backend::GiveBackForeground() {
  HWND previous = restoreForeground_;
  restoreForeground_ = nullptr;
  if (previous == nullptr || !IsWindow(previous) || ended_) return;
  bool dialog = false;
  EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) SetForegroundWindow(previous);
}

void Win32Backend::CloseModalLoops() {
  EndMenu();
  EnumThreadWindows(GetCurrentThreadId(), &CloseMessageBox, 0);
}

int Win32Backend::PopupMenu(NativeWindow* owner, const std::vector<MenuEntry>& entries) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return -1;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].separator) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, MF_STRING, i + 1, Wide(entries[i].caption).c_str());
    }
  }
  HWND hwnd = owner != nullptr ? reinterpret_cast<HWND>(owner->Handle()) : service_;
  POINT at{};
  GetCursorPos(&at);
  if (GetCapture() != nullptr) ReleaseCapture();
  // The menu closes on a click elsewhere only when its owner is in front;
  // the window the player was typing in gets the foreground back after.
  HWND previous = GetForegroundWindow();
  SetForegroundWindow(hwnd);
  int command = 0;
  {
    ModalLoop loop(*this);
    command = TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x,
        at.y, 0, hwnd, nullptr);
    if (IsWindow(hwnd)) PostMessageW(hwnd, WM_NULL, 0, 0);
    DestroyMenu(menu);
    loop.Finish();
  }
  restoreForeground_ = previous != hwnd ? previous : nullptr;
  const bool chosen = !modalEnded_ && command > 0 && command <= int(entries.size());
  // Nothing chosen: give it back now. Otherwise once the item's handler has
  // run, unless it opened a dialog (which then has the keyboard).
  if (!chosen) GiveBackForeground();
  if (modalEnded_ || command <= 0 || command > int(entries.size())) return -1;
  return entries[command - 1].control;
}

MessageResult Win32Backend::MessageBox(const std::string& text, MessageStyle style,
                                       const std::string& caption) {
  UINT flags = MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST;
  flags |= style == MessageStyle::YesNoQuestion ? (MB_YESNO | MB_ICONQUESTION) : MB_OK;
  int answer = 0;
  {
    ModalLoop loop(*this);
    answer = ::MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), flags);
    loop.Finish();
  }
  if (style == MessageStyle::OkOnly) return MessageResult::Ok;
  return answer == IDYES ? MessageResult::Yes : MessageResult::No;
}

}  // namespace marivo::win32
