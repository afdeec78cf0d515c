// FullScreen under a real X server: the window covers the screen, in a mode of the picture's size
// where the display offers one, else over the desktop's mode with the picture scaled into it (black
// around it); the frames keep to sixty a second without spinning, and every end of the run gives the
// desktop's mode back, SIGKILL included.
#include <signal.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "screen_modes.h"
#include "viewer_fixture.h"

namespace e2e {
namespace {

using testsupport::Screenshot;

constexpr int kPictureWidth = 640, kPictureHeight = 480;
constexpr int kFpsX = 580, kFpsY = 470;
// The scene's background on the 16-bit full-screen buffer (BIT 0): red 20 on its nearest level, 16.
constexpr uint32_t kBackground16 = 0x100000;

// Where the picture lies on the screen.
struct Area {
  int left, top, width, height;
};

// The picture read back from a screen that shows it scaled into `area`: screen pixel (x, y) of the area
// shows the picture pixel under its centre. `mismatches` counts the screen pixels that differ from
// another showing the same picture pixel.
Screenshot PictureOn(const Screenshot& screen, const Area& area, long* mismatches) {
  Screenshot picture;
  picture.width = kPictureWidth;
  picture.height = kPictureHeight;
  picture.rgb.assign(static_cast<size_t>(kPictureWidth) * kPictureHeight * 3, '\0');
  std::vector<bool> seen(static_cast<size_t>(kPictureWidth) * kPictureHeight);
  *mismatches = 0;
  for (int y = 0; y < area.height; ++y)
    for (int x = 0; x < area.width; ++x) {
      const int px = static_cast<int>((x + 0.5) * kPictureWidth / area.width);
      const int py = static_cast<int>((y + 0.5) * kPictureHeight / area.height);
      const size_t to = static_cast<size_t>(py) * kPictureWidth + px;
      const size_t from = (static_cast<size_t>(area.top + y) * screen.width + area.left + x) * 3;
      if (!seen[to]) {
        picture.rgb.replace(to * 3, 3, screen.rgb, from, 3);
        seen[to] = true;
      } else if (picture.rgb.compare(to * 3, 3, screen.rgb, from, 3) != 0) {
        ++*mismatches;
      }
    }
  return picture;
}

class FullScreen : public ViewerTest {
 protected:
  // A fresh X server of `width` × `height` for the test.
  bool NewScreen(int width, int height) {
    viewer_ = std::make_unique<ViewerUnderX>(width, height);
    return viewer_->XOk();
  }
  // Starts the program on SampleData() with `config`, up to its first 16-bit picture.
  void StartFullScreen(const std::string& config) {
    viewer_->WriteData(SampleData());
    viewer_->WriteConfig(config);
    ASSERT_TRUE(viewer_->Start({}, kBackground16)) << viewer_->Failure();
  }
};

TEST_F(FullScreen, OverTheDesktopsModeThePictureFillsTheScreenScaledAtSixtyFramesWithoutSpinning) {
  // A 16:9 desktop at 60 Hz, and no 640 × 480 mode: the picture is scaled by 1.5 to 960 × 720,
  // between black bars 160 pixels wide.
  ASSERT_TRUE(NewScreen(1280, 720));
  ASSERT_TRUE(AddSixtyHertzMode(Viewer().Display(), 1280, 720, true));
  StartFullScreen("[CONFIG]\nFullScreen=1\nFPS=1\n");  // VSYNC_WAIT is on by default
  const Area area{160, 0, 960, 720};

  const testsupport::Process& process = Viewer().Proc();
  const double cpuBefore = process.CpuSeconds();
  const auto wallBefore = std::chrono::steady_clock::now();
  // The readout shows 0, then the first counted second, a partial one: whole seconds from then on.
  Pause(2000);
  std::vector<int> rates;
  Screenshot picture;
  for (int attempt = 0; attempt < 10 && rates.size() < 3; ++attempt) {
    const Screenshot screen = Viewer().Capture();
    ASSERT_EQ(screen.width, 1280);
    ASSERT_EQ(screen.height, 720);
    long mismatches = 0;
    picture = PictureOn(screen, area, &mismatches);
    ASSERT_EQ(mismatches, 0) << "each screen pixel shows the picture pixel nearest its centre";
    long notBlack = 0;
    for (int y = 0; y < 720; ++y)
      for (int x : {0, 80, 159, 1120, 1200, 1279}) notBlack += screen.Pixel(x, y) != 0;
    ASSERT_EQ(notBlack, 0) << "the bars left and right";
    const std::string fps = Text(picture, kFpsX, kFpsY, 6);
    if (fps.rfind("FPS:", 0) == 0) rates.push_back(std::atoi(fps.c_str() + 4));
    Pause(1000);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
  const double cpuShare = (process.CpuSeconds() - cpuBefore) / seconds;
  EXPECT_EQ(Text(picture, kReadoutX, kCameraLineY, 29), "CAMERA  R:250 THETA:045 Z:150");
  ASSERT_EQ(rates.size(), 3u);
  for (int rate : rates) {
    EXPECT_GE(rate, 57);
    EXPECT_LE(rate, 61);
  }
  // A frame loop that never waits takes a whole processor; a paced one a small part of it.
  EXPECT_LT(cpuShare, 0.6);

  Viewer().Key("Escape");
  EXPECT_EQ(Viewer().WaitExit(5000), 0);
  const ShownSize desktop = ShownMode(Viewer().Display());
  EXPECT_EQ(desktop.width, 1280);
  EXPECT_EQ(desktop.height, 720);
}

TEST_F(FullScreen, AModeOfThePicturesSizeIsTakenAndEveryEndOfTheRunGivesTheDesktopBack) {
  struct End {
    const char* name;
    std::function<void(ViewerUnderX&)> end;
    int status;
  };
  const std::vector<End> ends = {
      {"Escape", [](ViewerUnderX& v) { v.Key("Escape"); }, 0},
      {"the close button", [](ViewerUnderX& v) { v.PressCloseButton(); }, 0},
      {"SIGTERM", [](ViewerUnderX& v) { v.Proc().Signal(SIGTERM); }, 0},
      {"SIGINT", [](ViewerUnderX& v) { v.Proc().Signal(SIGINT); }, 0},
      // No clean-up at all: the mode keeper, a process of its own, gives the mode back.
      {"SIGKILL", [](ViewerUnderX& v) { v.Proc().Signal(SIGKILL); }, 128 + SIGKILL},
  };
  for (const auto& [name, end, status] : ends) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(NewScreen(1024, 768));
    ASSERT_TRUE(AddSixtyHertzMode(Viewer().Display(), kPictureWidth, kPictureHeight, false));
    StartFullScreen("[CONFIG]\nFullScreen=1\n");
    const ShownSize during = ShownMode(Viewer().Display());
    EXPECT_EQ(during.width, kPictureWidth);
    EXPECT_EQ(during.height, kPictureHeight);
    std::string seen;
    const Screenshot shot = WaitForText(kReadoutX, kCameraLineY, "CAMERA  R:250 THETA:045 Z:150", &seen);
    EXPECT_EQ(seen, "CAMERA  R:250 THETA:045 Z:150") << "the picture one to one";
    EXPECT_EQ(shot.width, kPictureWidth);
    EXPECT_EQ(shot.height, kPictureHeight);
    end(Viewer());
    EXPECT_EQ(Viewer().WaitExit(5000), status);
    ShownSize after;
    testsupport::WaitUntil([&] { return (after = ShownMode(Viewer().Display())).width == 1024; }, 5000);
    EXPECT_EQ(after.width, 1024);
    EXPECT_EQ(after.height, 768);
  }
}

}  // namespace
}  // namespace e2e
