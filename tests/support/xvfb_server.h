// A private X server (Xvfb) for end-to-end tests: started on a display number it picks itself
// (-displayfd), never reset, stopped at the end. Without -noreset Xvfb resets whenever its last client
// disconnects, and a program that connects during such a reset fails to reach it (the probes of
// xdotool come and go all the time). Tests then drive windows with xdotool and take screenshots with
// ImageMagick's import. Paired with xvfb_server.cpp.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include <string>
#include <vector>

namespace testsupport {

class XvfbServer {
 public:
  // Starts Xvfb with a width x height x 24 screen and waits until it accepts clients.
  explicit XvfbServer(int width = 1024, int height = 768);
  ~XvfbServer();  // stops it
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool Ok() const { return !display_.empty(); }
  const std::string& Display() const { return display_; }  // ":N"

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Runs a shell command line with DISPLAY set; returns its stdout (trailing newline removed) and sets
// `status` to its exit status.
std::string RunWithDisplay(const std::string& display, const std::string& command, int* status = nullptr);

// The ids of the top-level windows whose UTF-8 title (_NET_WM_NAME) is exactly `title`. Unlike
// xdotool search, this also finds SDL's message boxes, whose names xdotool cannot read.
std::vector<std::string> WindowsTitled(const std::string& display, const std::string& title);

// The window's pixels as 8-bit RGB triples, row by row (import -window ID rgb:-); empty on failure.
struct Screenshot {
  int width = 0, height = 0;
  std::string rgb;
  uint32_t Pixel(int x, int y) const;  // 0xRRGGBB
};
Screenshot CaptureWindow(const std::string& display, const std::string& windowId);

}  // namespace testsupport
