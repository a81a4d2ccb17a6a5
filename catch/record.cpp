#include "catch/record.h"

#include <filesystem>
#include <system_error>

#include "catch/mod_fish.h"
#include "scene/game.h"

namespace marivo {

std::string RecordPath(const std::string& folder, const std::string& exeName, char separator) {
  std::string path = folder;
  if (path.empty() || path.back() != separator) path += separator;
  return path + exeName + ".ini";
}

namespace {

// Both places the record may live; sets ExeName, as every access does.
struct Places {
  std::string beside;   // in the executable's folder
  std::string perUser;  // in the user's settings folder, or empty
  std::string perUserFolder;
};

Places RecordPlaces(Game& game) {
  Platform& p = game.platform;
  game.state.ExeName = p.AppExeName();
  Places places;
  places.beside = RecordPath(p.AppPath(), game.state.ExeName, p.PathSeparator());
  places.perUserFolder = p.UserSettingsDir();
  if (!places.perUserFolder.empty()) {
    places.perUser = RecordPath(places.perUserFolder, game.state.ExeName, p.PathSeparator());
  }
  return places;
}

bool Exists(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

std::string TrimBlanks(std::string s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string ActiveRecordPath(Game& game) {
  const Places places = RecordPlaces(game);
  return Exists(places.perUser) ? places.perUser : places.beside;
}

std::string ReadSetting(Game& game, const std::string& section, const std::string& key) {
  const std::string path = ActiveRecordPath(game);
  std::string value = game.platform.ReadProfileString(section, key, path);
  // The desktop stores at most 510 characters and a terminating zero.
  if (value.size() > 510) value.resize(510);
  const auto zero = value.find('\0');
  if (zero != std::string::npos) value.resize(zero);
  return TrimBlanks(value);
}

bool WriteSetting(Game& game, const std::string& section, const std::string& key,
                  const std::string& value) {
  Platform& p = game.platform;
  const Places places = RecordPlaces(game);
  // Once the record has moved to the user's folder it stays there, so that
  // reads and writes always meet in the same file.
  if (Exists(places.perUser)) return p.WriteProfileString(section, key, value, places.perUser);
  if (p.WriteProfileString(section, key, value, places.beside)) return true;
  if (places.perUser.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(places.perUserFolder, error);
  // Carry over what the old record holds, so the move loses nothing.
  if (Exists(places.beside)) {
    std::filesystem::copy_file(places.beside, places.perUser,
                               std::filesystem::copy_options::skip_existing, error);
    // The copy is ours to write, whatever marks the original carried.
    std::filesystem::permissions(
        places.perUser, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
        std::filesystem::perm_options::add, error);
  }
  return p.WriteProfileString(section, key, value, places.perUser);
}

void LoadCatchCounts(Game& game) {
  auto& counts = game.state.CatchCount;
  counts.fill(0);
  const std::string v = ReadSetting(game, "Data", "Tyouka");
  if (v.empty()) return;
  for (int i = 0; i < kCreatureKinds; ++i) {
    // Hexadecimal digits are taken until the first other character; a
    // field without any reads as 0.
    int value = 0;
    for (std::size_t k = std::size_t(3 * i); k < v.size() && k < std::size_t(3 * i + 3); ++k) {
      const int digit = HexDigit(v[k]);
      if (digit < 0) break;
      value = value * 16 + digit;
    }
    counts[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(value);
  }
}

std::string TyoukaText(const std::array<std::int16_t, 46>& counts) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(3 * kCreatureKinds);
  for (int i = 0; i < kCreatureKinds; ++i) {
    const std::int16_t count = counts[static_cast<std::size_t>(i)];
    const unsigned field = count > 0xFFF ? 0xFFFu : static_cast<std::uint16_t>(count) & 0xFFFu;
    text += kDigits[(field >> 8) & 0xF];
    text += kDigits[(field >> 4) & 0xF];
    text += kDigits[field & 0xF];
  }
  return text;
}

void SaveCatchCounts(Game& game) {
  WriteSetting(game, "Data", "Tyouka", TyoukaText(game.state.CatchCount));
}

}  // namespace marivo
