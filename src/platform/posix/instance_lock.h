// The cross-process single-instance guard: an exclusive flock on a per-user lock file named from a
// fixed program name, in $XDG_RUNTIME_DIR (else the temp directory). The kernel frees the lock when
// the holder ends, however it ends, so a crashed instance never blocks the next one.
#pragma once

#include <string>

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

  // The lock file for `name`; characters other than letters, digits, '.', '-' and '_' become '_'.
  static std::string LockFilePath(const std::string& name);

 private:
  int fd_ = -1;
};

}  // namespace platform::posix
