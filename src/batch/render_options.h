// The command line of scatterview-render: what it draws (the view keys of a config.ini and the
// overrides on top of them), where it reads the data and writes the pictures. Paired with
// render_options.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "viewer/view_options.h"

namespace batch {

// What the output's name ends in says what is written: ".png" (or no extension at all) PNG pictures,
// ".gif" and ".webp" one animated file of a turntable (a still picture without one).
enum class OutputFormat { Png, Gif, Webp };

// The picture's size asked with --size: the whole back buffer, W / H its aspect ratio.
struct PictureSize {
  int width = 0, height = 0;
};

// An animated turntable's frames a second unless --fps says otherwise.
inline constexpr double kTurntableFps = 20.0;

struct RenderOptions {
  std::string dataPath;
  std::string outputPath;
  std::string configPath;  // "" = config.ini beside the program

  // Each override replaces the config key of the same meaning; unset ones keep the file's value.
  std::optional<double> theta;    // CAMERA_T, degrees
  std::optional<double> radius;   // CAMERA_R, at least 1
  std::optional<int32_t> cameraZ; // CAMERA_X (the camera height)
  std::optional<int32_t> axisX;   // AXIS_X
  std::optional<int32_t> axisY;   // AXIS_Y
  std::optional<bool> axes;       // SHOWAXIS
  std::optional<bool> hint;       // SHOWHINT
  std::optional<int32_t> hardTl;  // HARD_TL: 0, 1 or 2
  viewer::ViewOptions view;       // LINESET, FIT, COLORMAP, MAXROWS: as the viewer takes them

  std::optional<PictureSize> size;  // --size WxH; unset: Width and Height, the window's 640 x 480 corner

  int turntable = 0;  // 0: one picture; N: N pictures, THETA turned by 360 / N each
  int jobs = 0;       // worker processes for a turntable; 0 = one per processor
  OutputFormat format = OutputFormat::Png;  // from the output's extension
  double fps = kTurntableFps;  // frames a second of an animated turntable
};

enum class ParseStatus { Run, Help, Version, Error };

struct ParseResult {
  ParseStatus status = ParseStatus::Error;
  RenderOptions options;
  std::string error;  // for Error: what was wrong, one line
};

// Options may come before, between or after the two file names; "--name=value" and "--name value"
// both work; "--" ends the options. Numbers must be whole and finite (nothing trailing).
ParseResult ParseRenderOptions(const std::vector<std::string>& args);

std::string RenderUsage();

// The format the output's name asks for; false for an extension that is none of them ("out.jpg").
bool OutputFormatOf(const std::string& path, OutputFormat* format);

}  // namespace batch
