// Where the running program lives: the full path of the executable (/proc/self/exe) and the directory
// part of a path. No length limit anywhere.
#pragma once

#include <string>

namespace platform::posix {

// The executable's absolute path, or "" when the system does not tell.
std::string ExecutablePath();

// Everything before the last '/', without that slash: "/opt/sv/scatterview" gives "/opt/sv" and a
// program in the root directory, "/scatterview", gives "" (so "" + "/config.ini" is still right).
// A path without any slash gives "." (the current directory).
std::string DirectoryOf(const std::string& path);

}  // namespace platform::posix
