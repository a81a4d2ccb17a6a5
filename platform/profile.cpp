// Our own private-profile reader and writer.
//
// Reading follows the rules the desktop's own service documents: section
// and key names match without regard to (ASCII) case; blanks around names
// and values are dropped; one pair of matching quotes around a whole value
// is dropped; the first matching section and the first matching key in it
// win; lines end in CR, LF or CRLF; a value is cut at 510 characters; keys
// before the first section header belong to no section. Any bytes at all
// read as these rules say, without crashing.
//
// Writing rewrites the whole file: the new content goes to a fresh file
// beside the old one, is flushed to the disk and then renamed over the
// old one, so that a program that dies half-way leaves either the old file
// or the new one, never a truncated mixture. Every other line is kept as
// it was.
#include "platform/profile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/paths.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <cerrno>

namespace marivo::profile {
namespace {

constexpr std::size_t kMaxValue = 510;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// One line of the file, without its ending; `ending` is "", "\n", "\r" or
// "\r\n" as it stood.
struct Line {
  std::string_view text;
  std::string_view ending;
};

std::vector<Line> SplitLines(std::string_view all) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = start;
    while (end < all.size() && all[end] != '\r' && all[end] != '\n') ++end;
    std::size_t next = end;
    if (next < all.size()) {
      next += (all[next] == '\r' && next + 1 < all.size() && all[next + 1] == '\n') ? 2 : 1;
    }
    lines.push_back({all.substr(start, end - start), all.substr(end, next - end)});
    start = next;
  }
  return lines;
}

// The section name of a header line "[name]", or nothing.
bool SectionName(std::string_view line, std::string_view& name) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() != '[') return false;
  const std::size_t close = t.rfind(']');
  if (close == std::string_view::npos || close == 0) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

// The key of a "key=value" line (a line without "=" is a key without a
// value); false for blank lines.
bool KeyOf(std::string_view line, std::string_view& key, std::string_view& value) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) {
    key = Trim(line);
    value = {};
  } else {
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
  }
  return !key.empty();
}

// Whether something is at `path`. A path we may not even look at counts
// as taken, so that it is never mistaken for a fresh, empty file.
bool Exists(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error) {
    return error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory;
  }
  return std::filesystem::exists(status);
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  out = buffer.str();
  return true;
}

// The first line index of the section's body and one past its end, or
// false when the file has no such section.
bool FindSection(const std::vector<Line>& lines, std::string_view section, std::size_t& begin,
                 std::size_t& end) {
  std::string_view name;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!SectionName(lines[i].text, name) || !SameName(name, section)) continue;
    begin = i + 1;
    end = begin;
    while (end < lines.size() && !SectionName(lines[end].text, name)) ++end;
    return true;
  }
  return false;
}

bool Unsafe(std::string_view s) {
  return s.find('\r') != std::string_view::npos || s.find('\n') != std::string_view::npos;
}

#ifdef _WIN32
bool ReplaceFile(const std::string& path, const std::string& content) {
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out) {
      out.close();
      std::remove(temp.c_str());
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temp, path, error);
  if (error) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}
#else
bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Whether `name` is one of our own temporaries for the file `base`: the
// base name, a dot and the six letters or digits mkstemp puts there.
bool IsTemporaryOf(std::string_view name, std::string_view base) {
  if (name.size() != base.size() + 7 || name.substr(0, base.size()) != base ||
      name[base.size()] != '.') {
    return false;
  }
  for (const char c : name.substr(base.size() + 1)) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) return false;
  }
  return true;
}

// A writer killed between creating its temporary file and renaming it
// leaves the temporary behind. After a write has succeeded nothing of ours
// is in flight (one copy of the game runs at a time), so the leftovers of
// this file, and only those, go.
void RemoveStaleTemporaries(const std::string& path) {
  const std::string folder = FolderOf(path);
  const std::size_t slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryOf(entry->d_name, base)) continue;
    const std::string stale = folder + "/" + entry->d_name;
    struct stat info {};
    if (::lstat(stale.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(stale.c_str());
  }
  ::closedir(dir);
}

bool ReplaceFile(const std::string& path, const std::string& content) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  // The record keeps the permissions it had; a new one is readable by all.
  struct stat old {};
  const bool existed = ::stat(path.c_str(), &old) == 0;
  // A file marked read-only for everyone stays as it is, whoever we are.
  if (existed && (old.st_mode & 0222) == 0) {
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  const mode_t mode = existed ? (old.st_mode & 07777) : 0644;
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  RemoveStaleTemporaries(path);
  return true;
}
#endif

}  // namespace

std::string Read(const std::string& section, const std::string& key, const std::string& path) {
  std::string all;
  if (!ReadWholeFile(path, all)) return {};
  const std::vector<Line> lines = SplitLines(all);
  std::size_t begin = 0;
  std::size_t end = 0;
  if (!FindSection(lines, Trim(section), begin, end)) return {};
  std::string_view name;
  std::string_view value;
  for (std::size_t i = begin; i < end; ++i) {
    if (!KeyOf(lines[i].text, name, value) || !SameName(name, Trim(key))) continue;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    if (value.size() > kMaxValue) value = value.substr(0, kMaxValue);
    return std::string(value);
  }
  return {};
}

bool Write(const std::string& section, const std::string& key, const std::string& value,
           const std::string& path) {
  const std::string_view sectionName = Trim(section);
  const std::string_view keyName = Trim(key);
  // Names or a value that would break the line structure are refused
  // rather than written as extra lines.
  if (keyName.empty() || keyName.find('=') != std::string_view::npos ||
      sectionName.find(']') != std::string_view::npos || Unsafe(section) || Unsafe(key) ||
      Unsafe(value)) {
    return false;
  }
  std::string all;
  // Only a missing file starts empty. One that exists but cannot be read
  // (its mode, another owner) is refused: rewriting it from nothing would
  // replace every line it holds with this one key.
  if (!ReadWholeFile(path, all) && Exists(path)) return false;
  const std::vector<Line> lines = SplitLines(all);

  std::string_view eol = "\r\n";
  for (const Line& l : lines) {
    if (!l.ending.empty()) {
      eol = l.ending;
      break;
    }
  }
  const std::string entry = std::string(keyName) + "=" + value;

  // Where the entry goes: replacing line `replace`, or inserted before line
  // `insert`; a new section is appended at the end.
  std::size_t replace = lines.size();
  std::size_t insert = lines.size();
  bool newSection = true;
  std::size_t begin = 0;
  std::size_t end = 0;
  if (FindSection(lines, sectionName, begin, end)) {
    newSection = false;
    insert = begin;
    std::string_view name;
    std::string_view old;
    for (std::size_t i = begin; i < end; ++i) {
      if (!Trim(lines[i].text).empty()) insert = i + 1;
      if (replace == lines.size() && KeyOf(lines[i].text, name, old) && SameName(name, keyName)) {
        replace = i;
      }
    }
  }

  std::string out;
  out.reserve(all.size() + entry.size() + sectionName.size() + 8);
  auto put = [&](std::string_view text, std::string_view ending, bool last) {
    out.append(text);
    // A line that gets another line after it needs an ending.
    out.append(ending.empty() && !last ? eol : ending);
  };
  const bool appendAtEnd = newSection || (replace == lines.size() && insert == lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool more = i + 1 < lines.size() || appendAtEnd;
    if (i == insert && replace == lines.size() && !newSection) put(entry, eol, false);
    if (i == replace) {
      put(entry, lines[i].ending, !more);
    } else {
      put(lines[i].text, lines[i].ending, !more);
    }
  }
  if (newSection) {
    out.append("[").append(sectionName).append("]").append(eol);
    out.append(entry).append(eol);
  } else if (appendAtEnd) {
    out.append(entry).append(eol);
  }
  return ReplaceFile(path, out);
}

}  // namespace marivo::profile
