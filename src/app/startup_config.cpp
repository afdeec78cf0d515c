#include "app/startup_config.h"

#include <limits>

#include "platform/profile_reader.h"
#include "viewer/data_format.h"

namespace app {

namespace {

// The twelve number keys of the thirteen, in their order; NAME, a string, follows them.
struct IntKey {
  const char* name;
  int StartupConfig::*field;
};
constexpr IntKey kIntKeys[] = {
    {"Width", &StartupConfig::width},          {"Height", &StartupConfig::height},
    {"FullScreen", &StartupConfig::fullScreen}, {"VSYNC_WAIT", &StartupConfig::vsyncWait},
    {"D3DX_SPRITE", &StartupConfig::d3dxSprite}, {"DRAWLEVEL", &StartupConfig::drawLevel},
    {"NOBACKDRAW", &StartupConfig::noBackDraw}, {"HARD_TL", &StartupConfig::hardTL},
    {"FOG", &StartupConfig::fog},              {"BIT", &StartupConfig::bit},
    {"FPS", &StartupConfig::fps},              {"SCALE", &StartupConfig::scale},
};

}  // namespace

StartupConfig ReadStartupConfig(const std::string& configPath) {
  // One reading of the file for all the keys; each 32-bit key out of its range keeps its default.
  const platform::ProfileReader file(configPath);
  constexpr char kSection[] = "CONFIG";
  StartupConfig c;
  for (const IntKey& key : kIntKeys) c.*key.field = file.Int32(kSection, key.name, c.*key.field);
  c.name = file.String(kSection, "NAME", c.name);
  // A row limit as large as --max-rows takes; only a number past 64 bits is out of range.
  c.maxRows = file.Integer(kSection, "MAXROWS", static_cast<int64_t>(viewer::kMaxDataRows),
                           std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
  c.read = viewer::ReadOptionsFromKeys(file.String(kSection, "DELIMITER", ""), file.String(kSection, "COLUMNS", ""),
                                       file.String(kSection, "COLOUR_COLUMN", ""));
  c.resizable = file.Int32(kSection, "RESIZABLE", c.resizable);
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
