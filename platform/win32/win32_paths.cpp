#include "platform/win32/win32_paths.h"

#include <algorithm>

namespace marivo::win32 {

ModulePath SplitModulePath(std::string_view fullPath) {
  ModulePath result;
  if (fullPath.find_first_of("\\/") != std::string_view::npos) result.folder = FolderOf(fullPath);
  const std::string file = NameOf(fullPath);
  const std::size_t dot = file.find_last_of('.');
  result.exeName = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
  return result;
}

std::vector<std::string> FolderChain(std::string_view folder) {
  std::string path(folder);
  std::replace(path.begin(), path.end(), '/', '\\');
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  // Where the folders to create begin: after "C:\", after "\\server\share\",
  // after a leading "\", or at the start of a relative path.
  std::size_t start = 0;
  if (path.size() >= 2 && path[1] == ':') {
    start = path.size() > 2 && path[2] == '\\' ? 3 : 2;
  } else if (path.rfind("\\\\", 0) == 0) {
    const std::size_t server = path.find('\\', 2);
    const std::size_t share = server == std::string::npos ? server : path.find('\\', server + 1);
    start = share == std::string::npos ? path.size() : share + 1;
  } else if (!path.empty() && path[0] == '\\') {
    start = 1;
  }
  std::vector<std::string> chain;
  for (std::size_t at = start; at < path.size();) {
    std::size_t end = path.find('\\', at);
    if (end == std::string::npos) end = path.size();
    if (end > at) chain.push_back(path.substr(0, end));
    at = end + 1;
  }
  return chain;
}

}  // namespace marivo::win32
