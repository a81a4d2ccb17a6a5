// Text at the Windows API boundary: the game's UTF-8 and the wide
// functions' UTF-16. Free of <windows.h>, so that it is tested on every build machine.
#pragma once

#include <string>
#include <string_view>

namespace marivo::win32 {

// UTF-8 to UTF-16 and back. Malformed input (stray continuation bytes,
// overlong forms, surrogates encoded in UTF-8, lone surrogates in UTF-16)
// becomes U+FFFD rather than being dropped or passed through.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace marivo::win32
