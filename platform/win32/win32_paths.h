// Paths on Windows: the executable's folder and name, a file's folder and name,
// the folders to create for the per-user record. Free of <windows.h>, so that it is tested on every
// build machine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/paths.h"

namespace marivo::win32 {

// The executable's folder and its name without the extension, from the
// full module path. The folder keeps its trailing backslash only for a
// drive root ("D:\"), the way the game expects a folder.
struct ModulePath {
  std::string folder;
  std::string exeName;
};
ModulePath SplitModulePath(std::string_view fullPath);

// The folder part of a file path ("." for a bare name; "C:\" keeps its
// backslash): the shared helper, with Windows' separators.
inline std::string FolderOf(std::string_view path) {
  return marivo::FolderOf(path, PathStyle::Windows);
}

// The name part of a file path, after its last backslash or slash.
inline std::string NameOf(std::string_view path) {
  return marivo::NameOf(path, PathStyle::Windows);
}

// The folders to create, outermost first, for `folder` and its parents:
// the drive ("C:\") or share ("\\server\share") they live on is not
// among them. Backslashes and slashes both separate.
std::vector<std::string> FolderChain(std::string_view folder);

}  // namespace marivo::win32
