#include "catch/record.h"

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

void ChooseRecordPlace(Game& game) {
  Platform& p = game.platform;
  const Places places = RecordPlaces(game);
  const FileAccess beside = p.ProbeFile(places.beside);
  // Beside the program when that file can be both read and replaced, or
  // can be made there. A record that is there but cannot be read, or
  // cannot be replaced, is left exactly as it is.
  bool useBeside = beside == FileAccess::ReadWrite ||
                   (beside == FileAccess::Missing && p.FolderWritable(p.AppPath()));
  if (places.perUser.empty()) useBeside = true;  // nowhere else to go
  game.recordPath = useBeside ? places.beside : places.perUser;
  game.recordReadPath = game.recordPath;
  if (!useBeside) p.MakeFolder(places.perUserFolder);

  // A place without a record starts from the other place's, so that moving
  // between the two loses nothing.
  const std::string& other = useBeside ? places.perUser : places.beside;
  if (other.empty() || p.ProbeFile(game.recordPath) != FileAccess::Missing) return;
  const FileAccess otherAccess = p.ProbeFile(other);
  if (otherAccess != FileAccess::ReadWrite && otherAccess != FileAccess::ReadOnly) return;
  // Should the copy fail, the run still reads the old collection; its
  // writes go to this run's place and keep every key they find there.
  if (!p.CopyFile(other, game.recordPath)) game.recordReadPath = other;
}

std::string ActiveRecordPath(Game& game) {
  if (game.recordPath.empty()) ChooseRecordPlace(game);
  return game.recordPath;
}

std::string ReadSetting(Game& game, const std::string& section, const std::string& key) {
  game.state.ExeName = game.platform.AppExeName();
  ActiveRecordPath(game);
  std::string value = game.platform.ReadProfileString(section, key, game.recordReadPath);
  // The desktop stores at most 510 characters and a terminating zero.
  if (value.size() > 510) value.resize(510);
  const auto zero = value.find('\0');
  if (zero != std::string::npos) value.resize(zero);
  return TrimBlanks(value);
}

bool WriteSetting(Game& game, const std::string& section, const std::string& key,
                  const std::string& value) {
  game.state.ExeName = game.platform.AppExeName();
  const std::string path = ActiveRecordPath(game);
  // The old collection could not be carried over at start-up: try once
  // more before this write starts the file afresh.
  if (game.recordReadPath != path && game.platform.ProbeFile(path) == FileAccess::Missing) {
    game.platform.CopyFile(game.recordReadPath, path);
  }
  const bool written = game.platform.WriteProfileString(section, key, value, path);
  if (written) game.recordReadPath = path;
  return written;
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
