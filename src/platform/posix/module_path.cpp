#include "platform/posix/module_path.h"

#include <unistd.h>

#include <vector>

namespace platform::posix {

std::string ExecutablePath() {
  // readlink does not say how long the target is: grow the buffer until the answer fits.
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash);
}

}  // namespace platform::posix
