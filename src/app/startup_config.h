// The display and start-up keys of config.ini (section CONFIG), read once at start-up.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/view_options.h"

namespace app {

struct StartupConfig {
  int width = 640;
  int height = 480;
  int fullScreen = 0;
  int vsyncWait = 1;
  int d3dxSprite = 0;
  int drawLevel = 0;
  int noBackDraw = 0;
  int hardTL = 0;
  int fog = 1;
  int bit = 0;
  int fps = 0;                   // FPS readout on at start (the scene's showFps)
  int scale = 1;                 // screen pixels a side per picture pixel: 1-4, 0 from the display
  int resizable = 0;             // RESIZABLE: a window the user may resize, the picture following it
  std::string name = "data.csv"; // data file path
  int64_t maxRows = 0;           // MAXROWS: the most rows read when positive (else the usual 150 000)
  std::string maxRowsName = "MAXROWS in config.ini";  // what set maxRows, for the notice of rows left out
  viewer::ReadOptions read;      // DELIMITER, COLUMNS: how the data file is split (bad values: automatic)
};

// Reads the thirteen keys in their fixed order, then MAXROWS, DELIMITER, COLUMNS and RESIZABLE; each
// missing one keeps its default.
StartupConfig ReadStartupConfig(const std::string& configPath);

// The command line's start-up options (--max-rows, --delimiter, --columns) over the keys they replace.
void ApplyCommandLine(const viewer::ViewOptions& options, StartupConfig& config);

}  // namespace app
