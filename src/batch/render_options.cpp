#include "batch/render_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace batch {
namespace {

constexpr int kMaxTurntable = 36000;
constexpr int kMaxJobs = 256;
constexpr int kSmallestSide = 16, kLargestSide = 8192;
// GIF delays are whole hundredths of a second: 50 frames a second is the most that keeps them apart.
constexpr double kLowestFps = 0.1, kHighestFps = 50.0;
constexpr char kFormats[] = "PNG (.png), GIF (.gif) or WebP (.webp)";

// "1920x1080": two whole numbers within the sides' range.
bool ParseSize(const std::string& text, PictureSize& out) {
  const size_t by = text.find('x');
  int64_t width = 0, height = 0;
  if (by == std::string::npos) return false;
  const auto side = [](const std::string& part, int64_t& value) {
    value = 0;
    const auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
    return !part.empty() && ec == std::errc() && ptr == part.data() + part.size() && value >= kSmallestSide &&
           value <= kLargestSide;
  };
  if (!side(text.substr(0, by), width) || !side(text.substr(by + 1), height)) return false;
  out = PictureSize{static_cast<int>(width), static_cast<int>(height)};
  return true;
}

bool ParseInt(const std::string& text, int64_t low, int64_t high, int64_t& out) {
  int64_t value = 0;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end || begin == end || value < low || value > high) return false;
  out = value;
  return true;
}

bool ParseDouble(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) return false;
  out = value;
  return true;
}

// The options that take a value (the view options are the viewer's too).
bool TakesValue(const std::string& name) {
  if (viewer::KindOfViewOption(name) == viewer::ViewOptionKind::TakesValue) return true;
  for (const char* n : {"--config", "--theta", "--r", "--z", "--axis-x", "--axis-y", "--hard-tl", "--turntable",
                        "--jobs", "--size", "--fps"})
    if (name == n) return true;
  return false;
}

// Applies "name value"; "" on success, else the reason.
std::string ApplyValue(const std::string& name, const std::string& value, RenderOptions& o) {
  constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min();
  constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();
  if (viewer::KindOfViewOption(name) == viewer::ViewOptionKind::TakesValue)
    return viewer::SetViewOption(name, value, o.view);
  int64_t whole = 0;
  double real = 0.0;
  if (name == "--config") {
    if (value.empty()) return "--config needs a file name";
    o.configPath = value;
  } else if (name == "--theta") {
    if (!ParseDouble(value, real)) return "--theta needs a number of degrees, not '" + value + "'";
    o.theta = real;
  } else if (name == "--r") {
    if (!ParseDouble(value, real) || real < 1.0) return "--r needs a number of at least 1, not '" + value + "'";
    o.radius = real;
  } else if (name == "--z" || name == "--axis-x" || name == "--axis-y") {
    if (!ParseInt(value, kIntMin, kIntMax, whole)) return name + " needs a whole number, not '" + value + "'";
    (name == "--z" ? o.cameraZ : name == "--axis-x" ? o.axisX : o.axisY) = static_cast<int32_t>(whole);
  } else if (name == "--hard-tl") {
    if (!ParseInt(value, 0, 2, whole)) return "--hard-tl needs 0, 1 or 2, not '" + value + "'";
    o.hardTl = static_cast<int32_t>(whole);
  } else if (name == "--turntable") {
    if (!ParseInt(value, 1, kMaxTurntable, whole))
      return "--turntable needs a count from 1 to " + std::to_string(kMaxTurntable) + ", not '" + value + "'";
    o.turntable = static_cast<int>(whole);
  } else if (name == "--jobs") {
    if (!ParseInt(value, 1, kMaxJobs, whole))
      return "--jobs needs a count from 1 to " + std::to_string(kMaxJobs) + ", not '" + value + "'";
    o.jobs = static_cast<int>(whole);
  } else if (name == "--size") {
    PictureSize size;
    if (!ParseSize(value, size))
      return "--size needs WIDTHxHEIGHT, each from " + std::to_string(kSmallestSide) + " to " +
             std::to_string(kLargestSide) + " pixels, not '" + value + "'";
    o.size = size;
  } else if (name == "--fps") {
    if (!ParseDouble(value, real) || real < kLowestFps || real > kHighestFps)
      return "--fps needs a number of frames a second from 0.1 to 50, not '" + value + "'";
    o.fps = real;
  }
  return "";
}

bool ApplySwitch(const std::string& name, RenderOptions& o) {
  if (viewer::KindOfViewOption(name) == viewer::ViewOptionKind::Switch)
    return viewer::SetViewOption(name, "", o.view).empty();
  if (name == "--axes") o.axes = true;
  else if (name == "--no-axes") o.axes = false;
  else if (name == "--hint") o.hint = true;
  else if (name == "--no-hint") o.hint = false;
  else return false;
  return true;
}

// DATA and OUT from the arguments that are no options, into `o`; the error's text when they will not do.
std::string TakeFileNames(const std::vector<std::string>& files, RenderOptions& o) {
  if (files.size() != 2)
    return files.size() < 2 ? "needs a data file and an output PNG file"
                            : "too many file names (needs exactly DATA and OUT.png)";
  o.dataPath = files[0];
  o.outputPath = files[1];
  if (o.dataPath.empty() || o.outputPath.empty()) return "file names must not be empty";
  if (o.outputPath == "-" && o.turntable > 0)
    return std::string("a turntable writes files: its output cannot be '-' (standard output); name a ") + kFormats +
           " file";
  if (o.outputPath != "-" && !OutputFormatOf(o.outputPath, &o.format))
    return "cannot write '" + o.outputPath + "': the output's name must end in the extension of " + kFormats;
  return "";
}

}  // namespace

ParseResult ParseRenderOptions(const std::vector<std::string>& args) {
  ParseResult result;
  RenderOptions& o = result.options;
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      result.status = ParseStatus::Help;
      return result;
    }
    if (arg == "--version") {
      result.status = ParseStatus::Version;
      return result;
    }
    std::string name = arg, value;
    const size_t equals = arg.find('=');
    const bool inlineValue = equals != std::string::npos;
    if (inlineValue) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    if (TakesValue(name)) {
      if (!inlineValue) {
        if (i + 1 >= args.size()) {
          result.error = name + " needs a value";
          return result;
        }
        value = args[++i];
      }
      result.error = ApplyValue(name, value, o);
      if (!result.error.empty()) return result;
    } else if (inlineValue || !ApplySwitch(name, o)) {
      result.error = "unknown option '" + arg + "'";
      return result;
    }
  }
  result.error = TakeFileNames(files, o);
  if (!result.error.empty()) return result;
  result.status = ParseStatus::Run;
  return result;
}

bool OutputFormatOf(const std::string& path, OutputFormat* format) {
  const size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  // No extension (a dot only at the start of a hidden file's name is none): PNG, as ever.
  if (dot == std::string::npos || dot == 0) {
    *format = OutputFormat::Png;
    return true;
  }
  std::string extension = name.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "png") *format = OutputFormat::Png;
  else if (extension == "gif") *format = OutputFormat::Gif;
  else if (extension == "webp") *format = OutputFormat::Webp;
  else return false;
  return true;
}

std::string RenderUsage() {
  return "Usage: scatterview-render [options] DATA OUT.png|OUT.gif|OUT.webp\n"
         "       scatterview-render -h | --help | --version\n"
         "Draws the picture the viewer shows first for DATA, as a 640 x 480 PNG, without a window.\n"
         "DATA '-' reads standard input; OUT.png '-' writes the PNG to standard output. The output's\n"
         "extension picks the format: .png (or none) PNG, .gif GIF, .webp lossless WebP; a turntable\n"
         "to a .gif or .webp is one animated file.\n"
         "The view comes from config.ini (beside the program unless --config says otherwise; never\n"
         "written), with these overrides:\n"
         "  --config FILE       read the view keys from FILE\n"
         "  --theta DEG         orbit angle THETA (CAMERA_T)\n"
         "  --r R               orbit radius, at least 1 (CAMERA_R)\n"
         "  --z Z               camera height (CAMERA_X)\n"
         "  --axis-x X          look-at point X (AXIS_X)\n"
         "  --axis-y Y          look-at point Y (AXIS_Y)\n"
         "  --lines | --points  polyline or single points (LINESET)\n"
         "  --axes | --no-axes  the green axes (SHOWAXIS)\n"
         "  --hint | --no-hint  the help text and readouts (SHOWHINT)\n"
         "  --hard-tl N         vertex processing 0, 1 or 2 (HARD_TL; the picture is the same)\n"
         "  --fit | --fit-axes | --no-fit\n"
         "                      the rows scaled to the view as one shape, each axis on its own, or\n"
         "                      as they are (FIT 1, 2, 0)\n"
         "  --colour-by-height | --white\n"
         "                      rows coloured by their height, or white (COLORMAP)\n"
         "  --ranges | --no-ranges\n"
         "                      the rows' box with its values at the ends of three edges, and with\n"
         "                      colour by height a colour bar with the lowest and highest heights (RANGES)\n"
         "  --size WxH          the whole picture at W x H pixels (16 to 8192 each), aspect W/H\n"
         "                      (default: Width x Height, of which the top-left 640 x 480 is drawn)\n"
         "  --turntable N       N pictures OUT-000.png, OUT-001.png, ... turning THETA by 360/N each;\n"
         "                      to OUT.gif or OUT.webp one looping animation of the N frames\n"
         "  --fps F             frames a second of an animation, 0.1 to 50 (default 20)\n"
         "  --jobs N            worker processes for a turntable (default: one per processor)\n"
         "  --max-rows N        read at most N rows of DATA (MAXROWS; default 150000)\n"
         "  --delimiter C       the separator of DATA: one character, 'tab' or 'space' (runs of\n"
         "                      spaces and tabs) (DELIMITER; default: a comma, unless the first row\n"
         "                      holds none)\n"
         "  --columns I,J,K     x, y and z from columns I, J and K of DATA, counted from 1 (COLUMNS)\n"
         "  --point-size N      each row's point N x N pixels, N from 1 to 9 (POINTSIZE; default 1)\n"
         "  --colour-column K   colour the rows by column K's values (COLOUR_COLUMN)\n"
         "  -h, --help          this text\n"
         "  --version           the version\n"
         "Exit status: 0 written, 1 a file could not be read or written, 2 bad options,\n"
         "128 + the signal's number when interrupted by SIGINT (130), SIGTERM (143) or SIGHUP (129).\n";
}

}  // namespace batch
