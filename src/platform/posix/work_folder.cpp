#include "platform/posix/work_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform::posix {

namespace {

constexpr char kOwnerRecord[] = ".owner";
constexpr int kRandomPart = 6;    // mkdtemp's XXXXXX
constexpr int kDeepestFolder = 8; // the programs make none inside; a deeper tree is left alone

// Who owns a folder: "PID START PIDNS".
struct Owner {
  long long pid = 0;
  unsigned long long start = 0;   // clock ticks after boot
  unsigned long long pidSpace = 0;  // inode of /proc/PID/ns/pid
};

enum class Liveness { Gone, Alive, Unknown };

// Reads a small file (a /proc entry, a record) whole, relative to `dir`, never through a link.
bool ReadSmall(int dir, const char* name, char* text, size_t size) {
  const int fd = openat(dir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  ssize_t n;
  while ((n = read(fd, text, size - 1)) < 0 && errno == EINTR) {
  }
  const int code = errno;
  close(fd);
  errno = code;
  if (n < 0) return false;
  text[n] = '\0';
  return true;
}

// The start time in /proc/PID/stat, field 22; the name in field 2 may hold anything, even ") (".
Liveness StartOf(long long pid, unsigned long long* start) {
  char path[64], text[1024];
  std::snprintf(path, sizeof path, "/proc/%lld/stat", pid);
  if (!ReadSmall(AT_FDCWD, path, text, sizeof text))
    return errno == ENOENT || errno == ESRCH ? Liveness::Gone : Liveness::Unknown;
  // From the name's end on, blank by blank, to the one before field 22.
  const char* at = std::strrchr(text, ')');
  for (int field = 3; field <= 22 && at; ++field) at = std::strchr(at + 1, ' ');
  return at && std::sscanf(at, " %llu", start) == 1 ? Liveness::Alive : Liveness::Unknown;
}

bool OwnIdentity(Owner* self) {
  struct stat space {};
  self->pid = getpid();
  return StartOf(self->pid, &self->start) == Liveness::Alive && stat("/proc/self/ns/pid", &space) == 0 &&
         (self->pidSpace = space.st_ino) != 0;
}

// Whether the owner recorded in the folder `dir` has ended (Gone), only when that can be known.
Liveness OwnerOf(int dir, const Owner& self) {
  char text[128];
  Owner owner;
  if (!ReadSmall(dir, kOwnerRecord, text, sizeof text) ||
      std::sscanf(text, "%lld %llu %llu", &owner.pid, &owner.start, &owner.pidSpace) != 3 || owner.pid <= 0 ||
      owner.pidSpace != self.pidSpace)
    return Liveness::Unknown;
  unsigned long long start = 0;
  const Liveness now = StartOf(owner.pid, &start);
  if (now != Liveness::Alive) return now;
  return start == owner.start ? Liveness::Alive : Liveness::Gone;  // a later process under a reused id
}

// Removes everything inside the open folder `dir`, folders entry by entry, links as links.
void EmptyFolder(int dir, int depthLeft) {
  const int listed = dup(dir);
  DIR* entries = listed >= 0 ? fdopendir(listed) : nullptr;
  if (!entries) {
    if (listed >= 0) close(listed);
    return;
  }
  while (const dirent* entry = readdir(entries)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    struct stat st {};
    if (fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISDIR(st.st_mode)) {
      unlinkat(dir, name, 0);
      continue;
    }
    const int inner = depthLeft > 0 ? openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
    if (inner < 0) continue;
    EmptyFolder(inner, depthLeft - 1);
    close(inner);
    unlinkat(dir, name, AT_REMOVEDIR);
  }
  closedir(entries);
}

bool IsWorkFolderName(const char* name, const std::string& prefix) {
  return std::strncmp(name, prefix.c_str(), prefix.size()) == 0 && name[prefix.size()] == '.' &&
         std::strlen(name + prefix.size() + 1) == kRandomPart;
}

}  // namespace

std::string MakeWorkFolder(const std::string& root, const std::string& prefix) {
  std::string folder = root + "/" + prefix + ".XXXXXX";
  if (!mkdtemp(folder.data())) return std::string();
  Owner self;
  // Without a record (no /proc) the folder is never judged abandoned: it goes with the run, or stays.
  if (!OwnIdentity(&self)) return folder;
  const std::string record = folder + "/" + kOwnerRecord;
  const int fd = open(record.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) {
    char text[96];
    const int n = std::snprintf(text, sizeof text, "%lld %llu %llu\n", self.pid, self.start, self.pidSpace);
    (void)!write(fd, text, static_cast<size_t>(n));
    close(fd);
  }
  return folder;
}

void RemoveAbandonedWorkFolders(const std::string& root, const std::string& prefix) {
  Owner self;
  if (!OwnIdentity(&self)) return;  // no /proc: no owner can be proved gone
  const int rootFd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int listed = rootFd >= 0 ? dup(rootFd) : -1;
  DIR* entries = listed >= 0 ? fdopendir(listed) : nullptr;
  while (const dirent* entry = entries ? readdir(entries) : nullptr) {
    if (!IsWorkFolderName(entry->d_name, prefix)) continue;
    // O_NOFOLLOW: a link of that name is no folder of ours, wherever it points.
    const int folder = openat(rootFd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) continue;
    struct stat st {};
    if (fstat(folder, &st) == 0 && st.st_uid == geteuid() && OwnerOf(folder, self) == Liveness::Gone) {
      EmptyFolder(folder, kDeepestFolder);
      unlinkat(rootFd, entry->d_name, AT_REMOVEDIR);
    }
    close(folder);
  }
  if (entries) closedir(entries);
  else if (listed >= 0) close(listed);
  if (rootFd >= 0) close(rootFd);
}

}  // namespace platform::posix
