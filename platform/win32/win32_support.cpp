// Text conversion at the wide API boundary and the window styles.
#include "platform/win32/win32_support.h"

#include "platform/win32/win32_text.h"

namespace marivo::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide APIs take UTF-16");

std::wstring Wide(std::string_view text) {
  const std::u16string u = Utf8ToUtf16(text);
  return std::wstring(reinterpret_cast<const wchar_t*>(u.data()), u.size());
}

std::string Narrow(std::wstring_view text) {
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

Styles StylesFor(BorderStyle border, bool showInTaskbar) {
  Styles s;
  switch (border) {
    case BorderStyle::None:
      s.style = WS_POPUP;
      s.exStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
      break;
    case BorderStyle::ThinSingle:
      s.style = WS_POPUP;  // the window paints its own one-pixel frame
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

}  // namespace marivo::win32
