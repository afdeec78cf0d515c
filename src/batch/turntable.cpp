#include "batch/turntable.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/posix/termination.h"
#include "platform/posix/whole_file_writer.h"

namespace batch {

namespace {

constexpr int kWaitStepMs = 10;

}  // namespace

std::string TurntableFileName(const std::string& output, int index, int count) {
  std::string stem = output;
  if (stem.size() >= 4) {
    std::string suffix = stem.substr(stem.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(), [](unsigned char c) { return std::tolower(c); });
    if (suffix == ".png") stem.resize(stem.size() - 4);
  }
  const int digits = std::max(3, static_cast<int>(std::to_string(std::max(count - 1, 0)).size()));
  std::string number = std::to_string(index);
  if (static_cast<int>(number.size()) < digits) number.insert(0, digits - number.size(), '0');
  return stem + "-" + number + ".png";
}

double TurntableTheta(double start, int index, int count) {
  if (index == 0) return start;
  double theta = std::fmod(start + index * (360.0 / count), 360.0);
  if (theta < 0.0) theta += 360.0;
  return theta;
}

bool WritePicture(const Picture& picture, const std::string& path, render::PngEncoder* encoder,
                  const std::vector<std::string>& inputs) {
  std::string error;
  bool ok;
  if (path == kStandardOutput) {
    render::PngEncoder own;
    std::vector<uint8_t> bytes;
    ok = (encoder ? *encoder : own).Encode(picture.pixels, picture.width, picture.height, picture.pitch, bytes);
    if (!ok) error = "cannot encode the picture as PNG";
    ok = ok && platform::posix::WriteToDescriptor(
                   STDOUT_FILENO, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                   "standard output", &error);
  } else {
    platform::posix::WholeFileOptions options;
    options.inputs = inputs;
    ok = render::WritePngFile(path, picture.pixels, picture.width, picture.height, picture.pitch, &error, encoder,
                              options);
  }
  if (!ok) std::fprintf(stderr, "scatterview-render: %s\n", error.c_str());
  return ok;
}

bool WriteTurntableShare(SceneRenderer& renderer, const std::string& output, int count, int worker, int workers) {
  const double start = renderer.StartTheta();
  render::PngEncoder encoder;
  for (int i = 0; i < count; ++i) {
    if (!DrawnBy(i, worker, workers)) continue;
    // A picture under way is finished (or its temporary file removed); the next one is not begun.
    if (platform::posix::TerminationRequested()) return false;
    if (!WritePicture(renderer.Render(TurntableTheta(start, i, count)), TurntableFileName(output, i, count),
                      &encoder, renderer.InputFiles()))
      return false;
  }
  return true;
}

bool WriteTurntable(SceneRenderer& renderer, const std::string& output, int count, int jobs) {
  const int workers = std::clamp(jobs, 1, count);
  std::fflush(nullptr);  // nothing buffered is written twice by the children
  std::vector<pid_t> children;
  bool ok = true;
  // Workers 1.. are children; this process is worker 0. A fork that fails leaves its share to us.
  std::vector<int> ownShares{0};
  const pid_t parent = getpid();
  for (int worker = 1; worker < workers; ++worker) {
    pid_t pid = fork();
    if (pid == 0) {
      // A worker stops with the parent, however the parent ends (the signal only asks it to stop).
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(1);
      bool done = WriteTurntableShare(renderer, output, count, worker, workers);
      std::fflush(nullptr);
      // No destructors, no atexit handlers: the parent owns every shared resource.
      _exit(done ? 0 : 1);
    }
    if (pid < 0) {
      ownShares.push_back(worker);
    } else {
      children.push_back(pid);
    }
  }
  for (int worker : ownShares) ok = WriteTurntableShare(renderer, output, count, worker, workers) && ok;
  // Waits in short steps so that a signal to this process alone still reaches every worker.
  bool forwarded = false;
  for (pid_t child : children) {
    int status = 0;
    for (;;) {
      const pid_t done = waitpid(child, &status, WNOHANG);
      if (done == child) break;
      if (done < 0 && errno != EINTR) {
        status = 1;
        break;
      }
      if (platform::posix::SleepUnlessTerminated(kWaitStepMs) && !forwarded) {
        for (pid_t other : children) kill(other, SIGTERM);
        forwarded = true;
      }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ok = false;
  }
  return ok;
}

}  // namespace batch
