// The program's entry: picks the SDL backend, turns the arguments into the raw command line and runs
// WinMain. Static objects are destroyed after main returns, as after the runtime's exit.
#include <cstdio>

#include "app/command_line.h"
#include "app/win_main.h"
#include "platform/frame_timer.h"
#include "platform/posix/settings_path.h"
#include "platform/posix/termination.h"
#include "platform/sdl2/sdl_backend.h"

#ifndef SV_VERSION
#define SV_VERSION "unknown"
#endif

// Before every static object: the scene reads config.ini while it is built, and a signal during that
// read must end the run normally too; and no file it opens may become standard error.
__attribute__((constructor(101))) static void PrepareProcessFirst() { platform::posix::PrepareProcess(); }

int main(int argc, char** argv) {
  switch (app::ActionOf(argc, argv)) {
    case app::CommandLineAction::Help:
      std::fputs(app::UsageText(platform::posix::PrepareSettingsFile(FrameTimer::GetModuleDirectory())).c_str(), stdout);
      return 0;
    case app::CommandLineAction::Version:
      std::printf("scatterview %s\n", SV_VERSION);
      return 0;
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
    std::fprintf(stderr, "scatterview: cannot open the display: %s\n", backend.Error().c_str());
    return 1;
  }
  platform::InstallBackend(&backend);
  std::string commandLine = app::JoinArguments(argc, argv);
  int status = WinMain(nullptr, nullptr, commandLine.c_str(), 1);
  platform::InstallBackend(nullptr);
  return status;
}
