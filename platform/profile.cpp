// Our own private-profile reader and writer.
//
// Reading follows the rules the desktop's own service documents: section
// and key names match without regard to (ASCII) case; blanks around names
// and values are dropped; one pair of matching quotes around a whole value
// is dropped; the first matching section and the first matching key in it
// win; lines end in CR, LF or CRLF; a value is cut at 510 characters; keys
// before the first section header belong to no section. A leading UTF-8
// byte-order mark (an editor's "UTF-8 with BOM") is read through and kept.
// Any bytes at all read as these rules say, without crashing.
//
// Writing rewrites the whole file: the new content goes to a fresh file
// beside the old one, is flushed to the disk and then renamed over the
// old one, so that a program that dies half-way leaves either the old file
// or the new one, never a truncated mixture. Every other line is kept as
// it was. A record that is a symbolic link is written where the link leads
// (the temporary beside the target, so the rename stays atomic) and the
// link stays; something that is not a regular file is never written over.
#include "platform/profile.h"

#include <vector>

#include "platform/paths.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#endif

namespace marivo::profile {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kTemporaryMarker = ".saving-";
constexpr std::size_t kTemporaryRandom = 6;  // the letters or digits mkstemp puts there

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

// The mark itself, and the text behind it.
std::string_view SplitMark(std::string_view content, std::string_view& body) {
  if (content.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    body = content.substr(kByteOrderMark.size());
    return kByteOrderMark;
  }
  body = content;
  return {};
}

bool IsAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string ValueIn(std::string_view content, std::string_view section, std::string_view key) {
  std::string_view body;
  SplitMark(content, body);
  const std::vector<Line> lines = SplitLines(body);
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

bool Store(std::string_view content, std::string_view section, std::string_view key,
           std::string_view value, std::string& out) {
  const std::string_view sectionName = Trim(section);
  const std::string_view keyName = Trim(key);
  // Names or a value that would break the line structure are refused
  // rather than written as extra lines.
  if (keyName.empty() || keyName.find('=') != std::string_view::npos ||
      sectionName.find(']') != std::string_view::npos || Unsafe(section) || Unsafe(key) ||
      Unsafe(value)) {
    return false;
  }
  std::string_view body;
  const std::string_view mark = SplitMark(content, body);
  const std::vector<Line> lines = SplitLines(body);

  std::string_view eol = "\r\n";
  for (const Line& l : lines) {
    if (!l.ending.empty()) {
      eol = l.ending;
      break;
    }
  }
  std::string entry(keyName);
  entry.append("=").append(value);

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

  out.clear();
  out.reserve(content.size() + entry.size() + sectionName.size() + 8);
  out.append(mark);
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
  return true;
}

std::string TemporaryPrefix(std::string_view fileName) {
  std::string prefix = ".";
  prefix.append(fileName).append(kTemporaryMarker);
  return prefix;
}

bool IsTemporaryOf(std::string_view name, std::string_view fileName) {
  const std::string prefix = TemporaryPrefix(fileName);
  if (name.size() != prefix.size() + kTemporaryRandom || name.substr(0, prefix.size()) != prefix) {
    return false;
  }
  for (const char c : name.substr(prefix.size())) {
    if (!IsAlnum(c)) return false;
  }
  return true;
}

#ifndef _WIN32
namespace {

bool WriteAll(int fd, std::string_view content) {
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

// What is at a path: nothing, a regular file (with its status), or
// something else (a folder, a device, a path we may not even look at).
enum class Kind { Missing, Regular, Other };

Kind KindOf(const std::string& path, struct stat& info) {
  if (::stat(path.c_str(), &info) == 0) return S_ISREG(info.st_mode) ? Kind::Regular : Kind::Other;
  // A path we may not look at counts as taken, so that it is never
  // mistaken for a fresh, empty file.
  return errno == ENOENT || errno == ENOTDIR ? Kind::Missing : Kind::Other;
}

// The whole of a regular file. Anything else (a device, a folder, a fifo
// that would never end) is not read.
bool ReadWholeFile(const std::string& path, std::string& out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  std::string all;
  char buffer[8192];
  while (ok) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    all.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (ok) out = std::move(all);
  return ok;
}

// A writer killed between creating its temporary file and renaming it
// leaves the temporary behind. After a write has succeeded nothing of ours
// is in flight (one copy of the game runs at a time), so the leftovers of
// this file, and only those, go.
void RemoveStaleTemporaries(const std::string& path) {
  const std::string folder = FolderOf(path);
  const std::string base = NameOf(path);
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

// Writes `content` to a temporary beside `target` (a path that is no
// link) and renames it over `target`.
bool ReplaceFile(const std::string& target, std::string_view content, mode_t mode,
                 const struct stat* old) {
  std::string temp = FolderOf(target) + "/" + TemporaryPrefix(NameOf(target)) + "XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  // Root saving someone's record leaves it theirs.
  if (old != nullptr && ::geteuid() == 0) {
    [[maybe_unused]] const int owned = ::fchown(fd, old->st_uid, old->st_gid);
  }
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  const int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  RemoveStaleTemporaries(target);
  return true;
}

// The file a write may replace: where the links lead, a regular file or
// nothing yet, and not marked read-only for everyone (which stays as it
// is, whoever we are). Its status in `info` when it exists.
bool WritableTarget(const std::string& path, std::string& target, Kind& kind, struct stat& info) {
  target = FinalTarget(path);
  if (target.empty()) return false;
  kind = KindOf(target, info);
  if (kind == Kind::Other) return false;
  return kind == Kind::Missing || (info.st_mode & 0222) != 0;
}

// The process's file creation mask, read without changing it (umask()
// can only be read by setting it, which other threads would see); 022
// when the system does not say.
mode_t CreationMask() {
  std::string status;
  if (!ReadWholeFile("/proc/self/status", status)) return 022;
  const std::size_t at = status.find("\nUmask:");
  if (at == std::string::npos) return 022;
  return static_cast<mode_t>(std::strtoul(status.c_str() + at + 8, nullptr, 8) & 0777);
}

bool SaveTo(const std::string& target, Kind kind, const struct stat& info,
            std::string_view content) {
  // Never wider than rw-r--r--, nor wider than the file was; a new one as
  // the user's file creation mask has it.
  const mode_t mode = kind == Kind::Regular ? (info.st_mode & 0644) : (0644 & ~CreationMask());
  return ReplaceFile(target, content, mode, kind == Kind::Regular ? &info : nullptr);
}

}  // namespace

std::string FinalTarget(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
    if (n < 0 || std::size_t(n) >= link.size()) return {};
    link.resize(std::size_t(n));
    if (link.empty()) return {};
    current = link.front() == '/' ? link : FolderOf(current) + "/" + link;
  }
  return {};  // a loop of links
}

std::string Read(const std::string& section, const std::string& key, const std::string& path) {
  std::string all;
  if (!ReadWholeFile(path, all)) return {};
  return ValueIn(all, section, key);
}

bool Write(const std::string& section, const std::string& key, const std::string& value,
           const std::string& path) {
  std::string target;
  Kind kind = Kind::Missing;
  struct stat info {};
  if (!WritableTarget(path, target, kind, info)) return false;
  std::string all;
  // Only a missing file starts empty. One that exists but cannot be read
  // (its mode, another owner) is refused: rewriting it from nothing would
  // replace every line it holds with this one key.
  if (kind == Kind::Regular && !ReadWholeFile(target, all)) return false;
  std::string out;
  if (!Store(all, section, key, value, out)) return false;
  return SaveTo(target, kind, info, out);
}

bool SaveWhole(const std::string& path, const std::string& content) {
  std::string target;
  Kind kind = Kind::Missing;
  struct stat info {};
  return WritableTarget(path, target, kind, info) && SaveTo(target, kind, info, content);
}
#endif

}  // namespace marivo::profile
