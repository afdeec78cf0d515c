// scatterview-render: the viewer's first picture of a data file written as PNG, without a window.
// It runs on the scripted headless backend, so it needs no display, opens no window and links no
// SDL; the software device renders into memory and nothing is presented.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "batch/animation_output.h"
#include "batch/render_options.h"
#include "batch/scene_renderer.h"
#include "batch/turntable.h"
#include "platform/null/null_backend.h"
#include "platform/posix/termination.h"
#include "platform/work_threads.h"
#include "platform/printable_text.h"

#ifndef SV_VERSION
#define SV_VERSION "unknown"
#endif

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// Ended by a signal: the shell's way of saying so, 128 + the signal's number (130, 143).
constexpr int kExitSignalBase = 128;

int Interrupted() {
  std::fprintf(stderr, "scatterview-render: interrupted\n");
  return kExitSignalBase + platform::posix::TerminationSignal();
}

}  // namespace

// Before anything else: standard descriptors open, and SIGINT or SIGTERM only ask the run to stop.
__attribute__((constructor(101))) static void PrepareProcessFirst() { platform::posix::PrepareProcess(); }

int main(int argc, char** argv) {
  // A closed pipe on standard output is a write error to report, not a silent death.
  signal(SIGPIPE, SIG_IGN);
  const batch::ParseResult parsed = batch::ParseRenderOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.status == batch::ParseStatus::Help) {
    std::fputs(batch::RenderUsage().c_str(), stdout);
    return 0;
  }
  if (parsed.status == batch::ParseStatus::Version) {
    std::printf("scatterview-render %s\n", SV_VERSION);
    return 0;
  }
  if (parsed.status == batch::ParseStatus::Error) {
    // The argument at fault is quoted, and it may be a path.
    std::fprintf(stderr, "scatterview-render: %s\nTry 'scatterview-render --help'.\n",
                 platform::PrintableText(parsed.error).c_str());
    return kExitUsage;
  }
  const batch::RenderOptions& options = parsed.options;

  platform::ScopedNullBackend headless;
  // Whatever ends the run, the renderer goes first: its temporary folder with it.
  try {
    batch::SceneRenderer renderer;
    std::string error;
    if (!renderer.Open(options, &error)) {
      if (platform::posix::TerminationRequested()) return Interrupted();
      std::fprintf(stderr, "scatterview-render: %s\n", platform::PrintableText(error).c_str());
      return kExitFailure;
    }
    bool ok;
    if (options.turntable > 0) {
      const batch::TurntablePlan plan{options.outputPath, options.turntable, options.format, options.fps};
      ok = batch::WriteTurntable(renderer, plan,
                                 options.jobs > 0 ? options.jobs : static_cast<int>(platform::Processors()));
    } else {
      const batch::Picture picture = renderer.Render(renderer.StartTheta());
      ok = !platform::posix::TerminationRequested() &&
           batch::WriteStill(picture, options.outputPath, options.format, renderer.InputFiles());
    }
    // A signal that came once everything was written and in place changed nothing: the run is done.
    if (ok) return 0;
    return platform::posix::TerminationRequested() ? Interrupted() : kExitFailure;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "scatterview-render: out of memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "scatterview-render: %s\n", platform::PrintableText(e.what()).c_str());
  }
  return kExitFailure;
}
