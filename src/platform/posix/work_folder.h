// Private work folders in a temporary directory, and the clean-up of those that killed runs left
// behind. Each folder holds a record of its owner: the process id, the process's start time (clock
// ticks after boot, from /proc/PID/stat, so a reused process id is not mistaken for the owner) and
// its pid namespace (a process id means nothing in another). A later run removes a folder only when
// it is this user's, a real folder (never through a link) and its owner provably gone.
// Paired with work_folder.cpp.
#pragma once

#include <string>

namespace platform::posix {

// Makes "<root>/<prefix>.XXXXXX" (mode 0700) with its owner record; "" when no folder can be made.
std::string MakeWorkFolder(const std::string& root, const std::string& prefix);

// Removes the folders "<root>/<prefix>.XXXXXX" of this user whose owner is gone, with everything in
// them, entry by entry: links are removed, never followed. A folder without a readable record, of
// another pid namespace, or whose owner cannot be looked up, is kept.
void RemoveAbandonedWorkFolders(const std::string& root, const std::string& prefix);

}  // namespace platform::posix
