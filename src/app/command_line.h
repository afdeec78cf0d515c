// The command line: what main passes to WinMain, and the data path taken from it.
#pragma once

#include <string>
#include <string_view>

namespace app {

// The raw command line: the arguments after the program's name joined by single spaces.
std::string JoinArguments(int argc, const char* const* argv);

// The data path of a non-empty raw command line: the text itself, without a surrounding pair of double
// quotes when both are there. `"my data.csv"`, `my data.csv` and `"my data.csv"` given as one argument
// all name the file `my data.csv`; a lone quote at one end is kept.
std::string DataPathFromCommandLine(std::string_view commandLine);

enum class CommandLineAction { Run, Help, Version };
// -h / --help and --version as the first argument; anything else is a path.
CommandLineAction ActionOf(int argc, const char* const* argv);

// The usage text for --help, naming the settings file in use.
std::string UsageText(const std::string& settingsPath);

}  // namespace app
