#include "process_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace testsupport {

namespace {

// The child's standard input, opened before the fork; -1 when it cannot be had. A pipe's bytes are all
// written, and its writer closed, before the child exists: the child reads them and then the end, and
// no write can ever meet a reader that has gone.
int OpenStandardInput(const ProcessLaunch& launch) {
  if (!launch.stdinFile.empty()) return open(launch.stdinFile.c_str(), O_RDONLY | O_CLOEXEC);
  if (!launch.stdinPipe) return open("/dev/null", O_RDONLY | O_CLOEXEC);
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return -1;
  fcntl(ends[1], F_SETFL, O_NONBLOCK);  // more than the pipe holds fails instead of waiting forever
  const std::string& bytes = *launch.stdinPipe;
  const bool whole =
      bytes.empty() || write(ends[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  close(ends[1]);
  if (whole) return ends[0];
  close(ends[0]);
  return -1;
}

}  // namespace

Process::Process(const ProcessLaunch& launch) {
  std::string out = outputDir_ / "stdout", err = outputDir_ / "stderr";
  // Everything the child needs is prepared before fork: after it only async-signal-safe calls.
  std::vector<std::string> argStore{launch.program};
  argStore.insert(argStore.end(), launch.args.begin(), launch.args.end());
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& name : launch.unsetEnv) env.erase(name);
  for (const auto& [name, value] : launch.env) env[name] = value;
  std::vector<std::string> envStore;
  for (const auto& [name, value] : env) envStore.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int inFd = OpenStandardInput(launch);
  if (inFd < 0) {
    close(outFd);
    close(errFd);
    return;  // not started
  }
  pid_ = fork();
  if (pid_ == 0) {
    if (!launch.cwd.empty() && chdir(launch.cwd.c_str()) != 0) _exit(126);
    dup2(inFd, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(outFd);
  close(errFd);
  close(inFd);
}

Process::~Process() {
  if (Running()) {
    kill(pid_, SIGKILL);
    Wait(5000);
  }
}

double Process::CpuSeconds() const {
  // /proc/PID/stat: fields 14 and 15 are the user and system time in clock ticks; the name (field 2)
  // is in parentheses and may hold spaces, so the counting starts after its closing one.
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string line;
  if (pid_ <= 0 || !std::getline(stat, line)) return -1;
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  long long user = 0, system = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) user = std::atoll(field.c_str());
    if (i == 15) system = std::atoll(field.c_str());
  }
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool Process::Running() {
  if (pid_ <= 0 || status_ >= 0) return false;
  int raw = 0;
  pid_t r = waitpid(pid_, &raw, WNOHANG);
  if (r == 0) return true;
  if (r == pid_) status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  else status_ = 255;
  return false;
}

bool Process::Wait(int timeoutMs) {
  return WaitUntil([this] { return !Running(); }, timeoutMs);
}

void Process::Signal(int signal) {
  if (Running()) kill(pid_, signal);
}

std::string Process::Stdout() const { return ReadFile(outputDir_ / "stdout"); }
std::string Process::Stderr() const { return ReadFile(outputDir_ / "stderr"); }

bool Process::WaitForStderr(const std::string& text, int timeoutMs) {
  bool found = false;
  WaitUntil([&] {
    found = Stderr().find(text) != std::string::npos;
    return found || !Running();
  }, timeoutMs);
  return found || Stderr().find(text) != std::string::npos;
}

RunResult RunProcess(const ProcessLaunch& launch, int timeoutMs) {
  Process p(launch);
  RunResult r;
  if (!p.Started()) return r;
  if (!p.Wait(timeoutMs)) {
    r.timedOut = true;
    p.Signal(SIGKILL);
    p.Wait(5000);
  }
  r.status = p.ExitStatus();
  r.out = p.Stdout();
  r.err = p.Stderr();
  return r;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace testsupport
