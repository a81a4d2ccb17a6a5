#include "platform/win32/win32_backend.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "platform/arith.h"
#include "platform/platform.h"
#include "platform/win32/win32_layout.h"

namespace marivo::win32 {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide APIs take UTF-16");

constexpr UINT_PTR kWakeupTimer = 1;
constexpr int kButtonIdBase = 100;
constexpr int kScreenDpi = 96;  // the process is DPI-unaware: GDI always reports this

std::wstring Wide(std::string_view text) {
  const std::u16string u = Utf8ToUtf16(text);
  return std::wstring(reinterpret_cast<const wchar_t*>(u.data()), u.size());
}

std::string Narrow(std::wstring_view text) {
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

COLORREF ToColorRef(Color color) {
  if (color == kButtonFace) return GetSysColor(COLOR_BTNFACE);
  return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
}

struct Styles {
  DWORD style = 0;
  DWORD exStyle = 0;
};

Styles StylesFor(BorderStyle border, bool showInTaskbar) {
  Styles s;
  switch (border) {
    case BorderStyle::None:
      s.style = WS_POPUP;
      s.exStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
      break;
    case BorderStyle::ThinSingle:
      s.style = WS_POPUP | WS_BORDER;
      s.exStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
      break;
    case BorderStyle::FixedDialog:
      s.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
      s.exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
      break;
    case BorderStyle::FixedSingle:
      s.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
      break;
    case BorderStyle::Sizable:
      s.style = WS_OVERLAPPEDWINDOW;
      break;
  }
  if (showInTaskbar) s.exStyle |= WS_EX_APPWINDOW;
  s.style |= WS_CLIPCHILDREN;
  return s;
}

bool IsDialogLike(BorderStyle border) {
  return border == BorderStyle::FixedDialog || border == BorderStyle::FixedSingle ||
         border == BorderStyle::Sizable;
}

// Draws a picture with its top-left corner at (x, y), cut to `clip`.
void DrawImage(HDC dc, const assets::Image* image, int x, int y, const RECT& clip) {
  if (image == nullptr || image->pixels == nullptr || image->width <= 0 || image->height <= 0) {
    return;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = image->width;
  info.bmiHeader.biHeight = -image->height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;  // 0x00RRGGBB is exactly a 32-bit BI_RGB pixel
  info.bmiHeader.biCompression = BI_RGB;
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  StretchDIBits(dc, x, y, image->width, image->height, 0, 0, image->width, image->height,
                image->pixels, &info, DIB_RGB_COLORS, SRCCOPY);
  RestoreDC(dc, saved);
}

void Fill(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

RECT ToRect(const PixelBox& box) {
  return RECT{box.left, box.top, box.left + box.width, box.top + box.height};
}

int ShiftBits(WPARAM keys) {
  int shift = 0;
  if (keys & MK_SHIFT) shift |= 1;
  if (keys & MK_CONTROL) shift |= 2;
  if (GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

class Win32Region final : public NativeRegion {
 public:
  explicit Win32Region(HRGN region) : region_(region) {}
  ~Win32Region() override {
    if (region_ != nullptr) DeleteObject(region_);
  }
  Win32Region(const Win32Region&) = delete;
  Win32Region& operator=(const Win32Region&) = delete;
  HRGN Get() const { return region_; }
  // The window took the region over.
  void Release() { region_ = nullptr; }

 private:
  HRGN region_;
};

}  // namespace

// ------------------------------------------------------------- a modal loop

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

// ------------------------------------------------------------------ windows

class Win32Backend::Window final : public NativeWindow {
 public:
  Window(Win32Backend& backend, const WindowDesign& design, const WindowState& state)
      : backend_(backend), design_(design), state_(state) {
    const Styles s = StylesFor(design.border, design.showInTaskbar);
    hwnd_ =
        CreateWindowExW(s.exStyle, MAKEINTATOM(backend_.formClass_), Wide(state.caption).c_str(),
                        s.style, 0, 0, 0, 0, nullptr, nullptr, backend_.instance_, this);
    if (hwnd_ == nullptr) throw std::runtime_error("could not create a window");
    if (design.icon != nullptr) {
      SendMessageW(hwnd_, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(backend_.IconFor(design.icon, 32)));
      SendMessageW(hwnd_, WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(backend_.IconFor(design.icon, 16)));
    }
    buttons_.assign(state.controls.size(), nullptr);
    for (int slot = 0; slot < int(state.controls.size()); ++slot) {
      const ControlState& c = state.controls[slot];
      if (c.design->kind != ControlKind::CommandButton) continue;
      const PixelBox box = Box(c);
      DWORD style =
          WS_CHILD | WS_TABSTOP | (c.design->isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      if (c.visible) style |= WS_VISIBLE;
      HWND button = CreateWindowExW(0, L"BUTTON", Wide(c.caption).c_str(), style, box.left, box.top,
                                    box.width, box.height, hwnd_,
                                    reinterpret_cast<HMENU>(INT_PTR{kButtonIdBase + slot}),
                                    backend_.instance_, nullptr);
      if (button == nullptr) continue;
      SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(backend_.FontFor(c.design->font)),
                   FALSE);
      buttons_[slot] = button;
      if (c.design->isDefault) defaultButton_ = slot;
    }
  }

  ~Window() override {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);  // its buttons and its tooltip go with it
  }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  void SetBounds(int left, int top, int width, int height) override {
    SetWindowPos(hwnd_, nullptr, left, top, std::max(0, width), std::max(0, height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void SetVisible(bool visible) override {
    if (!visible) {
      ShowWindow(hwnd_, SW_HIDE);
      return;
    }
    if (IsDialogLike(design_.border)) {
      ShowWindow(hwnd_, SW_SHOW);
      SetForegroundWindow(hwnd_);
      // Takes the keyboard even where the desktop refused the foreground
      // (the menu that opened the dialog held it a moment ago).
      SetActiveWindow(hwnd_);
      FocusFirstButton();
    } else {
      // Shown windows come to the top, without taking the focus.
      SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
  }

  void SetModal(bool modal) override { modal_ = modal; }
  void SetBackColor(Color) override { Invalidate(); }
  void SetCaption(const std::string& caption) override {
    SetWindowTextW(hwnd_, Wide(caption).c_str());
  }
  void SetPicture(const assets::Image*) override { Invalidate(); }

  void ZOrder(int position) override {
    SetWindowPos(hwnd_, position == 1 ? HWND_BOTTOM : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  bool SetRegion(std::unique_ptr<NativeRegion> region, int) override {
    auto* r = static_cast<Win32Region*>(region.get());
    if (r == nullptr || SetWindowRgn(hwnd_, r->Get(), TRUE) == 0) return false;
    r->Release();  // the window owns it now and frees it with the next one
    return true;
  }

  void ControlChanged(int slot) override {
    if (slot < 0 || slot >= int(state_.controls.size())) return;
    const ControlState& c = state_.controls[slot];
    switch (c.design->kind) {
      case ControlKind::Timer:
      case ControlKind::MenuItem:
        return;  // nothing on the screen changes
      case ControlKind::CommandButton:
        if (HWND button = buttons_[slot]) {
          const PixelBox box = Box(c);
          SetWindowTextW(button, Wide(c.caption).c_str());
          MoveWindow(button, box.left, box.top, box.width, box.height, TRUE);
          ShowWindow(button, c.visible ? SW_SHOWNA : SW_HIDE);
        }
        return;
      case ControlKind::PictureBox:
        UpdateToolTip(slot);
        break;
      default:
        break;
    }
    Invalidate();
  }

  void DrawingChanged() override { Invalidate(); }

  void SetTopMost() override {
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }

  std::uintptr_t Handle() const override { return reinterpret_cast<std::uintptr_t>(hwnd_); }

  bool HasButtons() const {
    return std::any_of(buttons_.begin(), buttons_.end(), [](HWND b) { return b != nullptr; });
  }

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        Paint(dc);
        EndPaint(hwnd_, &ps);
        PostSimple(PlatformEvent::Kind::Paint);
        return 0;
      }
      case WM_ERASEBKGND:
        return 1;  // the paint covers everything
      case WM_MOUSEACTIVATE:
        if (!IsDialogLike(design_.border)) return MA_NOACTIVATE;
        break;
      case WM_LBUTTONDOWN:
        return Press(kButtonLeft, wParam, lParam);
      case WM_RBUTTONDOWN:
        return Press(kButtonRight, wParam, lParam);
      case WM_MBUTTONDOWN:
        return Press(kButtonMiddle, wParam, lParam);
      case WM_LBUTTONUP:
        return Release(kButtonLeft, wParam, lParam);
      case WM_RBUTTONUP:
        return Release(kButtonRight, wParam, lParam);
      case WM_MBUTTONUP:
        return Release(kButtonMiddle, wParam, lParam);
      case WM_MOUSEMOVE:
        return Move(wParam, lParam);
      case WM_CAPTURECHANGED:
        held_ = 0;
        break;
      case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
          const int slot = int(LOWORD(wParam)) - kButtonIdBase;
          if (slot >= 0 && slot < int(buttons_.size()) && buttons_[slot] != nullptr) {
            PlatformEvent e = Event(PlatformEvent::Kind::Click);
            e.control = slot;
            backend_.Post(e);
          }
          return 0;
        }
        break;
      case DM_GETDEFID:
        // Lets the dialog keys send Enter to the default button.
        if (defaultButton_ >= 0) return MAKELRESULT(kButtonIdBase + defaultButton_, DC_HASDEFID);
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) FocusFirstButton();
        break;
      case WM_CLOSE:
        PostSimple(PlatformEvent::Kind::CloseRequest);
        return 0;  // the game decides whether the window goes
      default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
  }

  HWND hwnd_ = nullptr;

 private:
  int TppX() const { return backend_.screen_.twipsPerPixelX; }
  int TppY() const { return backend_.screen_.twipsPerPixelY; }
  PixelBox Box(const ControlState& c) const { return ControlBox(c, TppX(), TppY()); }
  void Invalidate() { InvalidateRect(hwnd_, nullptr, FALSE); }

  PlatformEvent Event(PlatformEvent::Kind kind) const {
    PlatformEvent e;
    e.kind = kind;
    e.window = design_.id;
    return e;
  }
  void PostSimple(PlatformEvent::Kind kind) { backend_.Post(Event(kind)); }

  PlatformEvent PointerEvent(PlatformEvent::Kind kind, int control, WPARAM keys, LPARAM lParam) {
    PlatformEvent e = Event(kind);
    e.control = control;
    e.shift = ShiftBits(keys);
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    e.x = x;
    e.y = y;
    if (control >= 0) {
      const PixelBox box = Box(state_.controls[control]);
      e.x -= box.left;
      e.y -= box.top;
    }
    return e;
  }

  int Under(LPARAM lParam) const {
    return ControlAt(state_, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)),
                     TppX(), TppY());
  }

  LRESULT Press(int button, WPARAM keys, LPARAM lParam) {
    // Presses and releases go to the control under the first press, as
    // long as a button is held.
    if (held_ == 0) {
      pressed_ = Under(lParam);
      SetCapture(hwnd_);
    }
    held_ |= button;
    PlatformEvent e = PointerEvent(PlatformEvent::Kind::PointerDown, pressed_, keys, lParam);
    e.buttons = button;
    backend_.Post(e);
    return 0;
  }

  LRESULT Release(int button, WPARAM keys, LPARAM lParam) {
    const int control = held_ != 0 ? pressed_ : Under(lParam);
    held_ &= ~button;
    if (held_ == 0 && GetCapture() == hwnd_) ReleaseCapture();
    PlatformEvent e = PointerEvent(PlatformEvent::Kind::PointerUp, control, keys, lParam);
    e.buttons = button;
    backend_.Post(e);
    return 0;
  }

  LRESULT Move(WPARAM keys, LPARAM lParam) {
    // Windows repeats a move at the same place (after a repaint, say);
    // the game hears only real movement.
    if (lParam == lastMove_) return 0;
    lastMove_ = lParam;
    const int control = held_ != 0 ? pressed_ : Under(lParam);
    backend_.Post(PointerEvent(PlatformEvent::Kind::PointerMove, control, keys, lParam));
    return 0;
  }

  void FocusFirstButton() {
    int slot = defaultButton_;
    if (slot < 0) {
      for (int i = 0; i < int(buttons_.size()) && slot < 0; ++i) {
        if (buttons_[i] != nullptr) slot = i;
      }
    }
    if (slot >= 0) SetFocus(buttons_[slot]);
  }

  void UpdateToolTip(int slot) {
    const ControlState& c = state_.controls[slot];
    if (tooltip_ == nullptr) {
      if (c.toolTipText.empty()) return;
      tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                 backend_.instance_, nullptr);
      if (tooltip_ == nullptr) return;
    }
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = hwnd_;
    tool.uId = static_cast<UINT_PTR>(slot) + 1;
    SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!c.visible || c.toolTipText.empty() || c.design->frameStore) return;
    std::wstring text = Wide(c.toolTipText);
    tool.uFlags = TTF_SUBCLASS;
    tool.rect = ToRect(Box(c));
    tool.hinst = backend_.instance_;
    tool.lpszText = text.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }

  void Paint(HDC target) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const int w = client.right;
    const int h = client.bottom;
    if (w <= 0 || h <= 0) return;
    HDC dc = CreateCompatibleDC(target);
    HBITMAP surface = CreateCompatibleBitmap(target, w, h);
    HGDIOBJ oldSurface = SelectObject(dc, surface);
    Fill(dc, client, ToColorRef(state_.backColor));
    DrawImage(dc, state_.picture, 0, 0, client);
    SetBkMode(dc, TRANSPARENT);
    for (int slot : PaintOrder(state_)) PaintControl(dc, state_.controls[slot]);
    for (const TextRun& run : state_.drawing) {
      HGDIOBJ old = SelectObject(dc, backend_.FontFor(run.font));
      SetTextColor(dc, ToColorRef(run.color));
      const std::wstring text = Wide(run.text);
      TextOutW(dc, Nearest(run.x / TppX()), Nearest(run.y / TppY()), text.c_str(),
               static_cast<int>(text.size()));
      SelectObject(dc, old);
    }
    BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldSurface);
    DeleteObject(surface);
    DeleteDC(dc);
  }

  // The label's font, a pixel or two smaller when the installed face is
  // wider than the designed one and the text would not fit the label.
  HFONT FittingFont(HDC dc, const FontDesign& designed, const std::wstring& text, int width) {
    FontDesign font = designed;
    HFONT handle = backend_.FontFor(font);
    for (int smaller = 1; smaller <= 2 && text.find(L'\n') == std::wstring::npos; ++smaller) {
      SIZE size{};
      HGDIOBJ old = SelectObject(dc, handle);
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
      SelectObject(dc, old);
      if (size.cx <= width) break;
      font.points = designed.points - 0.75 * smaller;  // one pixel at 96 dpi
      handle = backend_.FontFor(font);
    }
    return handle;
  }

  void PaintControl(HDC dc, const ControlState& c) {
    const ControlDesign& d = *c.design;
    const PixelBox box = Box(c);
    const RECT rect = ToRect(box);
    switch (d.kind) {
      case ControlKind::PictureBox:
        Fill(dc, rect, ToColorRef(c.backColor));
        DrawImage(dc, c.picture, box.left, box.top, rect);
        break;
      case ControlKind::Image:
        DrawImage(dc, c.picture, box.left, box.top, rect);
        break;
      case ControlKind::Label: {
        if (!d.transparent) Fill(dc, rect, ToColorRef(c.backColor));
        std::wstring text = Wide(c.caption);
        HGDIOBJ old = SelectObject(dc, FittingFont(dc, d.font, text, box.width));
        SetTextColor(dc, ToColorRef(d.foreColor));
        RECT r = rect;
        // One line, never wrapped: the faces here are a little wider than
        // the designed ones, and a wrapped clock would lose its time.
        const UINT lines = text.find(L'\n') == std::wstring::npos ? DT_SINGLELINE : DT_WORDBREAK;
        DrawTextW(
            dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_NOPREFIX | DT_NOCLIP | lines | (d.align == TextAlign::Center ? DT_CENTER : DT_LEFT));
        SelectObject(dc, old);
        break;
      }
      case ControlKind::Line: {
        HPEN pen = CreatePen(PS_SOLID, 1, ToColorRef(d.foreColor));
        HGDIOBJ old = SelectObject(dc, pen);
        const int x1 = Nearest(c.x1 / TppX()), y1 = Nearest(c.y1 / TppY());
        const int x2 = Nearest(c.x2 / TppX()), y2 = Nearest(c.y2 / TppY());
        MoveToEx(dc, x1, y1, nullptr);
        LineTo(dc, x2, y2);
        SetPixel(dc, x2, y2, ToColorRef(d.foreColor));  // the end point belongs to the line
        SelectObject(dc, old);
        DeleteObject(pen);
        break;
      }
      case ControlKind::Shape: {
        HPEN pen = CreatePen(PS_SOLID, 1, ToColorRef(d.foreColor));
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
        break;
      }
      default:
        break;
    }
  }

  Win32Backend& backend_;
  const WindowDesign& design_;
  const WindowState& state_;
  std::vector<HWND> buttons_;
  int defaultButton_ = -1;
  HWND tooltip_ = nullptr;
  bool modal_ = false;
  int held_ = 0;      // pointer buttons held since a press on this window
  int pressed_ = -1;  // the control that took that press
  LPARAM lastMove_ = -1;
};

// ------------------------------------------------------------------ backend

Win32Backend::Win32Backend(HINSTANCE instance) : instance_(instance), random_(GetTickCount()) {
  screen_ = Screen();

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
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (auto& [key, icon] : icons_) DestroyIcon(icon);
  UnregisterClassW(MAKEINTATOM(formClass_), instance_);
  UnregisterClassW(MAKEINTATOM(serviceClass_), instance_);
}

LRESULT CALLBACK Win32Backend::FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return window->Handle(message, wParam, lParam);
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
  }
}

namespace {
BOOL CALLBACK CloseMessageBox(HWND hwnd, LPARAM) {
  wchar_t name[16] = {};
  GetClassNameW(hwnd, name, 16);
  if (std::wcscmp(name, L"#32770") == 0) EndDialog(hwnd, IDCANCEL);
  return TRUE;
}
}  // namespace

void Win32Backend::CloseModalLoops() {
  EndMenu();
  EnumThreadWindows(GetCurrentThreadId(), &CloseMessageBox, 0);
}

ScreenInfo Win32Backend::Screen() {
  RECT work{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    work.bottom = GetSystemMetrics(SM_CYSCREEN);
  }
  HDC dc = GetDC(nullptr);
  const int dpiX = GetDeviceCaps(dc, LOGPIXELSX);
  const int dpiY = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return MetricsFromDesktop(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                            work.bottom, GetSystemMetrics(SM_CYCAPTION), dpiX, dpiY);
}

FrameInsets Win32Backend::Insets(BorderStyle border) {
  const Styles s = StylesFor(border, false);
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, s.style, FALSE, s.exStyle);
  return {-r.left, -r.top, r.right, r.bottom};
}

std::uint32_t Win32Backend::TickCount() {
  return GetTickCount();
}

bool Win32Backend::RouteDialogMessage(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || msg.hwnd == nullptr) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  if (root == nullptr || GetClassLongPtrW(root, GCW_ATOM) != formClass_) return false;
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(root, GWLP_USERDATA));
  if (window == nullptr || !window->HasButtons()) return false;
  return IsDialogMessageW(root, &msg) != FALSE;
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

std::unique_ptr<NativeWindow> Win32Backend::CreateNativeWindow(const WindowDesign& design,
                                                               const WindowState& state) {
  return std::make_unique<Window>(*this, design, state);
}

std::unique_ptr<NativeRegion> Win32Backend::BuildRegion(const void* data, std::uint32_t bytes) {
  // Less than a header cannot be read at all; the rest is the system's call.
  if (data == nullptr || bytes < sizeof(RGNDATAHEADER)) return nullptr;
  HRGN region = ExtCreateRegion(nullptr, bytes, static_cast<const RGNDATA*>(data));
  if (region == nullptr) return nullptr;
  return std::make_unique<Win32Region>(region);
}

const std::vector<std::string>& Win32Backend::JapaneseFaces() {
  if (!japaneseFaces_) {
    std::vector<std::pair<bool, std::string>> found;
    std::vector<std::string> faces;
    LOGFONTW query{};
    query.lfCharSet = SHIFTJIS_CHARSET;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(
        dc, &query,
        [](const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM param) -> int {
          auto* out = reinterpret_cast<std::vector<std::pair<bool, std::string>>*>(param);
          if (font->lfFaceName[0] == L'@') return 1;  // the vertical-writing twins
          const bool fixed = (font->lfPitchAndFamily & 0x3) == FIXED_PITCH;
          std::pair<bool, std::string> face{fixed, Narrow(font->lfFaceName)};
          if (std::find(out->begin(), out->end(), face) == out->end()) out->push_back(face);
          return 1;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    // The designed faces are proportional: those come first.
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [fixed, name] : found) {
      if (std::find(faces.begin(), faces.end(), name) == faces.end()) faces.push_back(name);
    }
    japaneseFaces_ = std::move(faces);
  }
  return *japaneseFaces_;
}

HFONT Win32Backend::FontFor(const FontDesign& font) {
  const std::string key =
      std::string(font.face) + "|" + std::to_string(font.points) + "|" + (font.bold ? "b" : "n");
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  const FaceChoice choice = ChooseFace(font.face, JapaneseFaces());
  LOGFONTW lf{};
  lf.lfHeight = FontHeight(font.points, kScreenDpi);
  lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = choice.japanese ? SHIFTJIS_CHARSET : DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const std::wstring face = Wide(choice.face);
  wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  HFONT handle = CreateFontIndirectW(&lf);
  if (handle == nullptr) handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  fonts_[key] = handle;
  return handle;
}

HICON Win32Backend::IconFor(const assets::Image* image, int size) {
  auto key = std::make_pair(image, size);
  auto it = icons_.find(key);
  if (it != icons_.end()) return it->second;
  HICON icon = nullptr;
  if (image != nullptr && image->pixels != nullptr && image->width > 0 && image->height > 0) {
    // Scaled by nearest pixel to the size asked for, fully opaque.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP color = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    if (color != nullptr && mask != nullptr && bits != nullptr) {
      auto* px = static_cast<std::uint32_t*>(bits);
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
          px[y * size + x] =
              0xFF000000u | image->At(x * image->width / size, y * image->height / size);
        }
      }
      HDC dc = CreateCompatibleDC(nullptr);
      HGDIOBJ old = SelectObject(dc, mask);
      PatBlt(dc, 0, 0, size, size, BLACKNESS);  // black mask: every pixel shows
      SelectObject(dc, old);
      DeleteDC(dc);
      ICONINFO ii{};
      ii.fIcon = TRUE;
      ii.hbmMask = mask;
      ii.hbmColor = color;
      icon = CreateIconIndirect(&ii);
    }
    if (color != nullptr) DeleteObject(color);
    if (mask != nullptr) DeleteObject(mask);
  }
  icons_[key] = icon;
  return icon;
}

int Win32Backend::TextWidthPx(const FontDesign& font, std::string_view text) {
  const std::wstring wide = Wide(text);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FontFor(font));
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size.cx;
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
  // The menu closes on a click elsewhere only when its owner is in front.
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
  random_.Seed(now.dwLowDateTime ^ GetTickCount());
}

namespace {

// A text in the system's 8-bit code page, or nothing when some character
// has no place in it.
std::optional<std::string> ToCodePage(const std::wstring& text) {
  if (text.empty()) return std::string();
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()),
                                    nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return std::nullopt;
  std::string out(std::size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), out.data(), n,
                      nullptr, &lossy);
  if (lossy) return std::nullopt;
  return out;
}

std::string FromCodePage(const char* text, int length) {
  if (length <= 0) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  std::wstring wide(std::size_t(std::max(0, n)), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), n);
  return Narrow(wide);
}

}  // namespace

// The settings file goes through the 8-bit profile functions. A path that
// the code page cannot spell (a folder named in another script) would make
// them miss the file, so that case alone takes the wide functions.
std::string Win32Backend::ReadProfileString(const std::string& section, const std::string& key,
                                            const std::string& path) {
  const std::wstring wSection = Wide(section), wKey = Wide(key), wPath = Wide(path);
  const auto aSection = ToCodePage(wSection), aKey = ToCodePage(wKey), aPath = ToCodePage(wPath);
  if (aSection && aKey && aPath) {
    char buffer[512] = {};
    const DWORD n =
        GetPrivateProfileStringA(aSection->c_str(), aKey->c_str(), "", buffer, 511, aPath->c_str());
    return FromCodePage(buffer, int(std::min<DWORD>(n, 510)));
  }
  wchar_t buffer[512] = {};
  const DWORD n =
      GetPrivateProfileStringW(wSection.c_str(), wKey.c_str(), L"", buffer, 511, wPath.c_str());
  return Narrow(std::wstring_view(buffer, std::min<DWORD>(n, 510)));
}

bool Win32Backend::WriteProfileString(const std::string& section, const std::string& key,
                                      const std::string& value, const std::string& path) {
  const std::wstring wSection = Wide(section), wKey = Wide(key), wValue = Wide(value),
                     wPath = Wide(path);
  const auto aSection = ToCodePage(wSection), aKey = ToCodePage(wKey), aValue = ToCodePage(wValue),
             aPath = ToCodePage(wPath);
  if (aSection && aKey && aValue && aPath) {
    return WritePrivateProfileStringA(aSection->c_str(), aKey->c_str(), aValue->c_str(),
                                      aPath->c_str()) != FALSE;
  }
  return WritePrivateProfileStringW(wSection.c_str(), wKey.c_str(), wValue.c_str(),
                                    wPath.c_str()) != FALSE;
}

std::wstring Win32Backend::ModuleFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // cut short: try a larger buffer
  }
}

std::string Win32Backend::AppPath() {
  return SplitModulePath(Narrow(ModuleFileName())).folder;
}

std::string Win32Backend::AppExeName() {
  return SplitModulePath(Narrow(ModuleFileName())).exeName;
}

// TODO(win32): real answers; these keep the build going meanwhile.
FileAccess Win32Backend::ProbeFile(const std::string&) {
  return FileAccess::Missing;
}
bool Win32Backend::FolderWritable(const std::string&) {
  return true;
}
bool Win32Backend::MakeFolder(const std::string&) {
  return true;
}
bool Win32Backend::CopyFile(const std::string&, const std::string&) {
  return false;
}
bool Win32Backend::ClaimSingleInstance() {
  return true;
}

std::string Win32Backend::UserSettingsDir() {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", buffer, DWORD(std::size(buffer)));
  if (n == 0 || n >= std::size(buffer)) return AppPath();
  return Narrow(std::wstring_view(buffer, n)) + "\\Marivo2";
}

void Win32Backend::End() {
  ended_ = true;
  if (service_ != nullptr) KillTimer(service_, kWakeupTimer);
}

}  // namespace marivo::win32
