// Files and paths: the settings file that holds the record (our own
// profile rules, an atomic replace), the executable's folder and name, the
// per-user settings folder, the probes and copies around the record, and
// the one-copy-per-user claim.
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "platform/profile.h"
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

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool HasMark(const std::string& content) {
  return content.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0;
}

// A text (UTF-8 in the game) as the file spells it: UTF-8 in a file that
// starts with the byte-order mark, the system's 8-bit code page otherwise
// (as the system's own profile functions wrote it).
std::optional<std::string> AsInFile(const std::string& text, bool utf8) {
  if (utf8) return text;
  return ToCodePage(Wide(text));
}

// The whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::string& out) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string all;
  char buffer[8192];
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, DWORD(sizeof buffer), &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    all.append(buffer, got);
  }
  CloseHandle(file);
  if (ok) out = std::move(all);
  return ok;
}

// The folder of `path` ending in its separator, for a name to follow.
std::wstring FolderWithSeparator(const std::wstring& path) {
  std::string folder = FolderOf(Narrow(path));
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return Wide(folder);
}

// A killed writer leaves its temporary behind; after a write has
// succeeded nothing of ours is in flight, so ours, and only ours, go.
void RemoveStaleTemporaries(const std::wstring& path) {
  const std::wstring folder = FolderWithSeparator(path);
  const std::string name = NameOf(Narrow(path));
  const std::wstring pattern = folder + Wide(profile::TemporaryPrefix(name)) + L"*";
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    if (!profile::IsTemporaryOf(Narrow(found.cFileName), name)) continue;
    DeleteFileW((folder + found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// Replaces the file at `path` with `content` atomically: a temporary beside
// it, written and flushed to the disk, then moved over it in one step, so
// that a program killed half-way leaves the old record or the new one.
bool ReplaceWholeFile(const std::wstring& path, const std::string& content) {
  const std::wstring stem =
      FolderWithSeparator(path) + Wide(profile::TemporaryPrefix(NameOf(Narrow(path))));
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uint32_t seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  std::wstring temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = stem;
    for (int i = 0; i < 6; ++i) {
      seed = seed * 1664525u + 1013904223u;
      temp += wchar_t(kLetters[(seed >> 16) % 36]);
    }
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  for (std::size_t done = 0; ok && done < content.size();) {
    DWORD put = 0;
    const DWORD chunk = DWORD(std::min<std::size_t>(content.size() - done, 1u << 20));
    ok = WriteFile(file, content.data() + done, chunk, &put, nullptr) && put > 0;
    done += put;
  }
  if (ok) ok = FlushFileBuffers(file) != FALSE;
  if (!CloseHandle(file)) ok = false;
  if (ok) {
    ok = MoveFileExW(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }
  if (!ok) {
    DeleteFileW(temp.c_str());
    return false;
  }
  RemoveStaleTemporaries(path);
  return true;
}

}  // namespace

// The settings file is read and written with our own profile rules
// (platform/profile.h), the same as on Linux, so a record that another
// editor saved with a byte-order mark reads as it should, and every save
// replaces the file atomically.
std::string Win32Backend::ReadProfileString(const std::string& section, const std::string& key,
                                            const std::string& path) {
  std::string all;
  if (!ReadWholeFile(Wide(path), all)) return {};
  const bool utf8 = HasMark(all);
  const auto aSection = AsInFile(section, utf8), aKey = AsInFile(key, utf8);
  if (!aSection || !aKey) return {};
  const std::string value = profile::ValueIn(all, *aSection, *aKey);
  // The game never chooses a record it cannot read, and the write below
  // refuses one, so an empty answer from such a file can never turn into
  // an empty record on disk.
  return utf8 ? value : FromCodePage(value.data(), int(value.size()));
}

bool Win32Backend::WriteProfileString(const std::string& section, const std::string& key,
                                      const std::string& value, const std::string& path) {
  // A file that cannot be read would be rewritten from nothing, losing
  // everything else it holds: it is left alone, as is a folder.
  if (ProbeFile(path) == FileAccess::Unreadable) return false;
  const std::wstring wPath = Wide(path);
  const DWORD attributes = GetFileAttributesW(wPath.c_str());
  std::string all;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // A record marked read-only stays as it is.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return false;
    if (!ReadWholeFile(wPath, all)) return false;
  }
  const bool utf8 = HasMark(all);
  const auto aSection = AsInFile(section, utf8), aKey = AsInFile(key, utf8),
             aValue = AsInFile(value, utf8);
  std::string out;
  if (!aSection || !aKey || !aValue || !profile::Store(all, *aSection, *aKey, *aValue, out)) {
    return false;
  }
  return ReplaceWholeFile(wPath, out);
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
    if (error == ERROR_ACCESS_DENIED) return false;
    // Any other failure (the name taken by an object that is no mutex)
    // must not keep the player from the game, but is not a silent one.
    std::fprintf(stderr,
                 "marivo2: the one-copy claim could not be made (error %lu); this copy runs "
                 "without it, so a second copy would not be stopped.\n",
                 static_cast<unsigned long>(error));
    std::fflush(stderr);
    return true;
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
