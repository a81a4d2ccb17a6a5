// Small jobs on file paths that every backend needs.
#pragma once

#include <string>
#include <string_view>

namespace marivo {

// How a system separates the folders of a path: '/' alone, or on Windows
// '\' and '/' both, with drive letters ("C:\").
enum class PathStyle { Posix, Windows };

// The folder part of `path`: what comes before its last separator. A bare
// name lies in "."; a root keeps its separator ("/", "\", "C:\"), since
// "C:" alone names the drive's current folder, not its root.
inline std::string FolderOf(std::string_view path, PathStyle style = PathStyle::Posix) {
  const std::size_t slash = path.find_last_of(style == PathStyle::Windows ? "\\/" : "/");
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return std::string(path.substr(0, 1));
  if (style == PathStyle::Windows && slash == 2 && path[1] == ':') {
    return std::string(path.substr(0, 3));
  }
  return std::string(path.substr(0, slash));
}

// The name part of `path`: what comes after its last separator (all of it
// when there is none).
inline std::string NameOf(std::string_view path, PathStyle style = PathStyle::Posix) {
  const std::size_t slash = path.find_last_of(style == PathStyle::Windows ? "\\/" : "/");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace marivo
