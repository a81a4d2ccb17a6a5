// The catch record: the settings file beside the executable that keeps the
// forty creatures' counts and the completion flag between runs.
//
// Each run keeps its record in one place, chosen once at start-up: beside
// the executable when that file can be read and replaced (or made there),
// otherwise under the same name in the user's own settings folder. A place
// without a record starts from the other place's. A record that cannot be
// read is never replaced.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace marivo {

class Game;

// The stored text of `key` in `section`, without surrounding blanks; empty
// when the file, the section or the key is missing.
std::string ReadSetting(Game& game, const std::string& section, const std::string& key);
// Stores `value` in this run's record. False when the write was refused;
// callers carry on.
bool WriteSetting(Game& game, const std::string& section, const std::string& key,
                  const std::string& value);

// The record file's path: the executable's folder, a separator unless the
// folder already ends with one, the executable's name, ".ini".
std::string RecordPath(const std::string& folder, const std::string& exeName, char separator);
// Picks this run's record file (see above) and carries the other place's
// record over when this one has none. Start-up calls it once; the first
// read or write calls it when start-up has not.
void ChooseRecordPlace(Game& game);
// This run's record file.
std::string ActiveRecordPath(Game& game);

// Restores CatchCount from the "Tyouka" key (all 46 set to 0 first).
void LoadCatchCounts(Game& game);
// The "Tyouka" text of the forty creatures' counts: three upper-case
// hexadecimal digits each. A count above 4095 is written as FFF, so that a
// much-caught kind never reads back as uncaught; a negative count keeps
// the last three digits of its 16-bit form (-1 gives FFF).
std::string TyoukaText(const std::array<std::int16_t, 46>& counts);
// Writes the counts as they stand, as the exit item does.
void SaveCatchCounts(Game& game);

}  // namespace marivo
