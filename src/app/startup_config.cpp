#include "app/startup_config.h"

#include "platform/profile.h"

namespace app {

namespace {

int ReadInt(const char* key, int defaultValue, const std::string& path) {
  // The profile read answers UINT; the settings are signed.
  return static_cast<int>(static_cast<int32_t>(GetPrivateProfileIntA("CONFIG", key, defaultValue, path.c_str())));
}

}  // namespace

StartupConfig ReadStartupConfig(const std::string& configPath) {
  StartupConfig c;
  c.width = ReadInt("Width", c.width, configPath);
  c.height = ReadInt("Height", c.height, configPath);
  c.fullScreen = ReadInt("FullScreen", c.fullScreen, configPath);
  c.vsyncWait = ReadInt("VSYNC_WAIT", c.vsyncWait, configPath);
  c.d3dxSprite = ReadInt("D3DX_SPRITE", c.d3dxSprite, configPath);
  c.drawLevel = ReadInt("DRAWLEVEL", c.drawLevel, configPath);
  c.noBackDraw = ReadInt("NOBACKDRAW", c.noBackDraw, configPath);
  c.hardTL = ReadInt("HARD_TL", c.hardTL, configPath);
  c.fog = ReadInt("FOG", c.fog, configPath);
  c.bit = ReadInt("BIT", c.bit, configPath);
  c.fps = ReadInt("FPS", c.fps, configPath);
  c.scale = ReadInt("SCALE", c.scale, configPath);
  c.name = GetPrivateProfileStringA("CONFIG", "NAME", c.name.c_str(), configPath.c_str());
  c.maxRows = ReadInt("MAXROWS", 0, configPath);
  c.read = viewer::ReadOptionsFromKeys(GetPrivateProfileStringA("CONFIG", "DELIMITER", "", configPath.c_str()),
                                       GetPrivateProfileStringA("CONFIG", "COLUMNS", "", configPath.c_str()));
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
