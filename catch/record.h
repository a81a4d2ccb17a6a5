// The catch record: the settings file beside the executable that keeps the
// forty creatures' counts and the completion flag between runs.
//
// Each run keeps its record in one place, chosen at start-up: beside the
// executable when that file can be read and replaced (or made there),
// otherwise under the same name in the user's own settings folder. A place
// without a record starts from the other place's; when both hold one, the
// run starts from their merge. A record that cannot be read is never
// replaced. A save that fails moves the record to the other place; when
// that fails too the player is told, once per run, and every later save
// tries again.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace marivo {

class Game;

// What a run knows about its record.
struct RecordState {
  // This run's record file, and where reads come from (the same file, but
  // while an old record could not be carried over, that old record).
  std::string path;
  std::string readPath;
  // The counts have been read at start-up; before that a save would store
  // counts that were never loaded.
  bool loaded = false;
  // The collection was found complete or was completed in this run.
  bool complete = false;
  // Values this run stored that no file has taken yet ("section\nkey").
  std::map<std::string, std::string> unsaved;
  // Saves that reached no file; the player has been told of them.
  int failedSaves = 0;
  bool failureTold = false;
};

// The text the player is shown, once per run, when a save reached no file;
// the paths tried follow it, one per line.
inline constexpr const char* kSaveFailedMessage = "釣果を保存できませんでした。";

// The stored text of `key` in `section`, without surrounding blanks; empty
// when the file, the section or the key is missing. A value this run stored
// but could not save reads as stored.
std::string ReadSetting(Game& game, const std::string& section, const std::string& key);
// Stores `value` in this run's record, or failing that in the other place,
// which then becomes this run's record. False when neither took it: the
// player is told (once per run, unless `tell` is false) and callers carry
// on.
bool WriteSetting(Game& game, const std::string& section, const std::string& key,
                  const std::string& value, bool tell = true);

// The record file's path: the executable's folder, a separator unless the
// folder already ends with one, the executable's name, ".ini".
std::string RecordPath(const std::string& folder, const std::string& exeName, char separator);
// Picks this run's record file (see above) and carries the other place's
// record over when this one has none. Start-up calls it once; the first
// read or write calls it when start-up has not.
void ChooseRecordPlace(Game& game);
// This run's record file.
std::string ActiveRecordPath(Game& game);

// Restores CatchCount from the "Tyouka" key (all 46 set to 0 first). When
// the other place holds a readable record too, each count is the larger of
// the two and the collection is complete when either says so; what the
// other place adds is saved at once to this run's record.
void LoadCatchCounts(Game& game);
// The "Tyouka" text of the forty creatures' counts: three upper-case
// hexadecimal digits each. A count above 4095 is written as FFF, so that a
// much-caught kind never reads back as uncaught; a negative count keeps
// the last three digits of its 16-bit form (-1 gives FFF).
std::string TyoukaText(const std::array<std::int16_t, 46>& counts);
// Writes the counts as they stand, as the exit item does; nothing before
// start-up has read them. `tell` as for WriteSetting (the session's end
// has nobody to tell).
bool SaveCatchCounts(Game& game, bool tell = true);

}  // namespace marivo
