#include "app/startup_config.h"

#include <limits>

#include "platform/profile_reader.h"
#include "viewer/data_format.h"

namespace app {

StartupConfig ReadStartupConfig(const std::string& configPath) {
  // One reading of the file for all the keys; each 32-bit key out of its range keeps its default.
  const platform::ProfileReader file(configPath);
  constexpr char kSection[] = "CONFIG";
  StartupConfig c;
  c.width = file.Int32(kSection, "Width", c.width);
  c.height = file.Int32(kSection, "Height", c.height);
  c.fullScreen = file.Int32(kSection, "FullScreen", c.fullScreen);
  c.vsyncWait = file.Int32(kSection, "VSYNC_WAIT", c.vsyncWait);
  c.d3dxSprite = file.Int32(kSection, "D3DX_SPRITE", c.d3dxSprite);
  c.drawLevel = file.Int32(kSection, "DRAWLEVEL", c.drawLevel);
  c.noBackDraw = file.Int32(kSection, "NOBACKDRAW", c.noBackDraw);
  c.hardTL = file.Int32(kSection, "HARD_TL", c.hardTL);
  c.fog = file.Int32(kSection, "FOG", c.fog);
  c.bit = file.Int32(kSection, "BIT", c.bit);
  c.fps = file.Int32(kSection, "FPS", c.fps);
  c.scale = file.Int32(kSection, "SCALE", c.scale);
  c.name = file.String(kSection, "NAME", c.name);
  // A row limit as large as --max-rows takes; only a number past 64 bits is out of range.
  c.maxRows = file.Integer(kSection, "MAXROWS", static_cast<int64_t>(viewer::kMaxDataRows), std::numeric_limits<int64_t>::min(),
                           std::numeric_limits<int64_t>::max());
  c.read = viewer::ReadOptionsFromKeys(file.String(kSection, "DELIMITER", ""), file.String(kSection, "COLUMNS", ""));
  return c;
}

void ApplyCommandLine(const viewer::ViewOptions& options, StartupConfig& config) {
  if (options.maxRows) {
    config.maxRows = *options.maxRows;
    config.maxRowsName = "--max-rows";
  }
  config.read = viewer::WithReadOptions(config.read, options);
}

}  // namespace app
