// The cross-process single-instance guard: an exclusive flock on a per-user lock file named from a
// fixed program name, in $XDG_RUNTIME_DIR (else, or when that is unusable, the temp directory). The
// kernel frees the lock when the holder ends, however it ends, so a crashed one never blocks the next.
#pragma once

#include <string>
#include <vector>

namespace platform::posix {

class InstanceLock {
 public:
  enum class Result { Acquired, HeldElsewhere, Failed };

  InstanceLock() = default;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock();  // releases the lock

  // Tries to take the lock of `name` without waiting. HeldElsewhere also when this same process holds
  // it through another InstanceLock (a second open counts as another holder, as a named mutex does).
  Result Acquire(const std::string& name);
  void Release();
  bool Held() const { return fd_ >= 0; }

  // Where the lock file for `name` may be, in the order they are tried: $XDG_RUNTIME_DIR when it is
  // this user's own writable folder, then $TMPDIR and /tmp with the user id in the name. Characters
  // other than letters, digits, '.', '-' and '_' become '_'.
  static std::vector<std::string> LockFilePaths(const std::string& name);
  static std::string LockFilePath(const std::string& name);  // the first of them

 private:
  int fd_ = -1;
};

}  // namespace platform::posix
