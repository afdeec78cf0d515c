// What the display keys show in the window: a client area larger than the picture (white around it,
// after an expose too), the full-screen colour depth (BIT) and the sprite setting (D3DX_SPRITE).
#include <algorithm>
#include <string>

#include "viewer_fixture.h"

namespace e2e {
namespace {

using testsupport::Screenshot;

constexpr int kFpsX = 580, kFpsY = 470;

// Whether the colour (0xRRGGBB) is one a 5/6/5 buffer shows: each channel a level whose bits,
// repeated, fill the eight.
bool OnFiveSixFiveLevels(uint32_t colour) {
  auto onLevel = [](uint32_t v, int bits) {
    const uint32_t level = v >> (8 - bits);
    return v == ((level << (8 - bits)) | (level >> (2 * bits - 8)));
  };
  return onLevel((colour >> 16) & 0xFF, 5) && onLevel((colour >> 8) & 0xFF, 6) && onLevel(colour & 0xFF, 5);
}

// Pixels of exactly this colour in the picture, the top-left 640 × 480.
long Count(const Screenshot& shot, uint32_t colour) {
  long n = 0;
  for (int y = 0; y < std::min(shot.height, 480); ++y)
    for (int x = 0; x < std::min(shot.width, 640); ++x) n += shot.Pixel(x, y) == colour;
  return n;
}

using DisplayKeys = ViewerTest;

TEST_F(DisplayKeys, AClientAreaLargerThanThePictureIsWhiteAroundIt) {
  StartOnSample("[CONFIG]\nWidth=800\nHeight=600\n");
  auto check = [&](const Screenshot& shot) {
    ASSERT_EQ(shot.width, 800);
    ASSERT_EQ(shot.height, 600);
    long notWhite = 0;
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 800; ++x)
        if ((x >= 640 || y >= 480) && shot.Pixel(x, y) != kWhite) ++notWhite;
    EXPECT_EQ(notWhite, 0) << "outside (0, 0)-(640, 480)";
    for (auto [x, y] : std::vector<std::pair<int, int>>{{639, 50}, {600, 440}, {0, 479}, {639, 479}})
      EXPECT_EQ(shot.Pixel(x, y), kBackground) << "the picture at " << x << "," << y;
    EXPECT_GT(Count(shot, kAxisGreen), 100);
  };
  ExpectReadout("CAMERA  R:250 THETA:045 Z:150", "AXIS    X:000 Y:000");
  check(Viewer().Capture());
  // The X server forgets the window's pixels while it is hidden; shown again, the white comes back.
  ASSERT_TRUE(Viewer().Remap());
  bool shown = false;
  Screenshot again = Viewer().CaptureUntil(
      [](const Screenshot& s) { return s.width == 800 && s.Pixel(799, 599) == kWhite; }, 3000, &shown);
  EXPECT_TRUE(shown);
  check(again);
}

// RESIZABLE=1: the window resized, then over the whole screen, shows the scene drawn at each size,
// the readouts at the bottom-left.
TEST_F(DisplayKeys, AResizableWindowShowsTheWholePictureAtEachNewSize) {
  StartOnSample("[CONFIG]\nRESIZABLE=1\n");
  ExpectReadout("CAMERA  R:250 THETA:045 Z:150", "AXIS    X:000 Y:000");
  for (auto [width, height] : {std::pair{800, 600}, std::pair{1024, 768}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    ASSERT_TRUE(Viewer().Resize(width, height));
    std::string seen;
    const Screenshot shot = WaitForText(kReadoutX, height - 10, "CAMERA  R:250 THETA:045 Z:150", &seen);
    ASSERT_EQ(shot.width, width);
    ASSERT_EQ(shot.height, height);
    EXPECT_EQ(seen, "CAMERA  R:250 THETA:045 Z:150");
    EXPECT_EQ(Text(shot, kReadoutX, height - 20, 19), "AXIS    X:000 Y:000");
    long background = 0, axes = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (x >= 640 || y >= 480) {
          background += shot.Pixel(x, y) == kBackground;
          axes += shot.Pixel(x, y) == kAxisGreen;
        }
    EXPECT_GT(background, (width * height - 640 * 480) * 9 / 10) << "the new area is the scene's, not white";
    EXPECT_GT(axes, 100) << "the axes reach past 640 x 480";
  }
}

TEST_F(DisplayKeys, FullScreenDepthSixteenShowsOnlyFiveSixFiveLevelsAndThirtyTwoTheExactColours) {
  struct Case {
    int bit;
    uint32_t background, axes;
  };
  // 16-bit: red 20 is nearest to level 2 of 31 (reads as 16); the axes' green 128 and blue 64 to
  // levels 32 of 63 and 8 of 31 (read as 130 and 66).
  for (const Case& c : {Case{0, 0x100000, 0x008242}, Case{1, kBackground, kAxisGreen}}) {
    SCOPED_TRACE(c.bit);
    // A screen of the picture's size: full-screen shows the picture one to one.
    viewer_ = std::make_unique<ViewerUnderX>(640, 480);
    ASSERT_TRUE(viewer_->XOk());
    viewer_->WriteData(SampleData());
    viewer_->WriteConfig("[CONFIG]\nFullScreen=1\nVSYNC_WAIT=0\nFPS=1\nBIT=" + std::to_string(c.bit) + "\n");
    ASSERT_TRUE(viewer_->Start({}, c.background)) << viewer_->Failure();
    std::string seen;
    const Screenshot shot = WaitForText(kReadoutX, kCameraLineY, "CAMERA  R:250 THETA:045 Z:150", &seen);
    ASSERT_EQ(seen, "CAMERA  R:250 THETA:045 Z:150");
    WaitForText(kFpsX, kFpsY, "FPS:", &seen);
    EXPECT_EQ(seen, "FPS:");
    EXPECT_GT(Count(shot, c.background), 640 * 480 / 2);
    EXPECT_GT(Count(shot, c.axes), 100);
    EXPECT_GT(Count(shot, kWhite), 200) << "text and rows";
    if (c.bit == 0) {
      long offLevel = 0;
      for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) offLevel += !OnFiveSixFiveLevels(shot.Pixel(x, y));
      EXPECT_EQ(offLevel, 0);
    }
  }
}

TEST_F(DisplayKeys, SpriteSettingTwoShowsWhatSettingZeroShows) {
  // The FPS digits may differ between two runs; everything else, the readout's "FPS:" included, may not.
  auto picture = [&](int setting) {
    viewer_ = std::make_unique<ViewerUnderX>();
    EXPECT_TRUE(viewer_->XOk());
    viewer_->WriteData(SampleData());
    viewer_->WriteConfig("[CONFIG]\nFPS=1\nD3DX_SPRITE=" + std::to_string(setting) + "\n");
    EXPECT_TRUE(viewer_->Start()) << viewer_->Failure();
    std::string seen;
    WaitForText(kReadoutX, kCameraLineY, "CAMERA  R:250 THETA:045 Z:150", &seen);
    EXPECT_EQ(seen, "CAMERA  R:250 THETA:045 Z:150") << "D3DX_SPRITE=" << setting;
    Screenshot shot = WaitForText(kFpsX, kFpsY, "FPS:", &seen);
    EXPECT_EQ(seen, "FPS:") << "D3DX_SPRITE=" << setting;
    return shot;
  };
  const Screenshot zero = picture(0);
  const Screenshot two = picture(2);
  ASSERT_EQ(two.width, zero.width);
  ASSERT_EQ(two.height, zero.height);
  long differ = 0;
  for (int y = 0; y < zero.height; ++y)
    for (int x = 0; x < zero.width; ++x) {
      const bool fpsDigits = x >= kFpsX + 4 * 8 && y >= kFpsY && y < kFpsY + 8;
      differ += !fpsDigits && zero.Pixel(x, y) != two.Pixel(x, y);
    }
  EXPECT_EQ(differ, 0);
}

}  // namespace
}  // namespace e2e
