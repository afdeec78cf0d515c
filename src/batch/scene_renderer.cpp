#include "batch/scene_renderer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>

#include "graphics/direct_graphics.h"
#include "platform/frame_timer.h"
#include "platform/posix/settings_path.h"
#include "platform/posix/work_folder.h"
#include "platform/printable_text.h"
#include "platform/profile.h"
#include "platform/profile_reader.h"
#include "viewer/data_loader.h"
#include "viewer/viewer_scene.h"

namespace batch {

// The start-up keys that decide the picture: the back buffer's size (and so the aspect ratio), the
// point path, the text path, whether fog states may be set.
struct DisplayKeys {
  int32_t width, height, hardTl, fog, d3dxSprite;
  int64_t maxRows;
  viewer::ReadOptions read;  // DELIMITER, COLUMNS
};

namespace {

// Without --size the picture is this corner of the back buffer, whatever Width and Height say: the
// part the viewer's window shows.
constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 480;
constexpr char kSection[] = "CONFIG";
constexpr char kWorkFolderPrefix[] = "scatterview-render";

// As the viewer reads them: one reading of the file; a number out of range keeps the default.
DisplayKeys ReadDisplayKeys(const std::string& path) {
  const platform::ProfileReader file(path);
  DisplayKeys keys{file.Int32(kSection, "Width", 640),
                   file.Int32(kSection, "Height", 480),
                   file.Int32(kSection, "HARD_TL", 0),
                   file.Int32(kSection, "FOG", 1),
                   file.Int32(kSection, "D3DX_SPRITE", 0),
                   file.Integer(kSection, "MAXROWS", static_cast<int64_t>(viewer::kMaxDataRows),
                                std::numeric_limits<int64_t>::min(),
                                std::numeric_limits<int64_t>::max()),
                   {}};
  keys.read = viewer::ReadOptionsFromKeys(file.String(kSection, "DELIMITER", ""), file.String(kSection, "COLUMNS", ""),
                                          file.String(kSection, "COLOUR_COLUMN", ""));
  return keys;
}

bool IsReadableFile(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), R_OK) == 0;
}


// The viewer's graphics set-up failures, in its own words where it has them; a picture of `width` x
// `height` the memory cannot hold is no fault of the settings.
std::string GraphicsFailure(int32_t result, int32_t width, int32_t height) {
  switch (result) {
    case GRAPHICS_NO_MEMORY:
      return "out of memory for a picture of " + std::to_string(width) + " x " + std::to_string(height) +
             " (the device's back and depth buffers)";
    case GRAPHICS_NO_DIRECT3D: return "the graphics set-up failed: no Direct3D object";
    case GRAPHICS_NO_DEVICE: return "the graphics set-up failed: no device (check Width, Height and HARD_TL)";
    case GRAPHICS_NO_SPRITE: return "the graphics set-up failed: no sprite (HARD_TL must be 0, 1 or 2)";
    default: return "the graphics set-up failed (" + std::to_string(result) + ")";
  }
}

const char* TemporaryRoot() {
  const char* root = std::getenv("TMPDIR");
  return root && *root ? root : "/tmp";
}

// A private folder in $TMPDIR, or in /tmp when $TMPDIR is no use (missing, a file, not writable):
// a temporary folder is a means, not something the user asked for. Empty when neither works.
// The folders of earlier runs that were killed (SIGKILL, a power cut) go first, from both places.
std::string MakeTemporaryFolder() {
  for (const char* root : {TemporaryRoot(), "/tmp"})
    platform::posix::RemoveAbandonedWorkFolders(root, kWorkFolderPrefix);
  for (const char* root : {TemporaryRoot(), "/tmp"}) {
    std::string folder = platform::posix::MakeWorkFolder(root, kWorkFolderPrefix);
    if (!folder.empty()) return folder;
  }
  return std::string();
}

}  // namespace

SceneRenderer::SceneRenderer() = default;

SceneRenderer::~SceneRenderer() {
  if (scene_ && g_graphics) scene_->ReleaseDeviceResources();
  if (graphicsOwned_) {
    delete g_graphics;
    g_graphics = nullptr;
  }
  // The private copy goes before the scene, whose save then finds no folder and writes nothing: the
  // folder is gone even if that save could not finish (no memory left, say).
  if (!settingsFolder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(settingsFolder_, ignored);
  }
  scene_.reset();
}

namespace {

// The config file and the data file, looked at before anything is made; false, with `error`, when
// one cannot be read.
bool InputsReadable(const RenderOptions& options, const std::string& configPath, std::string* error) {
  // A config file named on the command line must be there; the one beside the program may be missing,
  // as it may for the viewer, and then every key has its default.
  if (!options.configPath.empty() && !IsReadableFile(configPath)) {
    *error = "the config file " + configPath + " cannot be read";
    return false;
  }
  // Read as missing, as the viewer reads it; but not in silence.
  if (platform::ProfileTooLarge(configPath))
    std::fprintf(stderr, "scatterview-render: %s is larger than %lld MiB: its settings are not read\n",
                 platform::PrintableText(configPath).c_str(), platform::kLargestProfileBytes >> 20);
  std::string why;
  if (!viewer::CanReadDataFile(options.dataPath, &why)) {
    *error = "the data file " + options.dataPath + " cannot be read (" + why + ")";
    return false;
  }
  return true;
}

// The command line's view over the keys the scene read.
void OverrideView(const RenderOptions& options, ViewerScene& scene) {
  if (options.theta) scene.cameraTheta = *options.theta;
  if (options.radius) scene.cameraR = *options.radius;
  if (options.cameraZ) scene.cameraZ = *options.cameraZ;
  if (options.axisX) scene.axisX = *options.axisX;
  if (options.axisY) scene.axisY = *options.axisY;
  if (options.axes) scene.showAxis = *options.axes ? 1 : 0;
  if (options.hint) scene.showHint = *options.hint ? 1 : 0;
  scene.OverrideForThisRun(options.view);
}

// The rows, read once, here: a turntable's workers are forked after this and share them.
bool ReadRows(const RenderOptions& options, const DisplayKeys& keys, ViewerScene& scene, std::string* error) {
  g_dataPath = options.dataPath;
  scene.SetRowLimit(viewer::RowLimitFromSetting(options.view.maxRows.value_or(keys.maxRows)), "--max-rows");
  scene.SetReadOptions(viewer::WithReadOptions(keys.read, options.view));
  scene.LoadData();
  if (!scene.FinishLoading()) {
    *error = "interrupted while reading " + options.dataPath;
    return false;
  }
  // A picture of part of the rows is no picture of the file.
  if (scene.lastReading.end == viewer::DataReadEnd::ReadError) {
    *error = "reading " + options.dataPath + " broke off: " + std::strerror(scene.lastReading.error);
    return false;
  }
  return true;
}

}  // namespace

bool SceneRenderer::Open(const RenderOptions& options, std::string* error) {
  const std::string configPath =
      options.configPath.empty() ? platform::posix::SettingsFileToRead(FrameTimer::GetModuleDirectory())
                                : options.configPath;
  if (!InputsReadable(options, configPath, error)) return false;
  // Data read from standard input is whatever descriptor 0 is (a file redirected in, say), not a file
  // named "-": that is the file no picture may replace.
  const std::string dataFile = options.dataPath == "-" ? "/dev/stdin" : options.dataPath;
  inputs_ = {dataFile, configPath, FrameTimer::GetModuleDirectory() + "/data/font.dds"};

  // The scene reads its keys in its constructor and writes them back in its destructor. It gets a
  // private copy to do both with, so the real file is read exactly as the viewer reads it and never
  // written.
  const std::string folder = MakeTemporaryFolder();
  if (folder.empty()) {
    *error = std::string("cannot make a temporary folder for the settings in ") + TemporaryRoot() + " or /tmp";
    return false;
  }
  settingsFolder_ = folder;
  const std::string copyPath = folder + "/config.ini";
  std::error_code copyError;
  if (IsReadableFile(configPath) &&
      !std::filesystem::copy_file(configPath, copyPath, std::filesystem::copy_options::overwrite_existing,
                                  copyError)) {
    *error = "the config file " + configPath + " cannot be read: " + copyError.message();
    return false;
  }
  scene_ = std::make_unique<ViewerScene>(copyPath);
  const DisplayKeys keys = ReadDisplayKeys(copyPath);
  OverrideView(options, *scene_);
  return OpenGraphics(options, keys, error) && ReadRows(options, keys, *scene_, error);
}

bool SceneRenderer::OpenGraphics(const RenderOptions& options, const DisplayKeys& keys, std::string* error) {
  // Windowed, whatever FullScreen says: the full-screen device draws the same picture, and the
  // display's refresh rate is no business of a program without a window.
  g_graphics = new DirectGraphics();
  graphicsOwned_ = true;
  // --size asks for the whole back buffer at that size, so the labels are kept on all of it too.
  wholeBackBuffer_ = options.size.has_value();
  const int32_t width = wholeBackBuffer_ ? options.size->width : keys.width;
  const int32_t height = wholeBackBuffer_ ? options.size->height : keys.height;
  if (wholeBackBuffer_) scene_->SetPictureSize(width, height);
  const int32_t result = g_graphics->Init(nullptr, 0, width, height, 0, 0, 0, options.hardTl.value_or(keys.hardTl),
                                          keys.fog, keys.d3dxSprite, 0);
  if (result != GRAPHICS_OK) {
    *error = GraphicsFailure(result, width, height);
    return false;
  }
  try {
    g_graphics->LoadTexture(kFontTextureName, D3DX_FILTER_POINT);
  } catch (...) {
    *error = "the font texture " + FrameTimer::GetModuleDirectory() + "/data/font.dds cannot be read";
    return false;
  }
  // As the scene's Start leaves it; with FOG 0 this sets nothing at all.
  g_graphics->SetFog(false, 0.0f, 800.0f, 0xFF000000u);
  return true;
}

PictureSize SceneRenderer::Size() const {
  const GraphicsConfig& config = g_graphics->config;
  if (wholeBackBuffer_) return PictureSize{config.Width, config.Height};
  return PictureSize{std::min(config.Width, kPictureWidth), std::min(config.Height, kPictureHeight)};
}

double SceneRenderer::StartTheta() const { return scene_ ? scene_->cameraTheta : 0.0; }

Picture SceneRenderer::Render(double theta) {
  scene_->cameraTheta = theta;
  // The first running frame: its states and light, then the scene. The viewer draws the FPS readout
  // after this when it is on; a picture written to a file has no frame rate to show.
  g_graphics->SetRenderStates(false);
  g_graphics->SetupLight();
  scene_->Draw();

  int width = 0, height = 0;
  const uint32_t* pixels = g_graphics->device->BackBufferPixels(&width, &height);
  const PictureSize size = Size();
  return Picture{pixels, size.width, size.height, width};
}

}  // namespace batch
