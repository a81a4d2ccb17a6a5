// Our own reader and writer of the private-profile settings format
// ("[Section]" lines, then "key=value" lines). The text rules are shared by
// every program (the Windows program does its file handling itself, with
// these rules); the file functions below them are the POSIX ones, for
// Linux and the off-screen model.
#pragma once

#include <string>
#include <string_view>

namespace marivo::profile {

// ---- The text of a settings file.

// The value of `key` in `section` of `content`, at most 510 characters;
// empty when the section or the key is missing. A leading UTF-8
// byte-order mark is read through.
std::string ValueIn(std::string_view content, std::string_view section, std::string_view key);

// `content` with `value` stored under `key` in `section` (the section and
// the key made as needed, every other line and a byte-order mark kept), in
// `out`. False when the names or the value would break the line structure.
bool Store(std::string_view content, std::string_view section, std::string_view key,
           std::string_view value, std::string& out);

// Our writers' temporary files for the file named `fileName`: a leading
// dot, the name, ".saving-" and six letters or digits. Nobody else names a
// file so, which is why only these are ever swept away.
std::string TemporaryPrefix(std::string_view fileName);
bool IsTemporaryOf(std::string_view name, std::string_view fileName);

#ifndef _WIN32
// ---- Files (POSIX).

// Where `path` finally leads once its symbolic links are followed (the
// path itself when it is no link); empty when the links go round in
// circles. A dangling link leads to the file it names.
std::string FinalTarget(const std::string& path);

// The value of `key` in `section` of the file at `path`; empty when the
// file, the section or the key is missing.
std::string Read(const std::string& section, const std::string& key, const std::string& path);

// Stores `value` under `key` in `section` of the file at `path`, creating
// the file, the section and the key as needed. False when the file could
// not be written: the file is then as it was.
bool Write(const std::string& section, const std::string& key, const std::string& value,
           const std::string& path);

// Replaces the whole file at `path` (where its links lead) with `content`,
// atomically. Refused for anything but a regular file or a missing one,
// and for a file nobody may write. The file's mode stays, opened no wider
// than 0644; a new file gets 0644.
bool SaveWhole(const std::string& path, const std::string& content);
#endif

}  // namespace marivo::profile
