// Running something that waits on the user (a message box) in a process of its own, so that the
// program can still end on SIGINT or SIGTERM while it is shown: the program waits for that process
// in short steps and ends it when a termination signal comes. The process, and any process it
// forks, dies with the program however the program ends (even by SIGKILL), so no dialog outlives it.
// Paired with dialog_process.cpp.
#pragma once

#include <functional>

namespace platform::posix {

// Runs `body` in a child process and waits until it returns or a termination signal arrives (the
// child is then killed). False when no child could be made (`body` has not run).
bool RunInDialogProcess(const std::function<void()>& body);

}  // namespace platform::posix
