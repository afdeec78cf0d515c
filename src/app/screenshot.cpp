#include "app/screenshot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "graphics/direct_graphics.h"
#include "platform/printable_text.h"
#include "render/png_file.h"

namespace app {
namespace {

// The picture is this corner of the back buffer, whatever Width and Height say (unless the window is resizable).
constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 480;

bool Exists(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0;
}

std::string CurrentFolder() {
  std::string folder(256, '\0');
  while (!getcwd(folder.data(), folder.size())) {
    if (errno != ERANGE) return ".";
    folder.resize(folder.size() * 2);
  }
  folder.resize(folder.find('\0'));
  return folder;
}

}  // namespace

std::string ScreenshotPath(const std::string& folder, std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string stem = folder + "/scatterview-" + stamp;
  std::string path = stem + ".png";
  for (int n = 2; Exists(path); ++n) path = stem + "-" + std::to_string(n) + ".png";
  return path;
}

bool SaveScreenshot(IDirect3DDevice8* device, const std::string& folder, std::time_t when, std::string* written,
                    std::string* error, bool wholeBackBuffer) {
  int width = 0, height = 0;
  const uint32_t* pixels = device ? device->BackBufferPixels(&width, &height) : nullptr;
  if (!pixels || width <= 0 || height <= 0) {
    *error = "there is no picture to save";
    return false;
  }
  const std::string path = ScreenshotPath(folder, when);
  const int shownWidth = wholeBackBuffer ? width : std::min(width, kPictureWidth);
  const int shownHeight = wholeBackBuffer ? height : std::min(height, kPictureHeight);
  if (!render::WritePngFile(path, pixels, shownWidth, shownHeight, width, error))
    return false;
  *written = path;
  return true;
}

void TakeScreenshot() {
  std::string written, error;
  IDirect3DDevice8* device = g_graphics ? g_graphics->device : nullptr;
  const bool whole = g_graphics && g_graphics->FollowsWindowSize();
  if (SaveScreenshot(device, CurrentFolder(), std::time(nullptr), &written, &error, whole)) {
    std::fprintf(stderr, "scatterview: screenshot saved to %s\n", platform::PrintableText(written).c_str());
  } else {
    std::fprintf(stderr, "scatterview: the screenshot could not be saved: %s\n",
                 platform::PrintableText(error).c_str());
  }
}

}  // namespace app
