// The game's windows on the desktop: creating them from the catalogue's
// design, painting them from the window layer's state (into an off-screen
// bitmap first), turning pointer and button messages into platform events,
// and the regions, fonts and icons they use.
#include "platform/win32/win32_backend.h"
// The tooltips; after <windows.h>, which the backend header brings.
#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "platform/arith.h"
#include "platform/win32/win32_fonts.h"
#include "platform/win32/win32_hit_test.h"
#include "platform/win32/win32_region_scale.h"
#include "platform/win32/win32_support.h"

namespace marivo::win32 {
namespace {

constexpr int kButtonIdBase = 100;
constexpr int kDesignDpi = 96;  // the resolution the game's pictures and sizes are made for

COLORREF ToColorRef(Color color) {
  if (color == kButtonFace) return GetSysColor(COLOR_BTNFACE);
  return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
}

// Draws a picture with its top-left corner at (x, y), every pixel a
// `scale` x `scale` block (nearest neighbour, never smoothed), cut to `clip`.
void DrawImage(HDC dc, const assets::Image* image, int x, int y, const RECT& clip, int scale) {
  if (image == nullptr || image->Pixels() == nullptr || image->width <= 0 || image->height <= 0) {
    return;
  }
  const int w = image->width * scale, h = image->height * scale;
  const std::uint32_t* pixels = image->Pixels();
  std::vector<std::uint32_t> blown;
  if (scale > 1) {
    // Blown up here rather than by the system's stretching, which may
    // smooth or pick other source pixels.
    blown.resize(std::size_t(w) * std::size_t(h));
    for (int row = 0; row < h; ++row) {
      const std::uint32_t* from = image->Pixels() + std::size_t(row / scale) * image->width;
      std::uint32_t* to = blown.data() + std::size_t(row) * w;
      for (int col = 0; col < w; ++col) to[col] = from[col / scale];
    }
    pixels = blown.data();
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;  // 0x00RRGGBB is exactly a 32-bit BI_RGB pixel
  info.bmiHeader.biCompression = BI_RGB;
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  SetDIBitsToDevice(dc, x, y, w, h, 0, 0, 0, h, pixels, &info, DIB_RGB_COLORS);
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

// A box of the game's pixels as desktop pixels, `offset` game pixels in.
PixelBox Blow(const PixelBox& box, int scale, int offset = 0) {
  return {(box.left + offset) * scale, (box.top + offset) * scale, box.width * scale,
          box.height * scale};
}

// The one-pixel frame of a thin-bordered window, `scale` pixels thick.
void FrameRect(HDC dc, const RECT& r, int thickness, COLORREF color) {
  Fill(dc, RECT{r.left, r.top, r.right, r.top + thickness}, color);
  Fill(dc, RECT{r.left, r.bottom - thickness, r.right, r.bottom}, color);
  Fill(dc, RECT{r.left, r.top, r.left + thickness, r.bottom}, color);
  Fill(dc, RECT{r.right - thickness, r.top, r.right, r.bottom}, color);
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

// ------------------------------------------------------------------ windows

class Win32Backend::Window final : public NativeWindow {
 public:
  Window(Win32Backend& backend, const WindowDesign& design, const WindowState& state)
      : backend_(backend), design_(design), state_(state) {
    const Styles s = StylesFor(design.border, design.showInTaskbar);
    // Sprites belong to the hidden service window, which keeps them out of
    // every task bar; the dialogs stand alone and keep their buttons.
    HWND owner = IsDialogLike(design.border) ? nullptr : backend_.service_;
    hwnd_ =
        CreateWindowExW(s.exStyle, MAKEINTATOM(backend_.formClass_), Wide(state.caption).c_str(),
                        s.style, 0, 0, 0, 0, owner, nullptr, backend_.instance_, this);
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
      const PixelBox box = Desk(c);
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
    const int s = Scale();
    SetWindowPos(hwnd_, nullptr, left * s, top * s + backend_.originY_, std::max(0, width) * s,
                 std::max(0, height) * s, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void SetVisible(bool visible) override {
    if (!visible) {
      ShowWindow(hwnd_, SW_HIDE);
      return;
    }
    if (IsDialogLike(design_.border)) {
      ShowWindow(hwnd_, SW_SHOW);
      backend_.restoreForeground_ = nullptr;  // the dialog takes over from the menu
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
          const PixelBox box = Desk(c);
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
  // The game works in pixels of its own at 15 twips each; on the desktop
  // each is Scale() x Scale() pixels, and a thin border (painted by the
  // window itself so that it grows with the rest) lies Frame() pixels
  // around the client area.
  static constexpr int TppX() { return 15; }
  static constexpr int TppY() { return 15; }
  int Scale() const { return backend_.scale_; }
  int Frame() const { return design_.border == BorderStyle::ThinSingle ? 1 : 0; }
  PixelBox Box(const ControlState& c) const { return ControlBox(c, TppX(), TppY()); }
  PixelBox Desk(const ControlState& c) const { return Blow(Box(c), Scale(), Frame()); }
  // A desktop client position in the game's pixels (rounding down, also
  // left of or above the window while the pointer is captured).
  int ToGameX(LPARAM lParam) const {
    return FloorDiv(static_cast<short>(LOWORD(lParam)), Scale()) - Frame();
  }
  int ToGameY(LPARAM lParam) const {
    return FloorDiv(static_cast<short>(HIWORD(lParam)), Scale()) - Frame();
  }
  static int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
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
    const int x = ToGameX(lParam);
    const int y = ToGameY(lParam);
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
    return ControlAt(state_, ToGameX(lParam), ToGameY(lParam), TppX(), TppY());
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
    tool.rect = ToRect(Desk(c));
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
    const int s = Scale(), inset = Frame() * s;
    const RECT inner{inset, inset, w - inset, h - inset};
    Fill(dc, client, ToColorRef(state_.backColor));
    DrawImage(dc, state_.picture, inset, inset, inner, s);
    SetBkMode(dc, TRANSPARENT);
    for (int slot : PaintOrder(state_)) PaintControl(dc, state_.controls[slot]);
    for (const TextRun& run : state_.drawing) {
      SetTextColor(dc, ToColorRef(run.color));
      DrawLine(dc, run.font, Wide(run.text), Nearest(run.x / TppX()) + Frame(), 0, false,
               Nearest(run.y / TppY()) + Frame());
    }
    if (inset > 0) FrameRect(dc, client, inset, GetSysColor(COLOR_WINDOWFRAME));
    BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldSurface);
    DeleteObject(surface);
    DeleteDC(dc);
  }

  // The label's font, a pixel or two smaller when the installed face is
  // wider than the designed one and the text would not fit the label. Chosen
  // at the design size, so every factor shows the size 96 dpi shows.
  FontDesign FittingFont(HDC dc, const FontDesign& designed, const std::wstring& text, int width) {
    FontDesign font = designed;
    for (int smaller = 1; smaller <= 2 && text.find(L'\n') == std::wstring::npos; ++smaller) {
      int needed = 0;
      for (int a : backend_.DesignAdvances(dc, font, text)) needed += a;
      if (needed <= width) break;
      font.points = designed.points - 0.75 * smaller;  // one of the game's pixels
    }
    return font;
  }

  // One line of text with the top of its cell at game row `top`, from game
  // column `left` or centred in `width` columns from there: laid out at the
  // design size and blown up (see LayOutLine), drawn in the full-size font.
  void DrawLine(HDC dc, const FontDesign& font, const std::wstring& text, int left, int width,
                bool centred, int top) {
    const int s = Scale();
    const ScaledLine line =
        LayOutLine(backend_.DesignAdvances(dc, font, text), left, width, centred, s);
    const int baseline = (top + backend_.DesignAscent(dc, font)) * s;
    HGDIOBJ old = SelectObject(dc, backend_.FontFor(font));
    const UINT align = SetTextAlign(dc, TA_LEFT | TA_BASELINE | TA_NOUPDATECP);
    ExtTextOutW(dc, line.left, baseline, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()),
                line.dx.data());
    SetTextAlign(dc, align);
    SelectObject(dc, old);
  }

  void PaintControl(HDC dc, const ControlState& c) {
    const ControlDesign& d = *c.design;
    const int s = Scale();
    const PixelBox box = Desk(c);
    const RECT rect = ToRect(box);
    switch (d.kind) {
      case ControlKind::PictureBox:
        Fill(dc, rect, ToColorRef(c.backColor));
        DrawImage(dc, c.picture, box.left, box.top, rect, s);
        break;
      case ControlKind::Image:
        DrawImage(dc, c.picture, box.left, box.top, rect, s);
        break;
      case ControlKind::Label: {
        if (!d.transparent) Fill(dc, rect, ToColorRef(c.backColor));
        const std::wstring text = Wide(c.caption);
        const FontDesign font = FittingFont(dc, d.font, text, box.width / s);
        SetTextColor(dc, ToColorRef(d.foreColor));
        const bool centred = d.align == TextAlign::Center;
        if (text.find(L'\n') == std::wstring::npos) {
          // One line, never wrapped: the faces here are a little wider than
          // the designed ones, and a wrapped clock would lose its time.
          const PixelBox game = Box(c);
          DrawLine(dc, font, text, game.left + Frame(), game.width, centred, game.top + Frame());
          break;
        }
        HGDIOBJ old = SelectObject(dc, backend_.FontFor(font));
        RECT r = rect;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_NOPREFIX | DT_NOCLIP | DT_WORDBREAK | (centred ? DT_CENTER : DT_LEFT));
        SelectObject(dc, old);
        break;
      }
      case ControlKind::Line: {
        const COLORREF color = ToColorRef(d.foreColor);
        const int x1 = Nearest(c.x1 / TppX()), y1 = Nearest(c.y1 / TppY());
        const int x2 = Nearest(c.x2 / TppX()), y2 = Nearest(c.y2 / TppY());
        const int o = Frame();
        if (x1 == x2 || y1 == y2) {
          // Level and upright lines (every line of the catalogue) as the
          // blocks of their pixels, end point included.
          Fill(dc,
               RECT{(std::min(x1, x2) + o) * s, (std::min(y1, y2) + o) * s,
                    (std::max(x1, x2) + o + 1) * s, (std::max(y1, y2) + o + 1) * s},
               color);
          break;
        }
        HPEN pen = CreatePen(PS_SOLID, s, color);
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, (x1 + o) * s, (y1 + o) * s, nullptr);
        LineTo(dc, (x2 + o) * s, (y2 + o) * s);
        SelectObject(dc, old);
        DeleteObject(pen);
        break;
      }
      case ControlKind::Shape:
        FrameRect(dc, rect, s, ToColorRef(d.foreColor));
        break;
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

bool Win32Backend::RouteDialogMessage(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || msg.hwnd == nullptr) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  if (root == nullptr || GetClassLongPtrW(root, GCW_ATOM) != formClass_) return false;
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(root, GWLP_USERDATA));
  if (window == nullptr || !window->HasButtons()) return false;
  return IsDialogMessageW(root, &msg) != FALSE;
}

std::unique_ptr<NativeWindow> Win32Backend::CreateNativeWindow(const WindowDesign& design,
                                                               const WindowState& state) {
  return std::make_unique<Window>(*this, design, state);
}

std::unique_ptr<NativeRegion> Win32Backend::BuildRegion(const void* data, std::uint32_t bytes) {
  // Less than a header cannot be read at all; the rest is the system's call.
  if (data == nullptr || bytes < sizeof(RGNDATAHEADER)) return nullptr;
  HRGN region = nullptr;
  if (scale_ == 1) {
    region = ExtCreateRegion(nullptr, bytes, static_cast<const RGNDATA*>(data));
  } else {
    // The outline grows with the pictures: every rectangle blown up.
    const std::vector<std::uint8_t> scaled = ScaleRegionRecord(data, bytes, scale_);
    region = ExtCreateRegion(nullptr, bytes, reinterpret_cast<const RGNDATA*>(scaled.data()));
  }
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

HFONT Win32Backend::FontFor(const FontDesign& font, int scale) {
  const std::string key = std::string(font.face) + "|" + std::to_string(font.points) + "|" +
                          (font.bold ? "b" : "n") + "|" + std::to_string(scale);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  const FaceChoice choice = ChooseFace(font.face, JapaneseFaces());
  LOGFONTW lf{};
  lf.lfHeight = FontHeight(font.points, kDesignDpi * scale);
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
  if (image != nullptr && image->Pixels() != nullptr && image->width > 0 && image->height > 0) {
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

std::vector<int> Win32Backend::DesignAdvances(HDC dc, const FontDesign& font,
                                              const std::wstring& text) {
  if (text.empty()) return {};
  std::vector<int> extents(text.size());
  SIZE size{};
  HGDIOBJ old = SelectObject(dc, FontFor(font, 1));
  const bool measured = GetTextExtentExPointW(dc, text.c_str(), static_cast<int>(text.size()), 0,
                                              nullptr, extents.data(), &size) != FALSE;
  SelectObject(dc, old);
  if (!measured) return std::vector<int>(text.size(), 0);
  return AdvancesFromExtents(extents);
}

int Win32Backend::DesignAscent(HDC dc, const FontDesign& font) {
  TEXTMETRICW metrics{};
  HGDIOBJ old = SelectObject(dc, FontFor(font, 1));
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  return metrics.tmAscent;
}

int Win32Backend::TextWidthPx(const FontDesign& font, std::string_view text) {
  // The width the text is laid out with at every factor: the design size's.
  HDC dc = GetDC(nullptr);
  int width = 0;
  for (int a : DesignAdvances(dc, font, Wide(text))) width += a;
  ReleaseDC(nullptr, dc);
  return width;
}

}  // namespace marivo::win32
