#include "program_folder.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

std::string PrepareProgramFolder(const std::string& folder, const std::string& buildDir) {
  namespace fs = std::filesystem;
  std::string program = folder;
  program += "/scatterview";
  fs::copy_file(buildDir + "/scatterview", program, fs::copy_options::overwrite_existing);
  fs::permissions(program, fs::perms::owner_all, fs::perm_options::add);
  std::error_code ec;
  if (fs::is_directory(buildDir + "/data", ec))
    fs::copy(buildDir + "/data", folder + "/data", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  return program;
}

ProcessLaunch HeadlessRun(const std::string& program, const std::string& folder) {
  ProcessLaunch launch;
  launch.program = program;
  launch.cwd = folder;
  launch.env = {{"SDL_VIDEODRIVER", "offscreen"},
                {"XDG_RUNTIME_DIR", folder},
                {"XDG_CONFIG_HOME", folder + "/user-config"},
                {"SCATTERVIEW_NO_DIALOGS", "1"}};
  launch.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY"};
  return launch;
}

std::string InstanceLockFile(const std::string& runtimeDir) {
  return runtimeDir + "/scatterview.single-instance.lock";
}

bool HoldsFlock(pid_t pid, const std::string& path) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) return false;
  // Lines look like "1: FLOCK  ADVISORY  WRITE 1234 00:2e:5678 0 EOF" (major:minor:inode).
  std::ifstream locks("/proc/locks");
  std::string line;
  std::string inodeSuffix(1, ':');
  inodeSuffix += std::to_string(st.st_ino);
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string id, kind, advisory, mode, owner, device;
    fields >> id >> kind;
    if (kind == "->") fields >> kind;  // a waiter, listed under the holder
    fields >> advisory >> mode >> owner >> device;
    if (kind != "FLOCK" || owner != std::to_string(pid)) continue;
    if (device.size() >= inodeSuffix.size() &&
        device.compare(device.size() - inodeSuffix.size(), inodeSuffix.size(), inodeSuffix) == 0)
      return true;
  }
  return false;
}

}  // namespace testsupport
