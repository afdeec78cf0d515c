#include "xvfb_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

namespace testsupport {

XvfbServer::XvfbServer(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) return;
  std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    std::string fd = std::to_string(fds[1]);
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // Xvfb writes its display number and a line feed once it accepts clients.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  char c;
  while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (!number.empty()) display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

namespace {

std::string RunRaw(const std::string& display, const std::string& command, int* status) {
  std::string line = "DISPLAY=" + display + " " + command;
  std::FILE* pipe = popen(line.c_str(), "r");
  std::string out;
  if (!pipe) {
    if (status) *status = -1;
    return out;
  }
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int raw = pclose(pipe);
  if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

}  // namespace

std::string RunWithDisplay(const std::string& display, const std::string& command, int* status) {
  std::string out = RunRaw(display, command, status);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::vector<std::string> WindowsTitled(const std::string& display, const std::string& title) {
  std::vector<std::string> found;
  std::istringstream ids(RunWithDisplay(display, "xwininfo -root -children | awk '/^ +0x/{print $1}'"));
  std::string id;
  while (ids >> id) {
    // xprop prints: _NET_WM_NAME(UTF8_STRING) = "title"
    std::string prop = RunWithDisplay(display, "xprop -id " + id + " _NET_WM_NAME 2>/dev/null");
    size_t eq = prop.find(" = \"");
    if (eq != std::string::npos && prop.substr(eq + 4) == title + "\"") found.push_back(id);
  }
  return found;
}

uint32_t Screenshot::Pixel(int x, int y) const {
  size_t i = (static_cast<size_t>(y) * width + x) * 3;
  auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(rgb[i + k])); };
  return b(0) << 16 | b(1) << 8 | b(2);
}

Screenshot CaptureWindow(const std::string& display, const std::string& windowId) {
  Screenshot shot;
  int status = 0;
  std::string size = RunWithDisplay(
      display, "xwininfo -id " + windowId + " | awk '/Width:/{w=$2}/Height:/{h=$2}END{print w, h}'", &status);
  std::istringstream(size) >> shot.width >> shot.height;
  if (shot.width <= 0 || shot.height <= 0) return Screenshot{};
  shot.rgb = RunRaw(display, "import -window " + windowId + " -depth 8 rgb:- 2>/dev/null", &status);
  if (status != 0 || shot.rgb.size() != static_cast<size_t>(shot.width) * shot.height * 3) return Screenshot{};
  return shot;
}

}  // namespace testsupport
