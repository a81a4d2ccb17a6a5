#include "catch/record.h"

#include <iterator>
#include <vector>

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

// The place that is not `path`, or empty when there is none.
std::string OtherPlace(const Places& places, const std::string& path) {
  const std::string& other = path == places.beside ? places.perUser : places.beside;
  return other == path ? std::string() : other;
}

bool Readable(FileAccess access) {
  return access == FileAccess::ReadWrite || access == FileAccess::ReadOnly;
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

std::string UnsavedKey(const std::string& section, const std::string& key) {
  return section + "\n" + key;
}

std::string ReadAt(Game& game, const std::string& path, const std::string& section,
                   const std::string& key) {
  std::string value = game.platform.ReadProfileString(section, key, path);
  // The desktop stores at most 510 characters and a terminating zero.
  if (value.size() > 510) value.resize(510);
  const auto zero = value.find('\0');
  if (zero != std::string::npos) value.resize(zero);
  return TrimBlanks(value);
}

// The forty counts of a "Tyouka" text: hexadecimal digits are taken until
// the first other character; a field without any reads as 0.
void DecodeCounts(const std::string& v, std::array<std::int16_t, 46>& counts) {
  counts.fill(0);
  for (int i = 0; i < kCreatureKinds; ++i) {
    int value = 0;
    for (std::size_t k = std::size_t(3 * i); k < v.size() && k < std::size_t(3 * i + 3); ++k) {
      const int digit = HexDigit(v[k]);
      if (digit < 0) break;
      value = value * 16 + digit;
    }
    counts[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(value);
  }
}

// One write to the record at `path`.
bool WriteAt(Game& game, const std::string& path, const std::string& section,
             const std::string& key, const std::string& value) {
  Platform& p = game.platform;
  // The old collection could not be carried over at start-up: try once
  // more before this write starts the file afresh.
  if (game.record.readPath != path && p.ProbeFile(path) == FileAccess::Missing) {
    p.CopyFile(game.record.readPath, path);
  }
  if (!p.WriteProfileString(section, key, value, path)) return false;
  game.record.readPath = path;
  return true;
}

// Makes `other` hold this run's whole collection, before a save goes
// there instead of to the place that failed.
bool MoveRecordTo(Game& game, const Places& places, const std::string& other) {
  Platform& p = game.platform;
  RecordState& record = game.record;
  if (other == places.perUser) p.MakeFolder(places.perUserFolder);
  // A place without a record starts from this run's, so that whatever else
  // the record holds goes along.
  if (p.ProbeFile(other) == FileAccess::Missing && Readable(p.ProbeFile(record.readPath))) {
    p.CopyFile(record.readPath, other);
  }
  bool ok = true;
  for (const auto& [name, value] : record.unsaved) {
    const std::size_t cut = name.find('\n');
    ok = ok && p.WriteProfileString(name.substr(0, cut), name.substr(cut + 1), value, other);
  }
  if (record.loaded) {
    ok = ok && p.WriteProfileString("Data", "Tyouka", TyoukaText(game.state.CatchCount), other);
  }
  if (record.complete) ok = ok && p.WriteProfileString("Data", "Complete", "1", other);
  return ok;
}

// Says once per run that the collection could not be saved, and where the
// game tried. The box pumps events and may come up inside a landing: the
// run counts as told before it opens, so a save inside it (or after it)
// never opens a second one.
void TellSaveFailed(Game& game, const std::vector<std::string>& tried) {
  if (game.record.failureTold) return;
  game.record.failureTold = true;
  std::string text = kSaveFailedMessage;
  for (const std::string& path : tried) text += "\n" + path;
  game.platform.MsgBox(text, MessageStyle::OkOnly);
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
  game.record.path = useBeside ? places.beside : places.perUser;
  game.record.readPath = game.record.path;
  if (!useBeside) p.MakeFolder(places.perUserFolder);

  // A place without a record starts from the other place's, so that moving
  // between the two loses nothing.
  const std::string& other = useBeside ? places.perUser : places.beside;
  if (other.empty() || p.ProbeFile(game.record.path) != FileAccess::Missing) return;
  if (!Readable(p.ProbeFile(other))) return;
  // Should the copy fail, the run still reads the old collection; its
  // writes go to this run's place and keep every key they find there.
  if (!p.CopyFile(other, game.record.path)) game.record.readPath = other;
}

std::string ActiveRecordPath(Game& game) {
  if (game.record.path.empty()) ChooseRecordPlace(game);
  return game.record.path;
}

std::string ReadSetting(Game& game, const std::string& section, const std::string& key) {
  game.state.ExeName = game.platform.AppExeName();
  ActiveRecordPath(game);
  const auto unsaved = game.record.unsaved.find(UnsavedKey(section, key));
  if (unsaved != game.record.unsaved.end()) return TrimBlanks(unsaved->second);
  return ReadAt(game, game.record.readPath, section, key);
}

bool WriteSetting(Game& game, const std::string& section, const std::string& key,
                  const std::string& value, bool tell) {
  RecordState& record = game.record;
  const std::string path = ActiveRecordPath(game);
  const Places places = RecordPlaces(game);
  if (section == "Data" && key == "Complete" && value == "1") record.complete = true;
  std::vector<std::string> tried{path};
  bool saved = WriteAt(game, path, section, key, value);
  // This place failed (a full disk, a folder gone read-only, the record
  // turned into something else): the other place takes the collection
  // and this run's later saves.
  const std::string other = OtherPlace(places, path);
  if (!saved && !other.empty()) {
    tried.push_back(other);
    if (MoveRecordTo(game, places, other) && WriteAt(game, other, section, key, value)) {
      record.path = other;
      saved = true;
    }
  }
  if (saved) {
    // Whatever an earlier failed save held goes along now.
    record.unsaved.erase(UnsavedKey(section, key));
    for (auto it = record.unsaved.begin(); it != record.unsaved.end();) {
      const std::size_t cut = it->first.find('\n');
      const bool kept = game.platform.WriteProfileString(
          it->first.substr(0, cut), it->first.substr(cut + 1), it->second, record.path);
      it = kept ? record.unsaved.erase(it) : std::next(it);
    }
    return true;
  }
  // Kept for the run: the next save (every landing, the exit) tries again.
  record.unsaved[UnsavedKey(section, key)] = value;
  ++record.failedSaves;
  if (tell) TellSaveFailed(game, tried);
  return false;
}

void LoadCatchCounts(Game& game) {
  Platform& p = game.platform;
  RecordState& record = game.record;
  auto& counts = game.state.CatchCount;
  DecodeCounts(ReadSetting(game, "Data", "Tyouka"), counts);
  record.complete = ReadSetting(game, "Data", "Complete") == "1";
  record.loaded = true;

  // Both places hold a record (catches saved per user while the program's
  // folder was closed, say): start from their merge, so none is hidden.
  const std::string other = OtherPlace(RecordPlaces(game), record.path);
  if (other.empty() || other == record.readPath || !Readable(p.ProbeFile(other))) return;
  std::array<std::int16_t, 46> theirs{};
  DecodeCounts(ReadAt(game, other, "Data", "Tyouka"), theirs);
  bool raised = false;
  for (std::size_t i = 0; i < std::size_t(kCreatureKinds); ++i) {
    if (theirs[i] > counts[i]) {
      counts[i] = theirs[i];
      raised = true;
    }
  }
  const bool completed = !record.complete && ReadAt(game, other, "Data", "Complete") == "1";
  // This run's place gets the merge now; the other file is left as it is.
  if (raised) SaveCatchCounts(game);
  if (completed) WriteSetting(game, "Data", "Complete", "1");
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

bool SaveCatchCounts(Game& game, bool tell) {
  // Counts that were never read from the record (a copy refused at
  // start-up, or one still starting) are zeros: saving them would wipe it.
  if (!game.record.loaded) return false;
  return WriteSetting(game, "Data", "Tyouka", TyoukaText(game.state.CatchCount), tell);
}

}  // namespace marivo
