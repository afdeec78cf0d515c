#include "batch/turntable.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <vector>


namespace batch {

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

bool WritePicture(const Picture& picture, const std::string& path, render::PngEncoder* encoder) {
  std::string error;
  if (render::WritePngFile(path, picture.pixels, picture.width, picture.height, picture.pitch, &error, encoder))
    return true;
  std::fprintf(stderr, "scatterview-render: %s\n", error.c_str());
  return false;
}

bool WriteTurntableShare(SceneRenderer& renderer, const std::string& output, int count, int worker, int workers) {
  const double start = renderer.StartTheta();
  render::PngEncoder encoder;
  for (int i = 0; i < count; ++i) {
    if (!DrawnBy(i, worker, workers)) continue;
    if (!WritePicture(renderer.Render(TurntableTheta(start, i, count)), TurntableFileName(output, i, count),
                      &encoder))
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
  for (int worker = 1; worker < workers; ++worker) {
    pid_t pid = fork();
    if (pid == 0) {
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
  for (pid_t child : children) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
      if (errno != EINTR) {
        status = 1;
        break;
      }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ok = false;
  }
  return ok;
}

}  // namespace batch
