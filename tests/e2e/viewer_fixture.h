// The fixture every end-to-end test shares: skips (with the reason) when the X tools are not
// installed, gives each test its own Xvfb and program folder, and reads text off the screen.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "program_folder.h"
#include "screen_text.h"
#include "viewer_under_x.h"

namespace e2e {

// The two readout lines, where the scene draws them.
constexpr int kAxisLineY = 460, kCameraLineY = 470, kReadoutX = 2;

// A few rows in front of the default camera, away from the axes and the text (x, y, z).
constexpr double kSampleRows[][3] = {{40, -20, 30}, {-30, 50, -20}, {20, 60, 40}, {60, 20, -40}};
inline std::string SampleData() { return "40,-20,30\n-30,50,-20\n20,60,40\n60,20,-40\n"; }

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing = MissingTools();
    if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
    ASSERT_TRUE(glyphs_.Load(testsupport::BuildDir() + "/data/font.dds")) << "build/data/font.dds unreadable";
    viewer_ = std::make_unique<ViewerUnderX>();
    ASSERT_TRUE(viewer_->XOk()) << "Xvfb did not start";
  }

  ViewerUnderX& Viewer() { return *viewer_; }

  // Starts the program on SampleData() (and `config` as config.ini when given), up to its first picture.
  void StartOnSample(const std::string& config = "") {
    viewer_->WriteData(SampleData());
    if (!config.empty()) viewer_->WriteConfig(config);
    ASSERT_TRUE(viewer_->Start()) << viewer_->Failure();
  }
  static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

  std::string Text(const testsupport::Screenshot& shot, int x, int y, size_t length) const {
    return glyphs_.Read(shot, x, y, static_cast<int>(length));
  }

  // Captures until `text` stands at (x, y); the last screenshot either way, and what stood there.
  testsupport::Screenshot WaitForText(int x, int y, const std::string& text, std::string* seen = nullptr,
                                      int timeoutMs = 3000) {
    std::string last;
    testsupport::Screenshot shot = viewer_->CaptureUntil([&](const testsupport::Screenshot& s) {
      last = Text(s, x, y, text.size());
      return last == text;
    }, timeoutMs, nullptr);
    if (seen) *seen = last;
    return shot;
  }

  // Waits for the readout lines and reports them whole when they do not come.
  void ExpectReadout(const std::string& cameraLine, const std::string& axisLine) {
    std::string seen;
    WaitForText(kReadoutX, kCameraLineY, cameraLine, &seen);
    EXPECT_EQ(seen, cameraLine);
    WaitForText(kReadoutX, kAxisLineY, axisLine, &seen);
    EXPECT_EQ(seen, axisLine);
  }

  SmallGlyphs glyphs_;
  std::unique_ptr<ViewerUnderX> viewer_;
};

// Pixels of exactly this colour in rows top .. bottom - 1.
inline long CountColour(const testsupport::Screenshot& shot, uint32_t colour, int top, int bottom) {
  long n = 0;
  for (int y = top; y < bottom && y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) n += shot.Pixel(x, y) == colour;
  return n;
}

}  // namespace e2e
