// The X server of one end-to-end test: Xvfb on a display number it picks itself (-displayfd), never
// reset. Without -noreset Xvfb resets whenever its last client disconnects, and a program that
// connects during such a reset fails to reach it (the probes of xdotool come and go all the time).
// Paired with private_x_server.cpp.
#pragma once

#include <sys/types.h>

#include <string>

namespace e2e {

class PrivateXServer {
 public:
  PrivateXServer();   // starts Xvfb 1024x768x24 and waits until it is ready
  ~PrivateXServer();  // stops it
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  bool Ok() const { return !display_.empty(); }
  const std::string& Display() const { return display_; }  // ":N"

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace e2e
