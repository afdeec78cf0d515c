// How the programs meet SIGINT, SIGTERM and SIGHUP: the handler only notes the signal, and the program ends
// its run normally wherever it stands (the viewer as if its close button were pressed, the render
// tool by stopping its workers and cleaning up). The handlers go in before anything else runs, even
// before the static objects are built, so no early signal can kill a run half-way.
// Paired with termination.cpp.
#pragma once

namespace platform::posix {

// Makes sure descriptors 0, 1 and 2 are open (on /dev/null when they were closed), so that no file
// the program opens later becomes its standard error; then catches SIGINT, SIGTERM and SIGHUP. Safe to call
// more than once.
void PrepareProcess();

// Whether SIGINT, SIGTERM or SIGHUP has arrived since PrepareProcess.
bool TerminationRequested();

// The first such signal, or 0 when none came.
int TerminationSignal();

// Back to the default actions (a child that must die of these signals, such as a dialog's process).
void RestoreDefaultSignals();

// Sleeps for `ms` milliseconds or until a termination signal, whichever comes first (to a few ms).
// True when termination was requested.
bool SleepUnlessTerminated(int ms);

}  // namespace platform::posix
