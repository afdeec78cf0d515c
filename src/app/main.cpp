// The program's entry: answers --help, --version and usage errors, picks the SDL backend and runs
// WinMain with the data path part of the arguments as its raw command line, and the view options.
// After a run, static objects are destroyed after main returns, as after the runtime's exit.
#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/win_main.h"
#include "platform/frame_timer.h"
#include "platform/posix/mode_keeper.h"
#include "platform/posix/settings_path.h"
#include "platform/posix/termination.h"
#include "platform/printable_text.h"
#include "platform/sdl2/sdl_backend.h"
#include "platform/sdl2/sdl_mode_restore.h"

#ifndef SV_VERSION
#define SV_VERSION "unknown"
#endif

// Before every static object: the scene reads config.ini while it is built, and a signal during that
// read must end the run normally too; and no file it opens may become standard error.
__attribute__((constructor(101))) static void PrepareProcessFirst() { platform::posix::PrepareProcess(); }

// The display-mode keeper is this same program started with a private argument (posix/mode_keeper):
// it becomes the keeper here, before the static scene is built, so it never reads or writes
// config.ini. (The C library hands constructors the program's arguments as it hands them to main.)
__attribute__((constructor(102))) static void BecomeTheModeKeeperWhenAsked(int argc, char** argv) {
  platform::posix::RunKeeperIfAsked(argc, argv, platform::sdl2::RestoreDisplayMode);
}

namespace {

// Help, the version and a usage error are answers, not runs: the process ends without destroying its
// static objects, so the scene built before main, which saves config.ini when destroyed, leaves the
// file exactly as it was.
[[noreturn]] void EndWithoutRun(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(status);
}

constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
  const app::CommandLine line = app::ParseCommandLine(argc, argv);
  switch (line.action) {
    case app::CommandLineAction::Help:
      // The file in use, named without being made: an answer creates no file and no folder.
      std::fputs(app::UsageText(platform::posix::SettingsFilePath(FrameTimer::GetModuleDirectory())).c_str(), stdout);
      EndWithoutRun(0);
    case app::CommandLineAction::Version:
      std::printf("scatterview %s\n", SV_VERSION);
      EndWithoutRun(0);
    case app::CommandLineAction::UsageError:
      // The argument at fault is quoted, and it may be a data path.
      std::fprintf(stderr, "scatterview: %s\nTry 'scatterview --help'.\n", platform::PrintableText(line.error).c_str());
      EndWithoutRun(kExitUsage);
    case app::CommandLineAction::Run:
      break;
  }

  std::string missing = platform::sdl2::SdlBackend::MissingDisplayReason();
  if (!missing.empty()) {
    std::fprintf(stderr, "scatterview: %s\n", missing.c_str());
    return 1;
  }
  platform::sdl2::SdlBackend backend;
  if (!backend.Ok()) {
    // The reason may quote DISPLAY, which is anyone's text.
    std::fprintf(stderr, "scatterview: cannot open the display: %s\n",
                 platform::PrintableText(backend.Error()).c_str());
    return 1;
  }
  platform::InstallBackend(&backend);
  int status = WinMain(nullptr, nullptr, line.rawPath.c_str(), 1, line.options);
  platform::InstallBackend(nullptr);
  return status;
}
