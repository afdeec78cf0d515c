#include "platform/posix/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform::posix {

namespace {

std::string LockDirectory() {
  for (const char* var : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
    const char* dir = std::getenv(var);
    if (dir && *dir) return dir;
  }
  return "/tmp";
}

}  // namespace

std::string InstanceLock::LockFilePath(const std::string& name) {
  std::string file;
  for (unsigned char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                 c == '-' || c == '_';
    file += plain ? static_cast<char>(c) : '_';
  }
  // The runtime directory is already per user; the shared temp directory is not.
  if (!std::getenv("XDG_RUNTIME_DIR") || !*std::getenv("XDG_RUNTIME_DIR"))
    file.append(1, '-').append(std::to_string(getuid()));
  std::string path = LockDirectory();
  path.append(1, '/').append(file).append(".lock");
  return path;
}

InstanceLock::~InstanceLock() { Release(); }

void InstanceLock::Release() {
  if (fd_ >= 0) close(fd_);  // closing the descriptor drops the flock
  fd_ = -1;
}

InstanceLock::Result InstanceLock::Acquire(const std::string& name) {
  Release();
  int fd = open(LockFilePath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Result::Failed;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    if (error == EINTR) continue;
    close(fd);
    return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Failed;
  }
  fd_ = fd;
  return Result::Acquired;
}

}  // namespace platform::posix
