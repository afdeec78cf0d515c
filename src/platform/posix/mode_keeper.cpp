#include "platform/posix/mode_keeper.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/termination.h"

extern char** environ;

namespace platform::posix {

namespace {

constexpr char kKeeperArgument[] = "--display-mode-keeper";
constexpr int kKeeperArgs = 6;  // name, the private argument, display, width, height, rate
// The keeper's end of the channel, at a fixed number so its arguments need not name it.
constexpr int kChannel = 3;
// The longest a restore may take before the keeper gives up (SIGALRM ends it): an X server that
// accepts the connection and then never answers must not keep it alive.
constexpr unsigned kMostRestoreSeconds = 10;

bool ParseNumber(const char* text, int lowest, int* out) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end || errno != 0 || value < lowest || value > INT_MAX) return false;
  *out = static_cast<int>(value);
  return true;
}

// Reads the channel to its end; true when the last word on it was that the mode is changed.
bool ChangedAtTheEnd() {
  bool changed = false;
  char words[64];
  for (;;) {
    const ssize_t n = read(kChannel, words, sizeof words);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return changed;  // the program's end closed it (a read error counts as that too)
    for (ssize_t i = 0; i < n; ++i) {
      if (words[i] == ModeKeeper::kChanging) changed = true;
      if (words[i] == ModeKeeper::kRestored) changed = false;
    }
  }
}

// The spawned keeper's descriptors: the channel at kChannel, standard input and output on
// /dev/null, standard error kept for its one possible line; nothing else of the program's.
bool KeeperDescriptors(posix_spawn_file_actions_t* actions, int keeperEnd) {
  return posix_spawn_file_actions_adddup2(actions, keeperEnd, kChannel) == 0 &&
         posix_spawn_file_actions_addopen(actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
         posix_spawn_file_actions_addopen(actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) == 0 &&
         posix_spawn_file_actions_addclosefrom_np(actions, kChannel + 1) == 0;
}

// A session of its own: the terminal's Ctrl-C, Ctrl-\ and hang-up, sent to the program's whole
// group, must not take the keeper with the program. Every signal at its default, none blocked.
bool KeeperAttributes(posix_spawnattr_t* attributes) {
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  return posix_spawnattr_setflags(attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF |
                                                  POSIX_SPAWN_SETSIGMASK) == 0 &&
         posix_spawnattr_setsigdefault(attributes, &all) == 0 && posix_spawnattr_setsigmask(attributes, &none) == 0;
}

}  // namespace

bool ModeKeeper::Start(const KeptMode& desktop) {
  if (channel_ >= 0) return true;
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  // dup2 onto itself would leave close-on-exec set: keep the keeper's end off kChannel first.
  if (ends[1] == kChannel) {
    const int moved = fcntl(ends[1], F_DUPFD_CLOEXEC, kChannel + 1);
    close(ends[1]);
    ends[1] = moved;
  }
  std::string numbers[] = {std::to_string(desktop.display), std::to_string(desktop.width),
                           std::to_string(desktop.height), std::to_string(desktop.refreshHz)};
  char name[] = "scatterview-mode-keeper";
  char flag[sizeof kKeeperArgument];
  std::memcpy(flag, kKeeperArgument, sizeof flag);
  char* argv[] = {name, flag, numbers[0].data(), numbers[1].data(), numbers[2].data(), numbers[3].data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  pid_t pid = -1;
  // The program's own file, even if it was replaced on disk since it started.
  const bool started = ends[1] >= 0 && KeeperDescriptors(&actions, ends[1]) && KeeperAttributes(&attributes) &&
                       posix_spawn(&pid, "/proc/self/exe", &actions, &attributes, argv, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (ends[1] >= 0) close(ends[1]);
  if (!started) {
    close(ends[0]);
    return false;
  }
  channel_ = ends[0];
  keeper_ = pid;
  return true;
}

void ModeKeeper::Tell(char what) {
  if (channel_ < 0) return;
  // A keeper that is gone (killed by hand) is no reason to die of SIGPIPE.
  while (send(channel_, &what, 1, MSG_NOSIGNAL) < 0 && errno == EINTR) {
  }
}

ModeKeeper::~ModeKeeper() {
  if (channel_ < 0) return;
  close(channel_);
  // It ends on the channel's end: at once, or after a restore of bounded length.
  int status = 0;
  while (waitpid(keeper_, &status, 0) < 0 && errno == EINTR) {
  }
}

void RunKeeperIfAsked(int argc, char** argv, RestoreMode restore) {
  if (argc != kKeeperArgs || !argv || std::strcmp(argv[1], kKeeperArgument) != 0) return;
  KeptMode mode;
  const bool parsed = ParseNumber(argv[2], 0, &mode.display) && ParseNumber(argv[3], 1, &mode.width) &&
                      ParseNumber(argv[4], 1, &mode.height) && ParseNumber(argv[5], 0, &mode.refreshHz);
  // The signals the program only notes (posix/termination) end the keeper as they end any helper.
  RestoreDefaultSignals();
  if (!parsed || !ChangedAtTheEnd()) _exit(parsed ? 0 : 2);
  close(kChannel);
  alarm(kMostRestoreSeconds);
  if (restore(mode)) _exit(0);
  const char line[] = "scatterview: the desktop's display mode could not be restored\n";
  (void)!write(STDERR_FILENO, line, sizeof line - 1);
  _exit(1);
}

}  // namespace platform::posix
