// What the window shows: background, axes, the data as points or a polyline, and the help text, and
// how F1, F2 and F5 change it.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "orbit_camera.h"
#include "viewer_fixture.h"

namespace e2e {
namespace {

using testsupport::OrbitView;
using testsupport::Project;
using testsupport::ScreenPoint;
using testsupport::Screenshot;

constexpr int kHelpBottom = 40;    // the four help lines take the rows above this
constexpr int kReadoutTop = 458;   // the two readout lines take the rows from this one down

bool NearColour(const Screenshot& shot, const ScreenPoint& p, uint32_t colour) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      int x = p.PixelX() + dx, y = p.PixelY() + dy;
      if (x >= 0 && y >= 0 && x < shot.width && y < shot.height && shot.Pixel(x, y) == colour) return true;
    }
  return false;
}

// White pixels between the help lines and the readouts: the data's share of the picture.
std::vector<std::pair<int, int>> WhiteInTheMiddle(const Screenshot& shot) {
  std::vector<std::pair<int, int>> found;
  for (int y = kHelpBottom; y < kReadoutTop; ++y)
    for (int x = 0; x < shot.width; ++x)
      if (shot.Pixel(x, y) == kWhite) found.emplace_back(x, y);
  return found;
}

int WhiteInRows(const Screenshot& shot, int top, int bottom) {
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < shot.width; ++x) n += shot.Pixel(x, y) == kWhite;
  return n;
}

ScreenPoint Midpoint(const double (&a)[3], const double (&b)[3]) {
  return Project(OrbitView{}, (a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2);
}

class ViewerPicture : public ViewerTest {
 protected:
  void SetUp() override {
    ViewerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(StartOnSample());
  }
};

TEST_F(ViewerPicture, ShowsOneWhitePixelPerRowWhereTheCameraPutsIt) {
  Screenshot shot = Viewer().Capture();
  ASSERT_EQ(shot.width, 640);
  ASSERT_EQ(shot.height, 480);
  std::vector<std::pair<int, int>> expected;
  for (const auto& row : kSampleRows) {
    ScreenPoint p = Project(OrbitView{}, row[0], row[1], row[2]);
    ASSERT_TRUE(p.inFront);
    ASSERT_GT(p.Margin(), 0.02) << "a sample row sits on a pixel boundary; pick another";
    expected.emplace_back(p.PixelX(), p.PixelY());
  }
  std::vector<std::pair<int, int>> white = WhiteInTheMiddle(shot);
  std::sort(expected.begin(), expected.end(),
            [](auto a, auto b) { return a.second != b.second ? a.second < b.second : a.first < b.first; });
  EXPECT_EQ(white, expected) << "the four rows should be exactly four single white pixels";
}

TEST_F(ViewerPicture, ClearsToDarkRedAndDrawsTheGreenAxesThroughTheOrigin) {
  Screenshot shot = Viewer().Capture();
  // Corners and a spot far from every line are background.
  for (auto [x, y] : std::vector<std::pair<int, int>>{{639, 50}, {600, 440}, {100, 400}, {500, 300}})
    EXPECT_EQ(shot.Pixel(x, y), kBackground) << "at " << x << "," << y;
  // Each axis passes where the camera puts points on it, on both sides of the origin.
  for (auto [x, y, z] : std::vector<std::array<double, 3>>{
           {100, 0, 0}, {-100, 0, 0}, {0, 100, 0}, {0, -100, 0}, {0, 0, -60}, {0, 0, 60}}) {
    ScreenPoint p = Project(OrbitView{}, x, y, z);
    EXPECT_TRUE(NearColour(shot, p, kAxisGreen)) << "no axis near world (" << x << "," << y << "," << z << ")";
  }
  // The axes are drawn over the black origin point.
  EXPECT_EQ(shot.Pixel(320, 240), kAxisGreen);
}

TEST_F(ViewerPicture, ShowsTheHelpLinesAndReadoutsInWhiteText) {
  Screenshot shot = Viewer().Capture();
  EXPECT_EQ(Text(shot, 2, 0, 72), "[MOUSE HORIZONTAL MOVE]THETA / [VERTICAL MOVE]Z / [LEFT CLICK AND MOVE]R");
  EXPECT_EQ(Text(shot, 2, 10, 76),
            "[ARROR KEY]AXIS MOVE / [X]AXIS DEFAULT POSITION / [Z]CAMERA DEFAULT POSITION");
  EXPECT_EQ(Text(shot, 2, 20, 75), "[F1]SHOW HELP / [F2]LINE<>PIXEL MODE CHANGE / [F3]AUTO ANIME / [F4]SHOW FPS");
  EXPECT_EQ(Text(shot, 2, 30, 13), "[F5]SHOW AXIS");
  EXPECT_EQ(Text(shot, kReadoutX, kAxisLineY, 19), "AXIS    X:000 Y:000");
  EXPECT_EQ(Text(shot, kReadoutX, kCameraLineY, 29), "CAMERA  R:250 THETA:045 Z:150");
}

TEST_F(ViewerPicture, F1HidesAllTextAndShowsItAgain) {
  ASSERT_GT(WhiteInRows(Viewer().Capture(), 0, kHelpBottom), 500);
  Viewer().Key("F1");
  bool hidden = false;
  Screenshot shot = Viewer().CaptureUntil([](const Screenshot& s) { return WhiteInRows(s, 0, kHelpBottom) == 0; },
                                          3000, &hidden);
  EXPECT_TRUE(hidden) << "help still shown after F1";
  EXPECT_EQ(WhiteInRows(shot, kReadoutTop, 480), 0) << "the readouts go with the help";
  EXPECT_EQ(WhiteInTheMiddle(shot).size(), 4u) << "the data stays";

  Viewer().Key("F1");
  std::string seen;
  WaitForText(2, 30, "[F5]SHOW AXIS", &seen);
  EXPECT_EQ(seen, "[F5]SHOW AXIS");
}

TEST_F(ViewerPicture, F2JoinsTheRowsInFileOrderWithoutReachingTheClosingZeroRow) {
  const auto& r = kSampleRows;
  Screenshot points = Viewer().Capture();
  EXPECT_FALSE(NearColour(points, Midpoint(r[0], r[1]), kWhite)) << "points mode draws no segments";

  Viewer().Key("F2");
  bool joined = false;
  Screenshot lines = Viewer().CaptureUntil(
      [&](const Screenshot& s) { return NearColour(s, Midpoint(r[0], r[1]), kWhite); }, 3000, &joined);
  EXPECT_TRUE(joined) << "no segment from row 0 to row 1 after F2";
  EXPECT_TRUE(NearColour(lines, Midpoint(r[1], r[2]), kWhite));
  EXPECT_TRUE(NearColour(lines, Midpoint(r[2], r[3]), kWhite));
  // Only consecutive rows are joined: neither the last row to the loader's (0, 0, 0) row nor the
  // first to the last.
  const double origin[3] = {0, 0, 0};
  EXPECT_FALSE(NearColour(lines, Midpoint(r[3], origin), kWhite));
  EXPECT_FALSE(NearColour(lines, Midpoint(r[0], r[3]), kWhite));
  EXPECT_GT(WhiteInTheMiddle(lines).size(), 100u);

  Viewer().Key("F2");
  bool back = false;
  Viewer().CaptureUntil([](const Screenshot& s) { return WhiteInTheMiddle(s).size() == 4; }, 3000, &back);
  EXPECT_TRUE(back) << "F2 again goes back to single points";
}

TEST_F(ViewerPicture, F5HidesTheAxesAndUncoversTheBlackOrigin) {
  ScreenPoint onXAxis = Project(OrbitView{}, 100, 0, 0);
  ASSERT_TRUE(NearColour(Viewer().Capture(), onXAxis, kAxisGreen));
  Viewer().Key("F5");
  bool gone = false;
  Screenshot shot = Viewer().CaptureUntil([](const Screenshot& s) { return s.Pixel(320, 240) == 0x000000; }, 3000,
                                          &gone);
  EXPECT_TRUE(gone) << "the origin pixel stays " << std::hex << shot.Pixel(320, 240);
  EXPECT_FALSE(NearColour(shot, onXAxis, kAxisGreen));
  long green = 0;
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) green += shot.Pixel(x, y) == kAxisGreen;
  EXPECT_EQ(green, 0);
  EXPECT_EQ(WhiteInTheMiddle(shot).size(), 4u);
}

// Every way of drawing the configuration allows ends in the same picture: points through the one-point
// buffer (HARD_TL 1 and 2), glyphs through the sprite object (D3DX_SPRITE 1), the scene drawn every
// second frame (DRAWLEVEL 1).
using ViewerDrawingChoices = ViewerTest;

TEST_F(ViewerDrawingChoices, AllGiveTheSamePicture) {
  auto pictureWith = [&](const std::string& config) {
    ViewerUnderX viewer;
    viewer.WriteData(SampleData());
    viewer.WriteConfig("[CONFIG]\n" + config + "\n");
    EXPECT_TRUE(viewer.Start()) << config << ": " << viewer.Failure();
    // The readouts are the last thing a frame draws; once they stand, the picture is complete.
    std::string seen;
    Screenshot shot = viewer.CaptureUntil([&](const Screenshot& s) {
      seen = Text(s, kReadoutX, kCameraLineY, 29);
      return seen == "CAMERA  R:250 THETA:045 Z:150";
    }, 3000, nullptr);
    EXPECT_EQ(seen, "CAMERA  R:250 THETA:045 Z:150") << config;
    return shot;
  };
  Screenshot reference = pictureWith("HARD_TL=0");
  ASSERT_EQ(reference.width, 640);
  ASSERT_EQ(WhiteInTheMiddle(reference).size(), 4u);
  for (const char* config : {"HARD_TL=1", "HARD_TL=2", "D3DX_SPRITE=1", "DRAWLEVEL=1"}) {
    Screenshot shot = pictureWith(config);
    ASSERT_EQ(shot.width, 640) << config;
    long differing = 0;
    for (int y = 0; y < shot.height; ++y)
      for (int x = 0; x < shot.width; ++x) differing += shot.Pixel(x, y) != reference.Pixel(x, y);
    EXPECT_EQ(differing, 0) << config;
  }
}

}  // namespace
}  // namespace e2e
