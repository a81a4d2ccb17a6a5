// The catch record: the settings file beside the executable that keeps the
// forty creatures' counts and the completion flag between runs.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace marivo {

class Game;

// The stored text of `key` in `section`, without surrounding blanks; empty
// when the file, the section or the key is missing.
std::string ReadSetting(Game& game, const std::string& section, const std::string& key);
// Stores `value`; a refused write goes unnoticed.
void WriteSetting(Game& game, const std::string& section, const std::string& key,
                  const std::string& value);

// The record file's path: the executable's folder, a separator unless the
// folder already ends with one, the executable's name, ".ini".
std::string RecordPath(const std::string& folder, const std::string& exeName, char separator);

// Restores CatchCount from the "Tyouka" key (all 46 set to 0 first).
void LoadCatchCounts(Game& game);

}  // namespace marivo
