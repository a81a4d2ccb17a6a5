// Files, folders and the one-copy lock on POSIX systems, shared by the
// off-screen model and the Qt program. These are the real operating
// system's answers: the model's tests run them on real temporary folders.
#pragma once

#include <string>

#include "platform/backend.h"

namespace marivo::posix {

// What this process may do with the file at `path`, or where its links
// lead (effective ids, so an unprivileged user sees the mode bits that
// root would ignore). Anything but a regular file is Unreadable.
FileAccess ProbeFile(const std::string& path);
// Whether a new file can be created in `folder`; false when it is missing.
bool FolderWritable(const std::string& folder);
// Creates `folder` and its missing parents (mode 0700 for new ones).
bool MakeFolder(const std::string& folder);
// Puts the bytes of the regular file `from` into `to` (where its links
// lead) by an atomic replace; a new file gets mode 0644.
bool CopyFile(const std::string& from, const std::string& to);

// The per-user lock that keeps a second copy of the game from starting:
// an exclusive flock(2) on a file in `folder`. The kernel drops the lock
// when the holder dies, however it dies, so a lock file left behind by a
// crashed copy never blocks a start: only a living holder counts. The
// file itself is left in place (removing it would race a starting copy).
class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process now holds the lock (or already did). When the
  // folder cannot hold a lock file at all the game is not kept from
  // starting: true as well.
  bool Claim(const std::string& folder, const std::string& name);
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The folder for the lock: $XDG_RUNTIME_DIR when set, else `fallback`.
std::string RuntimeDir(const std::string& fallback);

}  // namespace marivo::posix
