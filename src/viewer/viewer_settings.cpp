// The view keys of config.ini: read when the scene is constructed, written back when it is
// destroyed. Also the scene's construction and destruction, which frame the two.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/frame_timer.h"
#include "platform/worker.h"
#include "platform/posix/settings_path.h"
#include "platform/printable_text.h"
#include "platform/profile.h"
#include "platform/profile_reader.h"
#include "platform/profile_text.h"
#include "render/safe_release.h"
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

// THETA and R are stored as whole numbers read unsigned: "-1" comes back as 4294967295.0.
// THETA and R are read as 32-bit unsigned numbers: -1 reads as 4294967295, and so does that.
double ReadUnsigned(const platform::ProfileReader& file, const char* key, int32_t defaultValue) {
  const int64_t value = file.Integer(kSection, key, defaultValue, INT32_MIN, UINT32_MAX);
  return static_cast<double>(static_cast<uint32_t>(value));
}

}  // namespace

ViewerScene::ViewerScene() : programFolder_(FrameTimer::GetModuleDirectory()) {
  configPath_ = platform::posix::SettingsFilePath(programFolder_);
  LoadSettings();
}

ViewerScene::ViewerScene(std::string configPath) : configPath_(std::move(configPath)) { LoadSettings(); }

ViewerScene::~ViewerScene() {
  pendingRows_.reset();  // a reading still waiting on its writer stops first
  SaveSettings();
}

void ViewerScene::LoadSettings() {
  // The program's own file may not exist yet: its starting values then come from the one beside it.
  const platform::ProfileReader file(programFolder_.empty() ? configPath_
                                                             : platform::posix::SettingsFileToRead(programFolder_));
  showHint = file.Int32(kSection, "SHOWHINT", 1);
  lineMode = file.Int32(kSection, "LINESET", 0);
  autoAnime = file.Int32(kSection, "AUTOANIME", 0);
  showAxis = file.Int32(kSection, "SHOWAXIS", 1);
  cameraZ = file.Int32(kSection, "CAMERA_X", 150);
  cameraY = file.Int32(kSection, "CAMERA_Y", 30);
  cameraTheta = ReadUnsigned(file, "CAMERA_T", 45);
  cameraR = ReadUnsigned(file, "CAMERA_R", 250);
  axisX = file.Int32(kSection, "AXIS_X", 0);
  axisY = file.Int32(kSection, "AXIS_Y", 0);
  fitMode = file.Int32(kSection, "FIT", 0);
  if (fitMode < 0 || fitMode > 2) fitMode = 0;
  colourByHeight = file.Int32(kSection, "COLORMAP", 0) != 0 ? 1 : 0;
  showRanges = file.Int32(kSection, "RANGES", 0) != 0 ? 1 : 0;
  pointSize = static_cast<int32_t>(file.Integer(kSection, "POINTSIZE", 1, 1, viewer::kMostPointSize));
  pointSizeInFile = file.Find(kSection, "POINTSIZE").has_value();
  settingsRead_ = file.Complete();
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
  if (options.byHeight || options.colourColumn) {
    colourByHeight = options.byHeight.value_or(true) ? 1 : 0;
    runOnly_.colourByHeight = true;
  }
  if (options.ranges) {
    showRanges = *options.ranges ? 1 : 0;
    runOnly_.showRanges = true;
  }
  if (options.pointSize) {
    pointSize = *options.pointSize;
    runOnly_.pointSize = true;
  }
}

void ViewerScene::ReleaseDeviceResources() {
  SafeRelease(vertexBuffer);
  SafeRelease(rowBuffer_.buffer);
  rowBuffer_.made = false;
}

void ViewerScene::SaveSettings() {
  // At a normal end the entry point has released the buffers already.
  ReleaseDeviceResources();
  // The program's own file: its folder made and a missing file started from the one beside the
  // program only now, when there is something to keep.
  const std::string path = programFolder_.empty() ? configPath_ : platform::posix::PrepareSettingsFile(programFolder_);

  // All ten keys go into the file in a single atomic replace: a crash part-way can leave the old file
  // or the new one, never a half-written one or a mix of both.
  std::string text;
  if (!platform::ReadProfileFile(path, text)) {
    struct stat st{};
    // Present but unreadable (a folder, no read permission, too large): never replace what could not be read.
    if (stat(path.c_str(), &st) == 0) return;
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
  // One pass over the text for all the keys: a file of millions of lines is saved in well under a second.
  using When = platform::ini::Edit::When;
  // A reading that a signal cut short left the fields of the keys it did not reach at their defaults,
  // and the view was never shown: the keys the file has keep their values, the missing ones are added
  // (with their defaults, as a whole reading would have given them).
  std::vector<platform::ini::Edit> edits;
  for (const auto& [key, value] : keys)
    if (key) edits.push_back({key, value, settingsRead_ ? When::Always : When::IfMissing});
  // The newer keys appear only once they mean something, so files of before stay as they were.
  // The edits refer to their values: these outlive them.
  const std::string fit = std::to_string(fitMode), colourMap = std::to_string(colourByHeight),
                    ranges = std::to_string(showRanges), size = std::to_string(pointSize);
  const auto addNewer = [&](const char* key, const std::string& value, bool atDefault, bool runOnly) {
    if (settingsRead_ && !runOnly) edits.push_back({key, value, atDefault ? When::IfPresent : When::Always});
  };
  addNewer("FIT", fit, fitMode == 0, runOnly_.fitMode);
  addNewer("COLORMAP", colourMap, colourByHeight == 0, runOnly_.colourByHeight);
  addNewer("RANGES", ranges, showRanges == 0, runOnly_.showRanges);
  addNewer("POINTSIZE", size, pointSize == 1, runOnly_.pointSize);
  text = platform::ini::SetValues(text, kSection, edits);
  // A read-only file, a folder in the way or a full disk: the old file stays; the run ends normally.
  std::string error;
  if (platform::ReplaceProfileFile(path, text, &error) || programFolder_.empty()) return;
  // What the start foresaw was said then (once is enough); a failure it could not foresee (a full
  // disk, a folder changed during the run) is said now.
  if (platform::posix::WhyTheViewIsNotSaved(programFolder_, path).empty())
    std::fprintf(stderr, "scatterview: %s: the view was not saved\n", platform::PrintableText(error).c_str());
}
