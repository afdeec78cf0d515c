#include "platform/posix/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform::posix {

namespace {

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : "";
}

// The runtime folder counts only when it really is this user's own writable folder; otherwise the
// lock goes to the shared temporary folder, as when the variable is unset.
bool UsableRuntimeFolder(const std::string& folder) {
  struct stat st {};
  return !folder.empty() && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
         (st.st_mode & S_IWUSR) != 0 && access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string SafeFileName(const std::string& name) {
  std::string file;
  for (unsigned char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                 c == '-' || c == '_';
    file += plain ? static_cast<char>(c) : '_';
  }
  return file;
}

}  // namespace

std::vector<std::string> InstanceLock::LockFilePaths(const std::string& name) {
  const std::string file = SafeFileName(name);
  std::vector<std::string> paths;
  const std::string runtime = FromEnvironment("XDG_RUNTIME_DIR");
  if (UsableRuntimeFolder(runtime)) paths.push_back(runtime + "/" + file + ".lock");
  // The temporary folders are shared by every user: the user id keeps the locks apart.
  const std::string shared = file + "-" + std::to_string(getuid()) + ".lock";
  const std::string temporary = FromEnvironment("TMPDIR");
  if (!temporary.empty() && temporary != "/tmp") paths.push_back(temporary + "/" + shared);
  paths.push_back("/tmp/" + shared);
  return paths;
}

std::string InstanceLock::LockFilePath(const std::string& name) { return LockFilePaths(name).front(); }

InstanceLock::~InstanceLock() { Release(); }

void InstanceLock::Release() {
  if (fd_ >= 0) close(fd_);  // closing the descriptor drops the flock
  fd_ = -1;
}

InstanceLock::Result InstanceLock::Acquire(const std::string& name) {
  Release();
  // Every copy walks the same list and locks the first file it can open.
  for (const std::string& path : LockFilePaths(name)) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) continue;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      if (error == EINTR) continue;
      close(fd);
      return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
  }
  return Result::Failed;
}

}  // namespace platform::posix
