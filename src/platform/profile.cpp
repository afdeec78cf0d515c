#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

#include "platform/posix/module_path.h"
#include "platform/profile_text.h"

namespace platform {

namespace {

constexpr off_t kLargestProfile = 64 << 20;  // anything bigger is not a settings file

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The file a write must replace: a symbolic link is followed so the link itself survives.
std::string ResolveTarget(const std::string& path) {
  struct stat st{};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved)) return resolved;
  }
  return path;
}

std::optional<std::string> ReadValue(const char* section, const char* key, const char* path) {
  if (!section || !key || !path) return std::nullopt;
  std::string text;
  if (!ReadProfileFile(path, text)) return std::nullopt;
  return ini::FindValue(text, section, key);
}

}  // namespace

bool ReadProfileFile(const std::string& path, std::string& text) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestProfile) {
    close(fd);
    return false;
  }
  text.clear();
  char buffer[8192];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

bool ReplaceProfileFile(const std::string& path, const std::string& text) {
  std::string target = ResolveTarget(path);
  struct stat st{};
  bool exists = stat(target.c_str(), &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return false;
    // Root may write anything: a file with no write bit at all still counts as read-only.
    if (access(target.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  } else if (errno != ENOENT) {
    return false;
  }

  std::string folder = posix::DirectoryOf(target);
  if (folder.empty()) folder.assign(1, '/');
  std::string base = target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + "/." + base + ".tmp." + std::to_string(getpid()) + "." + std::to_string(attempt);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);  // umask applies
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text);
  if (ok && exists) ok = fchmod(fd, st.st_mode & 07777) == 0;
  if (ok) ok = fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace platform

UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue, const char* path) {
  std::optional<std::string> value = platform::ReadValue(section, key, path);
  if (!value) return static_cast<UINT>(defaultValue);
  return platform::ini::ParseInteger(*value);
}

std::string GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                     const char* path) {
  std::optional<std::string> value = platform::ReadValue(section, key, path);
  if (value) return *value;
  return defaultValue ? std::string(defaultValue) : std::string();
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* path) {
  namespace ini = platform::ini;
  if (!section || !path || !*path || !ini::WritableSection(section)) return false;
  if (key && !ini::WritableKey(key)) return false;
  if (key && value && !ini::WritableValue(value)) return false;

  std::string target = path;
  std::string old;
  bool existed = platform::ReadProfileFile(target, old);
  if (!existed) {
    struct stat st{};
    // Present but unreadable (a folder, no read permission): never replace what we could not read.
    if (stat(target.c_str(), &st) == 0) return false;
    if (!key || !value) return true;  // nothing to remove from a file that does not exist
    old.clear();
  }
  std::string text = !key    ? ini::RemoveSection(old, section)
                     : value ? ini::SetValue(old, section, key, value)
                             : ini::RemoveKey(old, section, key);
  if (existed && text == old) {
    // Nothing changes; still refuse when the file could not have been written.
    struct stat st{};
    return stat(target.c_str(), &st) == 0 && access(target.c_str(), W_OK) == 0 &&
           (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
  }
  return platform::ReplaceProfileFile(target, text);
}
