// The ten view keys of config.ini: read when the scene is constructed, written back when it is
// destroyed. Also the scene's construction and destruction, which frame the two.
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <utility>

#include "platform/frame_timer.h"
#include "platform/posix/settings_path.h"
#include "platform/profile.h"
#include "platform/profile_text.h"
#include "viewer/data_loader.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr char kSection[] = "CONFIG";

// Base 2 of the value's 32-bit pattern: 5 gives "101", -1 thirty-two "1" digits.
std::string Binary(int32_t value) {
  uint32_t bits = static_cast<uint32_t>(value);
  if (bits == 0) return "0";
  std::string digits;
  for (; bits != 0; bits >>= 1) digits.insert(digits.begin(), static_cast<char>('0' + (bits & 1u)));
  return digits;
}

int32_t ReadSigned(const char* key, int defaultValue, const std::string& path) {
  return static_cast<int32_t>(GetPrivateProfileIntA(kSection, key, defaultValue, path.c_str()));
}

// THETA and R are stored as whole numbers read unsigned: "-1" comes back as 4294967295.0.
double ReadUnsigned(const char* key, int defaultValue, const std::string& path) {
  return static_cast<double>(GetPrivateProfileIntA(kSection, key, defaultValue, path.c_str()));
}

}  // namespace

ViewerScene::ViewerScene() : ViewerScene(platform::posix::PrepareSettingsFile(FrameTimer::GetModuleDirectory())) {}

ViewerScene::ViewerScene(std::string configPath) : configPath_(std::move(configPath)) { LoadSettings(); }

ViewerScene::~ViewerScene() {
  pendingRows_.reset();  // a reading still waiting on its writer stops first
  SaveSettings();
}

void ViewerScene::LoadSettings() {
  showHint = ReadSigned("SHOWHINT", 1, configPath_);
  lineMode = ReadSigned("LINESET", 0, configPath_);
  autoAnime = ReadSigned("AUTOANIME", 0, configPath_);
  showAxis = ReadSigned("SHOWAXIS", 1, configPath_);
  cameraZ = ReadSigned("CAMERA_X", 150, configPath_);
  cameraY = ReadSigned("CAMERA_Y", 30, configPath_);
  cameraTheta = ReadUnsigned("CAMERA_T", 45, configPath_);
  cameraR = ReadUnsigned("CAMERA_R", 250, configPath_);
  axisX = ReadSigned("AXIS_X", 0, configPath_);
  axisY = ReadSigned("AXIS_Y", 0, configPath_);
  fitMode = ReadSigned("FIT", 0, configPath_);
  if (fitMode < 0 || fitMode > 2) fitMode = 0;
  colourByHeight = ReadSigned("COLORMAP", 0, configPath_) != 0 ? 1 : 0;
}

void ViewerScene::OverrideForThisRun(const viewer::ViewOptions& options) {
  if (options.lines) {
    lineMode = *options.lines ? 1 : 0;
    runOnly_.lineMode = true;
  }
  if (options.fit) {
    fitMode = *options.fit;
    runOnly_.fitMode = true;
  }
  if (options.byHeight) {
    colourByHeight = *options.byHeight ? 1 : 0;
    runOnly_.colourByHeight = true;
  }
}

void ViewerScene::ReleaseDeviceResources() {
  if (vertexBuffer) {
    vertexBuffer->Release();
    vertexBuffer = nullptr;
  }
}

void ViewerScene::SaveSettings() {
  // The buffer only ever exists with HARD_TL on, so that setting (whose owner may be gone by now) need
  // not be asked. At a normal end the entry point has released it already.
  ReleaseDeviceResources();

  // All ten keys go into the file in a single atomic replace: a crash part-way can leave the old file
  // or the new one, never a half-written one or a mix of both.
  std::string text;
  if (!platform::ReadProfileFile(configPath_, text)) {
    struct stat st{};
    // Present but unreadable (a folder, no read permission): never replace what could not be read.
    if (stat(configPath_.c_str(), &st) == 0) return;
    text.clear();
  }
  // A setting shown for this run only is not written: its key keeps whatever the file has (or lacks).
  const std::pair<const char*, std::string> keys[] = {
      {"SHOWHINT", Binary(showHint)},
      {runOnly_.lineMode ? nullptr : "LINESET", Binary(lineMode)},
      {"AUTOANIME", Binary(autoAnime)},
      {"SHOWAXIS", Binary(showAxis)},
      {"CAMERA_X", std::to_string(cameraZ)},
      {"CAMERA_Y", std::to_string(cameraY)},
      {"CAMERA_T", std::to_string(viewer::TruncateToInt32(cameraTheta))},
      {"CAMERA_R", std::to_string(viewer::TruncateToInt32(cameraR))},
      {"AXIS_X", std::to_string(axisX)},
      {"AXIS_Y", std::to_string(axisY)},
  };
  for (const auto& [key, value] : keys)
    if (key) text = platform::ini::SetValue(text, kSection, key, value);
  // The newer keys appear only once they mean something, so files of before stay as they were.
  const std::pair<const char*, int32_t> optional[] = {{runOnly_.fitMode ? nullptr : "FIT", fitMode},
                                                      {runOnly_.colourByHeight ? nullptr : "COLORMAP", colourByHeight}};
  for (const auto& [key, value] : optional) {
    if (key && (value != 0 || platform::ini::FindValue(text, kSection, key)))
      text = platform::ini::SetValue(text, kSection, key, std::to_string(value));
  }
  // A read-only file, a folder in the way or a full disk: the old file stays; the run ends normally.
  (void)platform::ReplaceProfileFile(configPath_, text);
}
