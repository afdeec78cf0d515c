// scatterview-render: the viewer's first picture of a data file written as PNG, without a window.
// It runs on the scripted headless backend, so it needs no display, opens no window and links no
// SDL; the software device renders into memory and nothing is presented.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "batch/render_options.h"
#include "batch/scene_renderer.h"
#include "batch/turntable.h"
#include "platform/null/null_backend.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Processors() {
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const batch::ParseResult parsed = batch::ParseRenderOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.status == batch::ParseStatus::Help) {
    std::fputs(batch::RenderUsage().c_str(), stdout);
    return 0;
  }
  if (parsed.status == batch::ParseStatus::Error) {
    std::fprintf(stderr, "scatterview-render: %s\nTry 'scatterview-render --help'.\n", parsed.error.c_str());
    return kExitUsage;
  }
  const batch::RenderOptions& options = parsed.options;

  platform::ScopedNullBackend headless;
  batch::SceneRenderer renderer;
  std::string error;
  if (!renderer.Open(options, &error)) {
    std::fprintf(stderr, "scatterview-render: %s\n", error.c_str());
    return kExitFailure;
  }
  bool ok;
  if (options.turntable > 0) {
    ok = batch::WriteTurntable(renderer, options.outputPath, options.turntable,
                               options.jobs > 0 ? options.jobs : Processors());
  } else {
    ok = batch::WritePicture(renderer.Render(renderer.StartTheta()), options.outputPath);
  }
  return ok ? 0 : kExitFailure;
}
