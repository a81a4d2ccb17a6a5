#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/paths.h"
#include "platform/profile.h"

namespace marivo::posix {

FileAccess ProbeFile(const std::string& path) {
  if (path.empty()) return FileAccess::Missing;
  // A record that is a link is the file the link leads to: that is what a
  // write replaces, and the temporary goes beside it.
  const std::string target = profile::FinalTarget(path);
  if (target.empty()) return FileAccess::Unreadable;  // links in a circle
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) {
    // A path we may not even look at (a folder without search rights) is
    // not a missing file: treat it as one we cannot read.
    return errno == ENOENT || errno == ENOTDIR ? FileAccess::Missing : FileAccess::Unreadable;
  }
  // A folder, a device, /dev/null: never a record, never written over.
  if (!S_ISREG(info.st_mode)) return FileAccess::Unreadable;
  if (::faccessat(AT_FDCWD, target.c_str(), R_OK, AT_EACCESS) != 0) return FileAccess::Unreadable;
  // Replacing the record writes a new file beside it and renames it over
  // the old one: that needs the folder, and the file itself must be
  // writable for the run to be allowed to change it at all.
  // A file marked read-only for everyone stays as it is, even for root.
  if ((info.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 ||
      !FolderWritable(FolderOf(target))) {
    return FileAccess::ReadOnly;
  }
  return FileAccess::ReadWrite;
}

bool FolderWritable(const std::string& folder) {
  struct stat info {};
  if (folder.empty() || ::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool MakeFolder(const std::string& folder) {
  if (folder.empty()) return false;
  std::string partial;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = folder.find('/', pos + 1);
    partial = folder.substr(0, pos);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CopyFile(const std::string& from, const std::string& to) {
  // The whole record, then one atomic replace where `to` leads, with the
  // same care as every other save of the record.
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return false;
  struct stat info {};
  bool ok = ::fstat(in, &info) == 0 && S_ISREG(info.st_mode);
  std::string content;
  char buffer[4096];
  while (ok) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    content.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(in);
  return ok && profile::SaveWhole(to, content);
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);  // closing drops the flock
}

InstanceLock::Result InstanceLock::Claim(const std::vector<std::string>& folders,
                                         const std::string& name) {
  if (fd_ >= 0) return Result::Held;
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    if (!FolderWritable(folder) && !MakeFolder(folder)) continue;
    std::string path = folder;
    if (path.back() != '/') path += '/';
    path += name;
    // Never through a link: the lock is a plain file of our own.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const bool busy = errno == EWOULDBLOCK;
      ::close(fd);
      if (busy) return Result::Busy;
      continue;  // a file system without locks: try the next folder
    }
    fd_ = fd;
    path_ = path;
    // For a person looking: which process holds it.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd_, 0) == 0) {
      [[maybe_unused]] const ssize_t written = ::write(fd_, pid.data(), pid.size());
    }
    return Result::Held;
  }
  return Result::Nowhere;
}

std::string RuntimeDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return runtime;
  return {};
}

std::string PasswordHome() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
    return {};
  }
  return found->pw_dir;
}

}  // namespace marivo::posix
