#include "catch/record.h"

#include "scene/game.h"

namespace marivo {

std::string RecordPath(const std::string& folder, const std::string& exeName, char separator) {
  std::string path = folder;
  if (path.empty() || path.back() != separator) path += separator;
  return path + exeName + ".ini";
}

namespace {

std::string CurrentPath(Game& game) {
  Platform& p = game.platform;
  game.state.ExeName = p.AppExeName();
  return RecordPath(p.AppPath(), game.state.ExeName, p.PathSeparator());
}

std::string TrimBlanks(std::string s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

}  // namespace

std::string ReadSetting(Game& game, const std::string& section, const std::string& key) {
  const std::string path = CurrentPath(game);
  std::string value = game.platform.ReadProfileString(section, key, path);
  if (value.size() > 510) value.resize(510);
  const auto zero = value.find('\0');
  if (zero != std::string::npos) value.resize(zero);
  return TrimBlanks(value);
}

void WriteSetting(Game& game, const std::string& section, const std::string& key,
                  const std::string& value) {
  const std::string path = CurrentPath(game);
  game.platform.WriteProfileString(section, key, value, path);
}

void LoadCatchCounts(Game& game) {
  auto& counts = game.state.CatchCount;
  counts.fill(0);
  const std::string v = ReadSetting(game, "Data", "Tyouka");
  if (v.empty()) return;
  for (int i = 0; i <= int(counts.size()) - 1 - 6; ++i) {
    // Hexadecimal digits are taken until the first other character.
    int value = 0;
    for (std::size_t k = std::size_t(3 * i); k < v.size() && k < std::size_t(3 * i + 3); ++k) {
      const char c = v[k];
      int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        break;
      }
      value = value * 16 + digit;
    }
    counts[i] = static_cast<std::int16_t>(value);
  }
}

}  // namespace marivo
