// The pictures a user gets out of the program, against the window they came from: scatterview-render's
// PNG equals the viewer's first picture for the same config.ini, pixel for pixel, and F12 writes the
// window's picture while the run goes on.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "png_image.h"
#include "viewer_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using testsupport::CompareImages;
using testsupport::RgbImage;

RgbImage FromScreenshot(const testsupport::Screenshot& shot) {
  RgbImage image;
  image.width = shot.width;
  image.height = shot.height;
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) image.pixels.push_back(shot.Pixel(x, y));
  return image;
}

// A Lorenz-like spiral of 3000 rows: plenty of points and segments across the picture.
std::string SpiralData() {
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    const double t = i * 0.013;
    text += std::to_string(70 * std::cos(7 * t) * std::sin(t)) + "," + std::to_string(70 * std::sin(5 * t)) + "," +
            std::to_string(80 * std::cos(3 * t)) + "\n";
  }
  return text;
}

std::vector<std::string> Screenshots(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename();
    if (name.rfind("scatterview-", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".png")
      found.push_back(e.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

class PicturesOut : public ViewerTest {
 protected:
  // The render tool beside the viewer, reading the same config.ini; run headless.
  RgbImage RenderToolPicture() {
    const std::string tool = Viewer().Folder() + "/scatterview-render";
    if (!fs::exists(tool)) fs::copy_file(testsupport::BuildDir() + "/scatterview-render", tool);
    testsupport::ProcessLaunch launch;
    launch.program = tool;
    launch.args = {"data.csv", "rendered.png"};
    launch.cwd = Viewer().Folder();
    launch.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    testsupport::RunResult r = testsupport::RunProcess(launch);
    EXPECT_EQ(r.status, 0) << r.err;
    return testsupport::ReadPng(Viewer().Folder() + "/rendered.png");
  }

  void ExpectRenderToolMatchesWindow(const std::string& config) {
    Viewer().WriteData(SpiralData());
    Viewer().WriteConfig(config);
    ASSERT_TRUE(Viewer().Start()) << Viewer().Failure();
    // The first picture stays as long as nothing moves the view: rendering it anew each frame must
    // give the same pixels, which the tool must give too.
    const RgbImage rendered = RenderToolPicture();
    ASSERT_FALSE(rendered.Empty());
    const RgbImage window = FromScreenshot(Viewer().Capture());
    EXPECT_EQ(CompareImages(rendered, window), "");
  }
};

TEST_F(PicturesOut, TheRenderToolDrawsTheViewersDefaultPicturePixelForPixel) {
  ExpectRenderToolMatchesWindow("");
}

TEST_F(PicturesOut, TheRenderToolDrawsTheViewersPictureOfAnotherViewPixelForPixel) {
  ExpectRenderToolMatchesWindow(
      "[CONFIG]\nLINESET=1\nCAMERA_T=200\nCAMERA_R=190\nCAMERA_X=-40\nAXIS_X=12\nAXIS_Y=-9\nHARD_TL=1\n");
}

TEST_F(PicturesOut, TheRenderToolDrawsTheViewersPictureWithoutAxesOrTextPixelForPixel) {
  ExpectRenderToolMatchesWindow("[CONFIG]\nSHOWAXIS=0\nSHOWHINT=0\nCAMERA_T=300\nD3DX_SPRITE=1\n");
}

TEST_F(PicturesOut, F12WritesTheWindowsPictureAndTheRunGoesOn) {
  Viewer().WriteData(SpiralData());
  Viewer().WriteConfig("[CONFIG]\nCAMERA_T=120\n");
  ASSERT_TRUE(Viewer().Start()) << Viewer().Failure();
  const RgbImage window = FromScreenshot(Viewer().Capture());

  Viewer().Key("F12");
  ASSERT_TRUE(Viewer().Proc().WaitForStderr("screenshot saved to ", 5000)) << Viewer().Proc().Stderr();
  std::vector<std::string> files = Screenshots(Viewer().Folder());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(Viewer().Proc().Stderr().find("screenshot saved to " + files[0] + "\n"), std::string::npos)
      << Viewer().Proc().Stderr();
  EXPECT_EQ(CompareImages(testsupport::ReadPng(files[0]), window), "");

  // A second press makes a second file (never replacing the first), and the viewer still answers keys.
  Viewer().Key("F12");
  EXPECT_TRUE(testsupport::WaitUntil([&] { return Screenshots(Viewer().Folder()).size() == 2; }, 5000));
  Viewer().Key("F5");
  bool axesGone = false;
  Viewer().CaptureUntil([](const testsupport::Screenshot& s) { return CountColour(s, kAxisGreen, 0, s.height) == 0; },
                        3000, &axesGone);
  EXPECT_TRUE(axesGone);
  EXPECT_TRUE(Viewer().Proc().Running());
}

}  // namespace
}  // namespace e2e
