// Files and paths: the settings file that holds the record, the
// executable's folder and name, the per-user settings folder, the probes
// and copies around the record, and the one-copy-per-user claim.
#include <shlobj.h>

#include <algorithm>
#include <optional>

#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_paths.h"
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
  std::string value;
  if (aSection && aKey && aPath) {
    char buffer[512] = {};
    const DWORD n =
        GetPrivateProfileStringA(aSection->c_str(), aKey->c_str(), "", buffer, 511, aPath->c_str());
    value = FromCodePage(buffer, int(std::min<DWORD>(n, 510)));
  } else {
    wchar_t buffer[512] = {};
    const DWORD n =
        GetPrivateProfileStringW(wSection.c_str(), wKey.c_str(), L"", buffer, 511, wPath.c_str());
    value = Narrow(std::wstring_view(buffer, std::min<DWORD>(n, 510)));
  }
  // The profile functions answer "empty" both for a missing key and for a
  // file they could not open. The game never chooses a record it cannot
  // read, and the write below refuses one, so an empty answer from such a
  // file can never turn into an empty record on disk.
  return value;
}

bool Win32Backend::WriteProfileString(const std::string& section, const std::string& key,
                                      const std::string& value, const std::string& path) {
  // A file that cannot be read would be rewritten from nothing, losing
  // everything else it holds: it is left alone.
  if (ProbeFile(path) == FileAccess::Unreadable) return false;
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

namespace {

bool NotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens an existing file for `access` and closes it again: whether the
// system lets this run have it. Nothing is truncated or changed. The error
// is left for the caller.
bool CanOpen(const std::wstring& path, DWORD access) {
  HANDLE file = CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace

FileAccess Win32Backend::ProbeFile(const std::string& path) {
  if (path.empty()) return FileAccess::Missing;
  const std::wstring wide = Wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // A path we may not even look at is not a missing file.
    return NotFound(GetLastError()) ? FileAccess::Missing : FileAccess::Unreadable;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileAccess::Unreadable;
  if (!CanOpen(wide, GENERIC_READ)) {
    return NotFound(GetLastError()) ? FileAccess::Missing : FileAccess::Unreadable;
  }
  // The profile functions rewrite the file where it is, and the record may
  // move beside it: the file must open for writing and the folder must
  // take a new file.
  if ((attributes & FILE_ATTRIBUTE_READONLY) || !CanOpen(wide, GENERIC_WRITE) ||
      !FolderWritable(FolderOf(path))) {
    return FileAccess::ReadOnly;
  }
  return FileAccess::ReadWrite;
}

bool Win32Backend::FolderWritable(const std::string& folder) {
  if (folder.empty()) return false;
  const std::wstring wide = Wide(folder);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  // Access rights tell only part of the story (a read-only medium, a share,
  // a policy): create a file of our own there, which the system deletes as
  // soon as it is closed.
  std::wstring base = wide;
  if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
  base += L"marivo2-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(GetTickCount()) + L"-";
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::wstring name = base + std::to_wstring(attempt) + L".tmp";
    HANDLE probe = CreateFileW(
        name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      CloseHandle(probe);
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool Win32Backend::MakeFolder(const std::string& folder) {
  if (folder.empty()) return false;
  for (const std::string& step : FolderChain(folder)) {
    // A step that exists already, or that we may not create but is
    // there, is fine: the check at the end decides.
    CreateDirectoryW(Wide(step).c_str(), nullptr);
  }
  const DWORD attributes = GetFileAttributesW(Wide(folder).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Backend::CopyFile(const std::string& from, const std::string& to) {
  const std::wstring target = Wide(to);
  if (!CopyFileW(Wide(from).c_str(), target.c_str(), FALSE)) return false;
  // The copy carries the original's attributes; it is ours to write, even
  // when the original was marked read-only.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(target.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  }
  return true;
}

// A named mutex in the session's namespace, named after the user: the
// system releases it when the process ends, however it ends, so a copy that
// crashed never keeps the game from starting.
bool Win32Backend::ClaimSingleInstance() {
  if (instanceClaim_ != nullptr) return true;
  wchar_t user[257] = {};
  DWORD length = DWORD(std::size(user));
  std::wstring name = L"Local\\Marivo2.Running";
  if (GetUserNameW(user, &length) && length > 1) {
    std::wstring who(user, length - 1);
    std::replace(who.begin(), who.end(), L'\\', L'_');  // not allowed in a name
    name += L"." + who;
  }
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  const DWORD error = GetLastError();
  if (mutex != nullptr && error == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return false;
  }
  if (mutex == nullptr) {
    // Someone holds the name and will not share it: another copy runs.
    // Any other failure must not keep the player from the game.
    return error != ERROR_ACCESS_DENIED;
  }
  instanceClaim_ = mutex;  // held until the process ends
  return true;
}

std::string Win32Backend::UserSettingsDir() {
  // %APPDATA%, else the system's answer for the roaming application data;
  // without either there is no per-user folder (never the executable's
  // own folder, which would make the two places one).
  std::wstring folder;
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
  if (n > 1) {
    folder.resize(n);
    const DWORD got = GetEnvironmentVariableW(L"APPDATA", folder.data(), n);
    folder.resize(got < n ? got : 0);
  }
  if (folder.empty()) {
    wchar_t buffer[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, buffer))) folder = buffer;
  }
  if (folder.empty()) return {};
  if (folder.back() != L'\\') folder += L'\\';
  return Narrow(folder) + "Marivo2";
}

}  // namespace marivo::win32
