#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "platform/posix/whole_file_writer.h"
#include "platform/profile_text.h"

namespace platform {

namespace {

std::optional<std::string> ReadValue(const char* section, const char* key, const char* path) {
  if (!section || !key || !path) return std::nullopt;
  std::string text;
  if (!ReadProfileFile(path, text)) return std::nullopt;
  return ini::FindValue(text, section, key);
}

}  // namespace

bool ReadProfileFile(const std::string& path, std::string& text) {
  // Non-blocking, so that a FIFO in the file's place cannot hold the start; it is then refused below.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestProfileBytes) {
    close(fd);
    return false;
  }
  // Straight into the string, sized from the file (which may still grow or shrink while it is read).
  text.assign(static_cast<size_t>(st.st_size) + 1, '\0');
  size_t filled = 0;
  for (;;) {
    if (filled == text.size()) text.resize(text.size() * 2);
    ssize_t n = read(fd, text.data() + filled, text.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
    if (filled > static_cast<size_t>(kLargestProfileBytes)) {
      close(fd);
      return false;
    }
  }
  text.resize(filled);
  close(fd);
  return true;
}

bool ProfileTooLarge(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > kLargestProfileBytes;
}

bool ReplaceProfileFile(const std::string& path, const std::string& text, std::string* error) {
  // A new settings file goes only into a folder with a write bit, even for root: an installed
  // program's read-only folder never gains one.
  const std::string target = posix::FinalLinkTarget(path);
  struct stat st{};
  if (stat(target.c_str(), &st) != 0) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    if (!posix::WritableByModeBits(folder)) {
      if (error) *error = folder + ": no write permission";
      return false;
    }
  }
  posix::WholeFileOptions options;
  options.allowSpecialFiles = false;  // a settings file is a plain file or nothing
  return posix::WriteWholeFile(path, text, options, error);
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
    return platform::posix::WritableByModeBits(target);
  }
  return platform::ReplaceProfileFile(target, text);
}
