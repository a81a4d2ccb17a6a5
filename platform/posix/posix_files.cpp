#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/paths.h"

namespace marivo::posix {

FileAccess ProbeFile(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) {
    // A path we may not even look at (a folder without search rights) is
    // not a missing file: treat it as one we cannot read.
    return errno == ENOENT || errno == ENOTDIR || path.empty() ? FileAccess::Missing
                                                               : FileAccess::Unreadable;
  }
  if (!S_ISREG(info.st_mode)) return FileAccess::Unreadable;
  if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) return FileAccess::Unreadable;
  // Replacing the record writes a new file beside it and renames it over
  // the old one: that needs the folder, and the file itself must be
  // writable for the run to be allowed to change it at all.
  // A file marked read-only for everyone stays as it is, even for root.
  if ((info.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 ||
      !FolderWritable(FolderOf(path))) {
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
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(out, buffer + done, static_cast<std::size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        ok = false;
        break;
      }
      done += put;
    }
    if (!ok) break;
  }
  if (ok && ::fsync(out) != 0) ok = false;
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (!ok) ::unlink(to.c_str());
  return ok;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);  // closing drops the flock
}

bool InstanceLock::Claim(const std::string& folder, const std::string& name) {
  if (fd_ >= 0) return true;
  if (!FolderWritable(folder) && !MakeFolder(folder)) return true;
  std::string path = folder;
  if (path.back() != '/') path += '/';
  path += name;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return !busy;
  }
  fd_ = fd;
  // For a person looking: which process holds it.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd_, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::write(fd_, pid.data(), pid.size());
  }
  return true;
}

std::string RuntimeDir(const std::string& fallback) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return runtime;
  return fallback;
}

}  // namespace marivo::posix
