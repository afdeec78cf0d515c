// Whole-process tests run the built program from a folder of their own: a copy of build/scatterview
// (and of build/data/ when it exists), their own config.ini, their own XDG_RUNTIME_DIR, so runs in
// parallel never share settings or the single-instance lock.
//
//   testsupport::TempDir dir;
//   std::string program = testsupport::PrepareProgramFolder(dir.Path());
//   testsupport::ProcessLaunch launch = testsupport::HeadlessRun(program, dir.Path());
#pragma once

#include <sys/types.h>

#include <string>

#include "process_runner.h"

namespace testsupport {

#ifdef SV_BUILD_DIR
inline std::string BuildDir() { return SV_BUILD_DIR; }
inline std::string SourceDir() { return SV_SOURCE_DIR; }
#endif

// Copies <buildDir>/scatterview (and <buildDir>/data/) into `folder`; returns the program's path.
std::string PrepareProgramFolder(const std::string& folder, const std::string& buildDir);
#ifdef SV_BUILD_DIR
inline std::string PrepareProgramFolder(const std::string& folder) { return PrepareProgramFolder(folder, BuildDir()); }
#endif

// A headless run of `program` in `folder`: working folder and XDG_RUNTIME_DIR = folder,
// XDG_CONFIG_HOME = folder/user-config (never the user's own settings), SDL_VIDEODRIVER=offscreen,
// SCATTERVIEW_NO_DIALOGS=1, no DISPLAY / WAYLAND_DISPLAY.
ProcessLaunch HeadlessRun(const std::string& program, const std::string& folder);

// The single-instance lock file of a program run with XDG_RUNTIME_DIR = runtimeDir.
std::string InstanceLockFile(const std::string& runtimeDir);

// Whether process `pid` holds a flock on `path` (read from /proc/locks, without touching the lock):
// how a test knows that a started instance is up and running.
bool HoldsFlock(pid_t pid, const std::string& path);

}  // namespace testsupport
