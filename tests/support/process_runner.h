// Runs a program as a child process for whole-process tests: arguments, environment, working folder and
// standard input as given, stdout and stderr captured (into files, so nothing can block), waiting with a timeout,
// signals. A child still running when its Process goes is killed.
//
//   testsupport::ProcessLaunch launch{program, {"data.csv"}};
//   launch.env["SDL_VIDEODRIVER"] = "offscreen";
//   testsupport::RunResult r = testsupport::RunProcess(launch);  // r.status, r.out, r.err
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace testsupport {

struct ProcessLaunch {
  std::string program;
  std::vector<std::string> args;            // after the program's own name
  std::map<std::string, std::string> env;   // set over the inherited environment
  std::vector<std::string> unsetEnv;        // removed from it
  std::string cwd;                          // "" keeps the test's own
  // Standard input is /dev/null unless one of these is given.
  std::string stdinFile{};                  // this file, opened for reading
  std::optional<std::string> stdinPipe{};   // a pipe that holds these bytes (at most 64 KiB), writer closed
};

class Process {
 public:
  explicit Process(const ProcessLaunch& launch);  // starts it; Started() tells whether that worked
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  bool Running();
  // Waits up to timeoutMs for the end; false when it is still running.
  bool Wait(int timeoutMs);
  void Signal(int signal);
  // The exit status 0..255 (a death by signal N reads 128 + N); -1 while running.
  int ExitStatus() const { return status_; }
  std::string Stdout() const;
  std::string Stderr() const;
  // Waits until stderr contains `text` (true) or the time is up or the process ended without it.
  bool WaitForStderr(const std::string& text, int timeoutMs);
  // The processor time it has used so far (user and system, all its threads), in seconds; -1 when it
  // cannot be read (ended).
  double CpuSeconds() const;

 private:
  TempDir outputDir_;
  pid_t pid_ = -1;
  int status_ = -1;
};

struct RunResult {
  int status = -1;        // as Process::ExitStatus
  bool timedOut = false;  // killed after the timeout
  std::string out, err;
};

// Runs to the end (killing it after timeoutMs).
RunResult RunProcess(const ProcessLaunch& launch, int timeoutMs = 30000);

// Polls `condition` every 10 ms until it holds (true) or timeoutMs passes (false).
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

}  // namespace testsupport
