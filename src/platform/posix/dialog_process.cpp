#include "platform/posix/dialog_process.h"

#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/termination.h"

namespace platform::posix {

namespace {

constexpr int kWaitStepMs = 10;

// Each process forked from the dialog's process (a toolkit may show its box in one) dies with it.
void DieWithParent() { prctl(PR_SET_PDEATHSIG, SIGKILL); }

}  // namespace

bool RunInDialogProcess(const std::function<void()>& body) {
  const pid_t parent = getpid();
  std::fflush(nullptr);  // nothing buffered is written twice
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    DieWithParent();
    if (getppid() != parent) _exit(0);  // the program ended before the line above
    RestoreDefaultSignals();
    pthread_atfork(nullptr, nullptr, DieWithParent);
    body();
    _exit(0);  // no destructors, no atexit handlers: the program owns every shared resource
  }
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child || (done < 0 && errno != EINTR)) return true;
    if (SleepUnlessTerminated(kWaitStepMs)) {
      kill(child, SIGKILL);
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
      return true;
    }
  }
}

}  // namespace platform::posix
