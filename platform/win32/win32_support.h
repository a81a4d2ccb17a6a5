// Small helpers the Windows backend's files share: text at the wide API
// boundary and the window styles that each border of the catalogue gets.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/win32_backend.h"

namespace marivo::win32 {

// UTF-8 to the wide (UTF-16) text of the W functions, and back.
std::wstring Wide(std::string_view text);
std::string Narrow(std::wstring_view text);

struct Styles {
  DWORD style = 0;
  DWORD exStyle = 0;
};
Styles StylesFor(BorderStyle border, bool showInTaskbar);

// Captioned windows that take the keyboard (the dialogs).
bool IsDialogLike(BorderStyle border);

}  // namespace marivo::win32
