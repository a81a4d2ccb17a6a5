// Files and paths: the settings file that holds the record, the
// executable's folder and name, the per-user settings folder, the probes
// and copies around the record, and the one-copy-per-user claim.
#include <algorithm>
#include <optional>

#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_layout.h"
#include "platform/win32/win32_support.h"

namespace marivo::win32 {

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

}  // namespace marivo::win32
