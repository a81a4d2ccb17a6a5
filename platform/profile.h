// Our own reader and writer of the private-profile settings format
// ("[Section]" lines, then "key=value" lines), used where the desktop has
// no such service of its own (Linux and the off-screen model).
#pragma once

#include <string>

namespace marivo::profile {

// The value of `key` in `section` of the file at `path`, at most 510
// characters; empty when the file, the section or the key is missing.
std::string Read(const std::string& section, const std::string& key, const std::string& path);

// Stores `value` under `key` in `section`, creating the file, the section
// and the key as needed. False when the file could not be written.
bool Write(const std::string& section, const std::string& key, const std::string& value,
           const std::string& path);

}  // namespace marivo::profile
