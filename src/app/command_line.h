// The command line: the view options before the data path, the data path itself (what main passes to
// WinMain as the raw command line) and the options main answers itself.
#pragma once

#include <string>
#include <string_view>

#include "viewer/view_options.h"

namespace app {

// The arguments argv[first] onwards joined by single spaces.
std::string JoinArguments(int argc, const char* const* argv, int first = 1);

// The data path of a non-empty raw command line: the text itself, without a surrounding pair of double
// quotes when both are there. `"my data.csv"`, `my data.csv` and `"my data.csv"` given as one argument
// all name the file `my data.csv`; a lone quote at one end is kept.
std::string DataPathFromCommandLine(std::string_view commandLine);

enum class CommandLineAction { Run, Help, Version, UsageError };

struct CommandLine {
  CommandLineAction action = CommandLineAction::Run;
  viewer::ViewOptions options;  // for this run only
  std::string rawPath;          // the arguments from the data path on, joined; "" when there are none
  std::string error;            // for UsageError: what was wrong, one line
};

// Options come first, as "--name value" or "--name=value"; -h / --help and --version answer at once.
// The first argument that is not an option ("-" alone, standard input, is not one), or every argument
// after "--", starts the data path, so a path beginning with "-" is given after "--". Before the path,
// any other argument beginning with "-" is a usage error.
CommandLine ParseCommandLine(int argc, const char* const* argv);

// The usage text for --help, naming the settings file in use.
std::string UsageText(const std::string& settingsPath);

}  // namespace app
