#include "platform/posix/whole_file_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/module_path.h"
#include "platform/posix/termination.h"

namespace platform::posix {

namespace {

constexpr int kMostLinks = 40;  // as the kernel's own limit on links in a row
constexpr int kPollStepMs = 50;

bool Fail(std::string* error, const std::string& path, const std::string& why) {
  if (error) *error = path + ": " + why;
  return false;
}

bool FailErrno(std::string* error, const std::string& path, int code) { return Fail(error, path, std::strerror(code)); }

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  std::string folder = DirectoryOf(path);
  return folder.empty() ? std::string("/") : folder;
}

}  // namespace

bool WriteToDescriptor(int fd, std::string_view bytes, const std::string& path, std::string* error) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (TerminationRequested()) return Fail(error, path, "interrupted");
      pollfd wait{fd, POLLOUT, 0};
      poll(&wait, 1, kPollStepMs);
      continue;
    }
    return FailErrno(error, path, n < 0 ? errno : EIO);
  }
  return true;
}

namespace {

// "<.base.tmp.>PID.N": a temporary file of the run PID.
bool IsTemporaryName(const std::string& name, const std::string& prefix, pid_t* pid) {
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  const char* p = name.c_str() + prefix.size();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(p, &end, 10);
  if (end == p || *end != '.' || errno != 0 || value <= 0) return false;
  const char* attempt = end + 1;
  if (!*attempt) return false;
  for (const char* q = attempt; *q; ++q)
    if (*q < '0' || *q > '9') return false;
  *pid = static_cast<pid_t>(value);
  return true;
}

// A run that died between making its temporary file and renaming it left the file behind.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    pid_t pid = 0;
    if (!IsTemporaryName(entry->d_name, prefix, &pid) || pid == getpid()) continue;
    if (kill(pid, 0) == 0 || errno != ESRCH) continue;  // alive, or someone else's
    const std::string stale = folder + "/" + entry->d_name;
    struct stat st {};
    if (lstat(stale.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(stale.c_str());
  }
  closedir(dir);
}

// Whether a write that may be interrupted is to stop here (with `error` saying so).
bool Interrupted(const WholeFileOptions& options, const std::string& path, std::string* error) {
  if (!options.stopOnTermination || !TerminationRequested()) return false;
  Fail(error, path, "interrupted");
  return true;
}

bool ReplaceThroughTemporary(const std::string& target, std::string_view bytes, const struct stat* existing,
                             const WholeFileOptions& options, std::string* error) {
  const std::string folder = FolderOf(target);
  // Appended piece by piece: GCC 12 at -O2 warns falsely (-Wrestrict) about "." + std::string&&.
  std::string prefix = ".";
  prefix += BaseName(target);
  prefix += ".tmp.";
  RemoveStaleTemporaries(folder, prefix);
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = folder + "/" + prefix + std::to_string(getpid()) + "." + std::to_string(attempt);
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);  // the umask applies
    if (fd < 0 && errno != EEXIST) return FailErrno(error, target, errno);
  }
  if (fd < 0) return Fail(error, target, "no free temporary name");
  bool ok = WriteToDescriptor(fd, bytes, target, error);
  if (ok && existing && fchmod(fd, existing->st_mode & 07777) != 0) ok = FailErrno(error, target, errno);
  if (ok && fsync(fd) != 0) ok = FailErrno(error, target, errno);
  if (close(fd) != 0 && ok) ok = FailErrno(error, target, errno);
  // The last moment a signal may still keep the old file: the rename puts the new one in place whole.
  if (ok && Interrupted(options, target, error)) ok = false;
  if (ok && rename(temporary.c_str(), target.c_str()) != 0) ok = FailErrno(error, target, errno);
  if (!ok) unlink(temporary.c_str());
  return ok;
}

// A FIFO without a reader cannot be opened for writing yet: wait for one in short steps.
int OpenInPlace(const std::string& target, std::string* error) {
  const int flags = O_WRONLY | O_NONBLOCK | O_CLOEXEC;
  for (;;) {
    const int fd = open(target.c_str(), flags);
    if (fd >= 0) return fd;
    if (errno != ENXIO && errno != EINTR) {
      FailErrno(error, target, errno);
      return -1;
    }
    if (SleepUnlessTerminated(kPollStepMs)) {
      Fail(error, target, "interrupted");
      return -1;
    }
  }
}

// A device or FIFO: its bytes go where they go, there is nothing to keep.
bool WriteInPlace(const std::string& target, std::string_view bytes, std::string* error) {
  const int fd = OpenInPlace(target, error);
  if (fd < 0) return false;
  bool ok = WriteToDescriptor(fd, bytes, target, error);
  if (close(fd) != 0 && ok) ok = FailErrno(error, target, errno);
  return ok;
}

bool ReadAll(int fd, std::string* out) {
  out->clear();
  char buffer[65536];
  for (off_t at = 0;;) {
    const ssize_t n = pread(fd, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out->append(buffer, static_cast<size_t>(n));
    at += n;
  }
}

bool WriteAt(int fd, std::string_view bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// A plain file with more than one name cannot be replaced by a rename without parting the names, so
// it is rewritten in place. The old contents are kept until the new ones are sure to fit: the space
// is reserved first (a full disk refuses here, nothing overwritten yet), and should the write still
// fail, the old bytes go back into the space they had (when the file may be read to keep them).
bool RewriteSharedFile(const std::string& target, std::string_view bytes, std::string* error) {
  int fd = open(target.c_str(), O_RDWR | O_CLOEXEC);
  const bool keepsOld = fd >= 0;
  if (fd < 0 && errno == EACCES) fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return FailErrno(error, target, errno);
  std::string old;
  if (keepsOld && !ReadAll(fd, &old)) {
    const int code = errno;
    close(fd);
    return FailErrno(error, target, code);
  }
  if (!bytes.empty()) {
    const int code = posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
    if (code != 0) {
      close(fd);
      return Fail(error, target, std::string(std::strerror(code)) + "; left as it was");
    }
  }
  if (!WriteAt(fd, bytes) || ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || fsync(fd) != 0) {
    const int code = errno;
    const bool restored =
        keepsOld && WriteAt(fd, old) && ftruncate(fd, static_cast<off_t>(old.size())) == 0 && fsync(fd) == 0;
    close(fd);
    return Fail(error, target, std::string(std::strerror(code)) + (restored ? "; left as it was" : ""));
  }
  if (close(fd) != 0) return FailErrno(error, target, errno);
  return true;
}

bool IsInput(const struct stat& target, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    struct stat st {};
    if (!input.empty() && stat(input.c_str(), &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino)
      return true;
  }
  return false;
}

}  // namespace

std::string FinalLinkTarget(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < kMostLinks; ++hop) {
    struct stat st {};
    if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 256) + 1, '\0');
    const ssize_t n = readlink(current.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<size_t>(n) >= link.size()) return current;
    link.resize(static_cast<size_t>(n));
    // A relative link is relative to the folder the link is in.
    current = link.front() == '/' ? link : DirectoryOf(current) + "/" + link;
  }
  return current;
}

bool WritableByModeBits(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
         access(path.c_str(), W_OK) == 0;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, const WholeFileOptions& options,
                    std::string* error) {
  if (path.empty()) return Fail(error, path, "no file name");
  if (Interrupted(options, path, error)) return false;
  const std::string target = FinalLinkTarget(path);
  struct stat st {};
  if (stat(target.c_str(), &st) != 0) {
    if (errno != ENOENT) return FailErrno(error, path, errno);
    return ReplaceThroughTemporary(target, bytes, nullptr, options, error);
  }
  if (IsInput(st, options.inputs)) return Fail(error, path, "is a file this run reads; not overwritten");
  if (S_ISDIR(st.st_mode)) return Fail(error, path, "is a folder");
  const bool special = S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode);
  if (!S_ISREG(st.st_mode) && !(special && options.allowSpecialFiles))
    return Fail(error, path, "is not a plain file; not overwritten");
  if (!WritableByModeBits(target)) return Fail(error, path, "is read-only; not overwritten");
  if (special) return WriteInPlace(target, bytes, error);
  if (st.st_nlink > 1) return RewriteSharedFile(target, bytes, error);
  return ReplaceThroughTemporary(target, bytes, &st, options, error);
}

}  // namespace platform::posix
