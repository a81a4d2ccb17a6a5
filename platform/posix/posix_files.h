// Files, folders and the one-copy lock on POSIX systems, shared by the
// off-screen model and the Qt program. These are the real operating
// system's answers: the model's tests run them on real temporary folders.
#pragma once

#include <string>
#include <vector>

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
// an exclusive flock(2) on a file in one of a list of folders. The kernel
// drops the lock when the holder dies, however it dies, so a lock file left
// behind by a crashed copy never blocks a start: only a living holder
// counts. The file itself is left in place (removing it would race a
// starting copy).
class InstanceLock {
 public:
  enum class Result {
    Held,     // this process holds the lock (now, or already did)
    Busy,     // another living process holds it
    Nowhere,  // no folder of the list could hold a lock file
  };

  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Takes the lock in the first of `folders` that can hold the file `name`
  // (a missing folder is made; empty entries are skipped). A folder that
  // cannot be made, written or locked in passes the turn to the next, so
  // two copies started alike always meet in the same folder.
  Result Claim(const std::vector<std::string>& folders, const std::string& name);
  bool Held() const { return fd_ >= 0; }
  // The lock file this process holds; empty when none.
  const std::string& Path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// $XDG_RUNTIME_DIR when it names an absolute folder, else empty.
std::string RuntimeDir();
// The home folder the password database gives this user; empty if none.
std::string PasswordHome();

}  // namespace marivo::posix
