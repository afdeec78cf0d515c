#include "app/command_line.h"

namespace app {

std::string JoinArguments(int argc, const char* const* argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

std::string DataPathFromCommandLine(std::string_view commandLine) {
  if (commandLine.size() >= 2 && commandLine.front() == '"' && commandLine.back() == '"')
    commandLine = commandLine.substr(1, commandLine.size() - 2);
  return std::string(commandLine);
}

CommandLineAction ActionOf(int argc, const char* const* argv) {
  if (argc < 2) return CommandLineAction::Run;
  std::string_view first = argv[1];
  if (first == "-h" || first == "--help") return CommandLineAction::Help;
  if (first == "--version") return CommandLineAction::Version;
  return CommandLineAction::Run;
}

std::string UsageText(const std::string& settingsPath) {
  return "Usage: scatterview [DATA_FILE]\n"
         "       scatterview -h | --help | --version\n"
         "\n"
         "Shows the rows of DATA_FILE (three comma-separated numbers x,y,z per line) as a 3D scatter plot.\n"
         "All arguments together form the one path (quotes around it are removed), so a path with\n"
         "spaces needs no quoting. Without an argument the file named by NAME in the settings file is\n"
         "opened (default: data.csv in the current folder).\n"
         "\n"
         "Controls: mouse to orbit the camera, arrow keys (or keypad) to move the look-at point,\n"
         "Z / X to reset, F1 help, F2 lines or points, F3 rotation, F4 FPS, F5 axes, F6 fit the data\n"
         "to the view (off, one shape, each axis), F7 colour by height, F9 read the file again (or drop\n"
         "a file on the window), Escape to quit.\n"
         "\n"
         "Settings keys beyond the view: FIT (0, 1, 2) and COLORMAP (0, 1), written back once used;\n"
         "SCALE (1-4 pixels a side per picture pixel, 0 from the display), read at start.\n"
         "\n"
         "Environment: SDL_VIDEODRIVER=offscreen runs without a display;\n"
         "SCATTERVIEW_NO_DIALOGS=1 writes messages only to stderr (no message boxes);\n"
         "XDG_CONFIG_HOME (default ~/.config) holds the settings when the program's folder is read-only.\n"
         "\n"
         "Settings file (config.ini) in use: " +
         settingsPath + "\n";
}

}  // namespace app
