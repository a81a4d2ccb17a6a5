// marivo2.exe: the game on the Windows desktop.
#include <exception>

#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_text.h"
#include "scene/game.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  try {
    marivo::win32::Win32Backend backend(instance);
    return marivo::RunGame(backend);
  } catch (const std::exception& e) {
    const std::u16string text = marivo::win32::Utf8ToUtf16(e.what());
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), L"Marivo2",
                MB_OK | MB_ICONERROR);
    return 1;
  }
}
