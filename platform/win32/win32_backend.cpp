// The backend's core: setting up the window classes and the hidden
// service window, the pump and the wakeup timer, the session end, the
// screen metrics and frames, the clock and the random numbers.
#include "platform/win32/win32_backend.h"
// The common controls (tooltips); after <windows.h>.
#include <commctrl.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_pump_timing.h"
#include "platform/win32/win32_support.h"

namespace marivo::win32 {
namespace {

constexpr UINT_PTR kWakeupTimer = 1;

}  // namespace

Win32Backend::Win32Backend(HINSTANCE instance) : instance_(instance), random_(GetTickCount()) {
  // The manifest says so too; asked here as well for systems that read
  // only one of the two (Vista and later). From now on GDI reports the
  // real DPI.
  SetProcessDPIAware();
  char seed[16] = {};
  const DWORD seedLength = GetEnvironmentVariableA("MARIVO2_TEST_SEED", seed, sizeof seed);
  if (seedLength > 0 && seedLength < sizeof seed) testSeed_ = TestSeedFrom(seed);
  HDC screenDc = GetDC(nullptr);
  scale_ = ScaleForDpi(GetDeviceCaps(screenDc, LOGPIXELSY));
  ReleaseDC(nullptr, screenDc);
  Screen();
  // The history's tooltips come from comctl32, which registers its window
  // classes only when asked.
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = &Win32Backend::FormProc;
  form.hInstance = instance_;
  form.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  form.hIcon = IconFor(&assets::IconPicture(), 32);
  form.hIconSm = IconFor(&assets::IconPicture(), 16);
  form.lpszClassName = L"Marivo2Window";
  formClass_ = RegisterClassExW(&form);

  WNDCLASSEXW service{};
  service.cbSize = sizeof service;
  service.lpfnWndProc = &Win32Backend::ServiceProc;
  service.hInstance = instance_;
  service.lpszClassName = L"Marivo2Service";
  serviceClass_ = RegisterClassExW(&service);
  if (formClass_ == 0 || serviceClass_ == 0) {
    throw std::runtime_error("could not register the window classes");
  }
  service_ = CreateWindowExW(WS_EX_TOOLWINDOW, MAKEINTATOM(serviceClass_), L"Marivo2", WS_POPUP, 0,
                             0, 0, 0, nullptr, nullptr, instance_, this);
  if (service_ == nullptr) throw std::runtime_error("could not create the service window");
}

Win32Backend::~Win32Backend() {
  if (service_ != nullptr) {
    KillTimer(service_, kWakeupTimer);
    SetWindowLongPtrW(service_, GWLP_USERDATA, 0);
    DestroyWindow(service_);
  }
  if (instanceClaim_ != nullptr) CloseHandle(instanceClaim_);
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (auto& [key, icon] : icons_) DestroyIcon(icon);
  UnregisterClassW(MAKEINTATOM(formClass_), instance_);
  UnregisterClassW(MAKEINTATOM(serviceClass_), instance_);
}

LRESULT CALLBACK Win32Backend::ServiceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* backend =
        static_cast<Win32Backend*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(backend));
  }
  auto* backend = reinterpret_cast<Win32Backend*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (backend == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return backend->OnServiceMessage(hwnd, message, wParam, lParam);
}

LRESULT Win32Backend::OnServiceMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam != kWakeupTimer) break;
      KillTimer(hwnd, kWakeupTimer);  // one shot; the window layer sets the next
      // Outside a native modal loop the tick only wakes the pump, which runs
      // the timers itself.
      if (modalDepth_ > 0 && sink_ != nullptr && !modalEnded_ && !modalFailure_) {
        try {
          sink_->RunDueTimers();
        } catch (const ProgramEnded&) {
          modalEnded_ = true;
          CloseModalLoops();
        } catch (...) {
          modalFailure_ = std::current_exception();
          CloseModalLoops();
        }
      }
      return 0;
    case WM_DISPLAYCHANGE:
      PostScreenChanged();
      break;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETWORKAREA) PostScreenChanged();
      break;
    case WM_CLOSE: {
      // A close sent to the program (taskkill without /f, a task manager):
      // the game ends as its exit item ends it. The window itself stays
      // until then; destroying it would take the sprites along and leave
      // an invisible process holding the one-copy claim.
      PlatformEvent e;
      e.kind = PlatformEvent::Kind::QuitRequest;
      Post(e);
      return 0;
    }
    case WM_QUERYENDSESSION:
      SessionEnding(false);
      return TRUE;
    case WM_ENDSESSION:
      // The process may be gone once this returns: the game saves now.
      if (wParam) SessionEnding(true);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32Backend::Post(const PlatformEvent& event) {
  if (sink_ == nullptr || ended_) return;
  sink_->Post(event);
  ++posted_;
}

void Win32Backend::SessionEnding(bool dispatchNow) {
  if (!sessionEndPosted_) {
    sessionEndPosted_ = true;
    PlatformEvent e;
    e.kind = PlatformEvent::Kind::SessionEnding;
    Post(e);
  }
  if (!dispatchNow) return;
  if (auto* platform = dynamic_cast<Platform*>(sink_)) {
    try {
      platform->DoEvents();
    } catch (...) {
      // The game ended (or failed) while saving: either way the session is
      // over and nothing may unwind through the system's call.
    }
    // Ended inside a menu or a message box (the second copy's "already
    // running" box): that loop closes now, and the program ends with it.
    if (platform->Ended() && modalDepth_ > 0) {
      modalEnded_ = true;
      CloseModalLoops();
    }
  }
}

void Win32Backend::PostScreenChanged() {
  PlatformEvent e;
  e.kind = PlatformEvent::Kind::ScreenChanged;
  Post(e);
}

// Read afresh at every call: the window layer asks again after a change.
ScreenInfo Win32Backend::Screen() {
  RECT work{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    work.bottom = GetSystemMetrics(SM_CYSCREEN);
  }
  const ScaledDesktop desktop =
      ScaleDesktop(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), work.bottom,
                   GetSystemMetrics(SM_CYCAPTION), scale_);
  originY_ = desktop.originY;
  return desktop.screen;
}

FrameInsets Win32Backend::Insets(BorderStyle border) {
  // The thin border is the window's own one-pixel frame (drawn by it, so it
  // grows with everything else).
  if (border == BorderStyle::ThinSingle) return {1, 1, 1, 1};
  const Styles s = StylesFor(border, false);
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, s.style, FALSE, s.exStyle);
  // In the game's pixels, rounded up: a dialog's client area is never
  // smaller than its design.
  auto up = [this](LONG v) { return int((v + scale_ - 1) / scale_); };
  return {up(-r.left), up(-r.top), up(r.right), up(r.bottom)};
}

std::uint32_t Win32Backend::TickCount() {
  return GetTickCount();
}

void Win32Backend::PollEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      SessionEnding(false);
      continue;
    }
    if (RouteDialogMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Win32Backend::WaitEvents(std::optional<std::uint32_t> deadline) {
  // The game waits: the menu's item handler has done what it does.
  if (restoreForeground_ != nullptr) GiveBackForeground();
  const std::uint64_t before = posted_;
  for (;;) {
    PollEvents();
    if (posted_ != before) return;
    const std::uint32_t sleep = SleepFor(deadline, TickCount());
    if (sleep == 0) return;
#ifdef MARIVO_SPIN_PUMP
    // The comparison build for the idle benchmark: it never sleeps.
    continue;
#else
    MsgWaitForMultipleObjectsEx(0, nullptr, sleep == kForever ? INFINITE : sleep, QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
#endif
  }
}

void Win32Backend::ScheduleWakeup(std::optional<std::uint32_t> deadline) {
  if (service_ == nullptr) return;
  if (!deadline || ended_) {
    KillTimer(service_, kWakeupTimer);
    return;
  }
  const std::uint32_t ahead = SleepFor(deadline, TickCount());
  SetTimer(service_, kWakeupTimer, std::clamp<std::uint32_t>(ahead, USER_TIMER_MINIMUM, 0x7FFFFFF),
           nullptr);
}

LocalTime Win32Backend::Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

float Win32Backend::Rnd() {
  return random_.Next();
}

void Win32Backend::Randomize() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  random_.Seed(testSeed_.value_or(now.dwLowDateTime ^ GetTickCount()));
}

void Win32Backend::End() {
  ended_ = true;
  if (service_ != nullptr) KillTimer(service_, kWakeupTimer);
}

}  // namespace marivo::win32
