#include "platform/posix/termination.h"

#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace platform::posix {

namespace {

// Written by the handler, read anywhere; a lock-free atomic is safe in a signal handler.
std::atomic<int> g_terminationSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

void NoteSignal(int signal) {
  int none = 0;
  g_terminationSignal.compare_exchange_strong(none, signal);
}

void OpenStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free descriptor, which is this one.
    int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) close(opened);
  }
}

}  // namespace

void PrepareProcess() {
  OpenStandardDescriptors();
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  // System calls restart: every wait that must notice the signal waits in short steps instead.
  action.sa_flags = SA_RESTART;
  // SIGHUP: the terminal the program was started from has closed, which ends it as SIGTERM does.
  for (int signal : kEndingSignals) sigaction(signal, &action, nullptr);
}

bool TerminationRequested() { return g_terminationSignal.load(std::memory_order_relaxed) != 0; }

int TerminationSignal() { return g_terminationSignal.load(std::memory_order_relaxed); }

void RestoreDefaultSignals() {
  for (int ending : kEndingSignals) signal(ending, SIG_DFL);
}

bool SleepUnlessTerminated(int ms) {
  constexpr int kStepMs = 5;
  for (int slept = 0; slept < ms && !TerminationRequested(); slept += kStepMs) {
    const int step = ms - slept < kStepMs ? ms - slept : kStepMs;
    timespec pause{0, static_cast<long>(step) * 1000000L};
    nanosleep(&pause, nullptr);
  }
  return TerminationRequested();
}

}  // namespace platform::posix
