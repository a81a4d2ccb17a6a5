// A small Win32 console program the Wine checks run beside marivo2.exe to
// see the desktop the way Windows itself sees it: top-level windows with
// their owners, styles and rectangles, the task bar's rule for each, the
// foreground window, the text of a window's controls, the system DPI and
// the work area. It can also change the screen mode or the work area, as a
// user changing the display settings or moving the task bar would, and
// end the session for one process, as a logoff does.
//
// It declares itself DPI-aware, so every rectangle is in device pixels.
//
// Usage: probe.exe list | fg | dpi | work | later <ms> | texts <hwnd> | tray
//                  | mode <width> <height> | setwork <left> <top> <right> <bottom>
//                  | fish <float hwnd> <button x> <button y> <sea top> <upright width> <ms>
//                  | endsession <pid>
// Output is UTF-8, one record per line, fields as name=value.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace marivo {
namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// Writes bytes as they are: a pipe or file gets UTF-8, not the console's
// code page.
void Print(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), DWORD(text.size()), &written, nullptr);
}

std::string Hex(unsigned long long value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llx", value);
  return buffer;
}

std::string HandleText(HWND hwnd) {
  return Hex(reinterpret_cast<unsigned long long>(hwnd));
}

// Text of a window, also of another process's controls (WM_GETTEXT is
// carried across processes); a hung window gives up after a second.
std::wstring WindowText(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &length)) {
    return {};
  }
  std::vector<wchar_t> buffer(length + 2, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, WPARAM(buffer.size()),
                           reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, 1000,
                           &copied)) {
    return {};
  }
  return std::wstring(buffer.data(), copied);
}

std::wstring ClassName(HWND hwnd) {
  wchar_t buffer[256] = {};
  GetClassNameW(hwnd, buffer, 256);
  return buffer;
}

// The rule the Windows task bar applies to a top-level window: a visible
// window gets a button when it asks for one (WS_EX_APPWINDOW), or when it
// has no owner and is not a tool window.
bool HasTaskbarButton(HWND hwnd) {
  if (!IsWindowVisible(hwnd)) return false;
  const LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  if (ex & WS_EX_APPWINDOW) return true;
  if (GetWindow(hwnd, GW_OWNER) != nullptr) return false;
  return !(ex & WS_EX_TOOLWINDOW);
}

std::string Describe(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  RECT r{};
  GetWindowRect(hwnd, &r);
  std::string line =
      "hwnd=" + HandleText(hwnd) + " pid=" + std::to_string(pid) +
      " visible=" + (IsWindowVisible(hwnd) ? "1" : "0") +
      " owner=" + HandleText(GetWindow(hwnd, GW_OWNER)) +
      " style=" + Hex(static_cast<unsigned long>(GetWindowLongPtrW(hwnd, GWL_STYLE))) +
      " exstyle=" + Hex(static_cast<unsigned long>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE))) +
      " taskbar=" + (HasTaskbarButton(hwnd) ? "1" : "0") + " x=" + std::to_string(r.left) +
      " y=" + std::to_string(r.top) + " w=" + std::to_string(r.right - r.left) +
      " h=" + std::to_string(r.bottom - r.top) + " class=" + Utf8(ClassName(hwnd));
  // The title last: it may hold blanks.
  return line + " title=" + Utf8(WindowText(hwnd));
}

BOOL CALLBACK ListTopLevel(HWND hwnd, LPARAM) {
  Print(Describe(hwnd));
  return TRUE;
}

BOOL CALLBACK ListChild(HWND hwnd, LPARAM) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  Print("child=" + HandleText(hwnd) + " class=" + Utf8(ClassName(hwnd)) +
        " visible=" + (IsWindowVisible(hwnd) ? "1" : "0") + " x=" + std::to_string(r.left) +
        " y=" + std::to_string(r.top) + " w=" + std::to_string(r.right - r.left) +
        " h=" + std::to_string(r.bottom - r.top) + " text=" + Utf8(WindowText(hwnd)));
  return TRUE;
}

HWND ParseHandle(const char* text) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 0)));
}

// Presses (down) or releases the left button at a screen point.
void Mouse(int x, int y, bool down) {
  SetCursorPos(x, y);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  SendInput(1, &input, sizeof input);
}

// Plays one bite as a quick player would: waits until the float goes
// under (its top at or below the sea's top), strikes, then holds the
// button while it shows blue and lets go while it shows red, until the
// float window goes away (landed) or the float stands upright again (the
// fish got away). Prints what happened; the game decides everything.
int Fish(HWND floatWindow, int buttonX, int buttonY, int seaTop, int uprightW, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  auto timedOut = [&] { return GetTickCount() - start > timeoutMs; };
  RECT r{};
  for (;;) {
    if (!IsWindow(floatWindow)) {
      Print("result=gone");
      return 1;
    }
    if (timedOut()) {
      Print("result=nobite");
      return 1;
    }
    GetWindowRect(floatWindow, &r);
    if (r.top >= seaTop) break;
    Sleep(5);
  }
  // The strike counts only once the float has finished sinking, and for
  // about 200 ms from then.
  Sleep(60);
  Print("bite after=" + std::to_string(GetTickCount() - start));
  Mouse(buttonX, buttonY, true);
  const DWORD struck = GetTickCount();
  bool down = true;
  bool fought = false;
  HDC screen = GetDC(nullptr);
  int result = 1;
  for (;;) {
    if (!IsWindow(floatWindow)) {
      Print(std::string("result=") + (fought ? "landed" : "gone"));
      result = fought ? 0 : 1;
      break;
    }
    GetWindowRect(floatWindow, &r);
    const int w = r.right - r.left;
    if (w > uprightW) fought = true;
    if (fought && w == uprightW) {
      Print("result=escaped");
      break;
    }
    // A missed strike starts an empty reel instead: the float stays upright.
    if (!fought && GetTickCount() - struck > 1000) {
      Print("result=missed");
      break;
    }
    if (timedOut()) {
      Print("result=timeout");
      break;
    }
    const COLORREF colour = GetPixel(screen, buttonX, buttonY);
    const bool blue = colour == RGB(0, 0, 255);
    const bool red = colour == RGB(255, 0, 0);
    if (fought && blue && !down) {
      Mouse(buttonX, buttonY, true);
      down = true;
    } else if (red && down) {
      Mouse(buttonX, buttonY, false);
      down = false;
    }
    Sleep(10);
  }
  if (down) Mouse(buttonX, buttonY, false);
  ReleaseDC(nullptr, screen);
  return result;
}

void PrintWork() {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  Print("screen_w=" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) +
        " screen_h=" + std::to_string(GetSystemMetrics(SM_CYSCREEN)) +
        " work_l=" + std::to_string(work.left) + " work_t=" + std::to_string(work.top) +
        " work_r=" + std::to_string(work.right) + " work_b=" + std::to_string(work.bottom));
}

// The session ending, as Windows tells each program at a logoff: every
// top-level window of process `pid` is asked WM_QUERYENDSESSION, then told
// WM_ENDSESSION.
BOOL CALLBACK EndSessionOf(HWND hwnd, LPARAM pid) {
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner != DWORD(pid)) return TRUE;
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                      &answer);
  SendMessageTimeoutW(hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                      &answer);
  Print("ended " + Describe(hwnd));
  return TRUE;
}

int Usage() {
  Print("usage: probe list | fg | dpi | work | later <ms> | texts <hwnd> | tray");
  Print("       | mode <w> <h> | setwork <l> <t> <r> <b>");
  Print("       | fish <float> <button x> <button y> <sea top> <upright width> <ms>");
  Print("       | endsession <pid>");
  return 2;
}

int Run(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (command == "list") {
    EnumWindows(&ListTopLevel, 0);
  } else if (command == "fg") {
    HWND fg = GetForegroundWindow();
    if (fg == nullptr) {
      Print("hwnd=0x0");
    } else {
      Print(Describe(fg));
    }
  } else if (command == "dpi") {
    HDC dc = GetDC(nullptr);
    Print("dpix=" + std::to_string(GetDeviceCaps(dc, LOGPIXELSX)) +
          " dpiy=" + std::to_string(GetDeviceCaps(dc, LOGPIXELSY)));
    ReleaseDC(nullptr, dc);
  } else if (command == "work") {
    PrintWork();
  } else if (command == "later" && argc == 3) {
    // What a program that was already running sees after a change: this
    // process waits (with a window taking the broadcasts, as a game has)
    // and then reads the screen and work area.
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"probe", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, nullptr, nullptr);
    const DWORD end = GetTickCount() + DWORD(std::atoi(argv[2]));
    for (DWORD now = GetTickCount(); int(end - now) > 0; now = GetTickCount()) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    PrintWork();
    if (window != nullptr) DestroyWindow(window);
  } else if (command == "texts" && argc == 3) {
    HWND hwnd = ParseHandle(argv[2]);
    if (!IsWindow(hwnd)) return 1;
    Print("text=" + Utf8(WindowText(hwnd)));
    EnumChildWindows(hwnd, &ListChild, 0);
  } else if (command == "tray") {
    // The task bar's own buttons: children of the tray window.
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (tray == nullptr) {
      Print("no task bar");
      return 1;
    }
    Print(Describe(tray));
    EnumChildWindows(tray, &ListChild, 0);
  } else if (command == "fish" && argc == 8) {
    return Fish(ParseHandle(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                std::atoi(argv[6]), DWORD(std::atoi(argv[7])));
  } else if (command == "endsession" && argc == 3) {
    EnumWindows(&EndSessionOf, LPARAM(std::strtoul(argv[2], nullptr, 0)));
  } else if (command == "mode" && argc == 4) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = DWORD(std::atoi(argv[2]));
    mode.dmPelsHeight = DWORD(std::atoi(argv[3]));
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    const LONG result = ChangeDisplaySettingsW(&mode, 0);
    Print("result=" + std::to_string(result));
    return result == DISP_CHANGE_SUCCESSFUL ? 0 : 1;
  } else if (command == "setwork" && argc == 6) {
    RECT work{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])};
    const BOOL ok = SystemParametersInfoW(SPI_SETWORKAREA, 0, &work, SPIF_SENDCHANGE);
    Print(std::string("result=") + (ok ? "1" : "0"));
    return ok ? 0 : 1;
  } else {
    return Usage();
  }
  return 0;
}

}  // namespace
}  // namespace marivo

int main(int argc, char** argv) {
  SetProcessDPIAware();
  return marivo::Run(argc, argv);
}
