#include "app/command_line.h"

namespace app {

std::string JoinArguments(int argc, const char* const* argv, int first) {
  std::string line;
  for (int i = first; i < argc; ++i) {
    if (i > first) line += ' ';
    line += argv[i];
  }
  return line;
}

std::string DataPathFromCommandLine(std::string_view commandLine) {
  if (commandLine.size() >= 2 && commandLine.front() == '"' && commandLine.back() == '"')
    commandLine = commandLine.substr(1, commandLine.size() - 2);
  return std::string(commandLine);
}

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine result;
  const auto fail = [&result](std::string why) {
    result.action = CommandLineAction::UsageError;
    result.error = std::move(why);
    return result;
  };
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg.front() != '-') break;  // the data path: a name, "-" or ""
    if (arg == "-h" || arg == "--help") {
      result.action = CommandLineAction::Help;
      return result;
    }
    if (arg == "--version") {
      result.action = CommandLineAction::Version;
      return result;
    }
    const size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const viewer::ViewOptionKind kind = viewer::KindOfViewOption(name);
    const bool inlineValue = equals != std::string_view::npos;
    if (kind == viewer::ViewOptionKind::NotOne || (kind == viewer::ViewOptionKind::Switch && inlineValue))
      return fail("unknown option '" + std::string(arg) + "' (a data path that begins with '-' goes after '--')");
    std::string_view value;
    if (kind == viewer::ViewOptionKind::TakesValue) {
      if (inlineValue) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        return fail(std::string(name) + " needs a value");
      }
    }
    if (std::string why = viewer::SetViewOption(name, value, result.options); !why.empty()) return fail(why);
  }
  result.rawPath = JoinArguments(argc, argv, i);
  return result;
}

std::string UsageText(const std::string& settingsPath) {
  return "Usage: scatterview [OPTIONS] [--] [DATA_FILE]\n"
         "       scatterview -h | --help | --version\n"
         "\n"
         "Shows the rows of DATA_FILE (three comma-separated numbers x,y,z per line) as a 3D scatter plot.\n"
         "The arguments from DATA_FILE on together form the one path (quotes around it are removed), so a\n"
         "path with spaces needs no quoting; '-' reads standard input; a path that begins with '-' goes\n"
         "after '--'. Without DATA_FILE the file named by NAME in the settings file is opened (default:\n"
         "data.csv in the current folder).\n"
         "\n"
         "Options (before DATA_FILE; for this run only, never written to the settings file):\n"
         "  --lines | --points   polyline or single points (LINESET; F2)\n"
         "  --fit | --fit-axes | --no-fit\n"
         "                       the rows scaled to the view as one shape, each axis on its own, or as\n"
         "                       they are (FIT 1, 2, 0; F6)\n"
         "  --colour-by-height | --white\n"
         "                       rows coloured by their height, or white (COLORMAP; F7)\n"
         "  --ranges | --no-ranges\n"
         "                       the rows' box with its values at the ends of three edges, and with\n"
         "                       colour by height a colour bar with the lowest and highest heights\n"
         "                       (RANGES; F8)\n"
         "  --max-rows N         read at most N rows, N at least 1 (MAXROWS; default 150000)\n"
         "  --delimiter C        the separator of the data file: one character, 'tab' or 'space'\n"
         "                       (runs of spaces and tabs) (DELIMITER; default: a comma, unless the\n"
         "                       first row holds none)\n"
         "  --columns I,J,K      x, y and z from columns I, J and K, counted from 1 (COLUMNS)\n"
         "  --point-size N       each row's point N x N pixels, N from 1 to 9 (POINTSIZE; default 1;\n"
         "                       keys - and +)\n"
         "  --colour-column K    colour the rows by column K's values, with its name on the colour\n"
         "                       bar (COLOUR_COLUMN; rows with no number there are left out)\n"
         "  -h, --help           this text\n"
         "  --version            the version\n"
         "A setting changed with its key during the run is written back as usual.\n"
         "\n"
         "Controls: mouse to orbit the camera, arrow keys (or keypad) to move the look-at point,\n"
         "Z / X to reset, F1 help, F2 lines or points, F3 rotation, F4 FPS, F5 axes, F6 fit the data\n"
         "to the view (off, one shape, each axis), F7 colour by height, F8 the ranges, F9 read the file\n"
         "again (or drop a file on the window), - and + (= too, and the keypad's) the point size down or\n"
         "up (1 to 9), P frees the mouse pointer to show the row under it (a left click copies it;\n"
         "P again gives the mouse back to the camera), F12 save the picture as\n"
         "scatterview-YYYYMMDD-HHMMSS.png, Escape to quit.\n"
         "\n"
         "Settings keys beyond the view: FIT (0, 1, 2), COLORMAP (0, 1), RANGES (0, 1) and POINTSIZE\n"
         "(1-9), written back once used; read at start and never written: MAXROWS (the most rows read),\n"
         "DELIMITER and COLUMNS (as the options; a bad value is ignored), SCALE (1-4 pixels a side per\n"
         "picture pixel, 0 from the display), RESIZABLE (1: a window that can be resized, the picture\n"
         "filling it).\n"
         "\n"
         "Environment: SDL_VIDEODRIVER=offscreen runs without a display;\n"
         "SCATTERVIEW_NO_DIALOGS=1 writes messages only to stderr (no message boxes);\n"
         "XDG_CONFIG_HOME (default ~/.config) holds the settings when the program's folder is read-only.\n"
         "\n"
         "Exit status: 0 a normal end (Escape, the close button, Ctrl-C, SIGTERM, SIGHUP); 1 the data file or\n"
         "the font does not open, or there is no display; 2 bad options; 255 another copy is running,\n"
         "or the window, graphics or input set-up failed.\n"
         "\n"
         "Settings file (config.ini) in use: " +
         settingsPath + "\n";
}

}  // namespace app
