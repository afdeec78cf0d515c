// The keeper of the desktop's display mode: a small process, started just before the program first
// switches the display to another mode, that gives the display its desktop mode back when the program
// ends without doing so itself — a crash, SIGQUIT, SIGKILL, an exit that skipped the clean-up. It
// holds only the mode to restore and its end of a socket pair; the program's end of it closes
// however the program ends, and the keeper then restores the mode (unless told it is back already)
// and exits. Paired with mode_keeper.cpp; the restoring itself is the backend's (sdl2/).
#pragma once

#include <sys/types.h>

namespace platform::posix {

// The mode to give back, and on which display (the backend's own numbering).
struct KeptMode {
  int display = 0;
  int width = 0, height = 0;
  int refreshHz = 0;  // 0: any
};

// The program's side: one keeper, started at the first switch, ended with this object.
class ModeKeeper {
 public:
  ModeKeeper() = default;
  ~ModeKeeper();  // closes the channel and waits for the keeper (it ends at once when nothing is changed)
  ModeKeeper(const ModeKeeper&) = delete;
  ModeKeeper& operator=(const ModeKeeper&) = delete;

  // Starts the keeper holding `desktop`, once (later calls keep the first mode); false when no process
  // could be had, the run going on without one.
  bool Start(const KeptMode& desktop);
  // The mode is about to change / the program has given the desktop's mode back itself.
  void Changing() { Tell(kChanging); }
  void Restored() { Tell(kRestored); }

  // What the channel carries: the last of these before its end decides whether the keeper restores.
  static constexpr char kChanging = 'C';
  static constexpr char kRestored = 'R';

 private:
  void Tell(char what);
  int channel_ = -1;
  pid_t keeper_ = -1;
};

// A restorer of the kept mode: true when the display shows it again (or never left it).
using RestoreMode = bool (*)(const KeptMode& mode);

// Called first thing in the program's process (before its static objects are built): when the
// arguments are the keeper's own, this process is the keeper — it waits for the program's end,
// restores the mode with `restore` when needed and exits without returning (no destructor, no
// atexit handler: it shares nothing with the program and writes no file). Otherwise it returns.
void RunKeeperIfAsked(int argc, char** argv, RestoreMode restore);

}  // namespace platform::posix
