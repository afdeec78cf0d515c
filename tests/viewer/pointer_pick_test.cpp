// The free pointer (key P) on the real software device: the row found for a pointer position against
// the independent camera of tests/support, its ring and readout pixels, the click's clipboard text, and
// the camera left alone while the pointer is free.
#include <string>
#include <vector>

#include "orbit_camera.h"
#include "scene_fixture.h"

namespace viewertest {
namespace {

constexpr uint32_t kRing = 0xFFFF8000u;
// Rows 0 and 3 are one point (a tie); rows 1 and 4 lie a few pixels apart. The header's last name has
// a byte the font lacks (UTF-8 e acute: two of them).
const char kData[] =
    "lat,long,d\xc3\xa9pth\n20,-10,5\n-20.42,18.62,40\n50,62,-20\n20,-10,5\n-20.42,18.62,46\n35,5,60\n";
const double kRows[][3] = {{20, -10, 5}, {-20.42, 18.62, 40}, {50, 62, -20}, {20, -10, 5}, {-20.42, 18.62, 46}};

class PointerPick : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    WriteData(kData);
    Open();
    LoadAndDraw();
    Toggle();
  }
  void Toggle() {
    null->keys.Press('P');
    Frame();
    null->keys.Release('P');
    Frame();
  }
  void Frame(bool button = false, int dx = 0) {
    null->mouse.buttons[0] = button ? 0x80 : 0;
    null->mouse.dx = dx;
    input->PollMouse();
    scene->UpdateControl();
  }
  testsupport::ScreenPoint Where(int row) const {
    return testsupport::Project({}, kRows[row][0], kRows[row][1], kRows[row][2]);
  }
  // The pointer `dx`, `dy` pixels from row `row`'s pixel, then a picture.
  void PointAt(int row, int dx, int dy) {
    null->pointer = std::pair{Where(row).PixelX() + dx, Where(row).PixelY() + dy};
    scene->Draw();
  }
  // The readout's start for stored row `row`: its line in the file, as the reading numbered it.
  std::string RowText(int row) const { return "ROW " + std::to_string(scene->lastReading.numbers.FileRow(row)); }
  int Readout(const std::string& text) {
    int w = 0, h = 0;
    const uint32_t* pixels = graphics->device->BackBufferPixels(&w, &h);
    return SmallTextMismatches(pixels, w, 2, 480 - 42, text, kBackground);
  }
};

TEST_F(PointerPick, TheNearestDrawnRowWithinEightPixelsIsRead) {
  ASSERT_TRUE(null->pointerFree);
  ASSERT_GT(std::abs(Where(4).y - Where(1).y), 3.0) << "rows 1 and 4 must lie apart";
  const struct {
    int row, dx, dy;
    int found;  // the stored row expected, -1 none
    const char* values;
  } cases[] = {
      {1, 0, 0, 1, "  lat -20.42  long 18.62  d??pth 40"},
      {4, 0, 0, 4, "  lat -20.42  long 18.62  d??pth 46"},  // the nearer of two within reach
      {0, 0, 0, 3, "  lat 20  long -10  d??pth 5"},         // a tie: the later row, drawn over the other
      {2, 0, 7, 2, "  lat 50  long 62  d??pth -20"},
      {2, -7, 0, 2, "  lat 50  long 62  d??pth -20"},
      {2, 0, 9, -1, "NO ROW WITHIN 8 PIXELS"},
      {2, 9, 0, -1, "NO ROW WITHIN 8 PIXELS"},
  };
  for (const auto& c : cases) {
    PointAt(c.row, c.dx, c.dy);
    const std::string readout = c.found < 0 ? c.values : RowText(c.found) + c.values;
    EXPECT_EQ(Readout(readout), 0) << readout;
  }
  null->pointer.reset();
  scene->Draw();
  EXPECT_EQ(Readout("POINTER IS NOT ON THE PICTURE"), 0);
}

TEST_F(PointerPick, TheRowIsRingedAndAClickCopiesItsValues) {
  PointAt(1, 1, 0);
  const int x = Where(1).PixelX(), y = Where(1).PixelY();
  for (const auto& [dx, dy] : std::vector<std::pair<int, int>>{{6, 0}, {-6, 0}, {0, 6}, {0, -6}, {4, 4}})
    EXPECT_EQ(BackPixel(x + dx, y + dy), kRing) << dx << ", " << dy;
  EXPECT_EQ(BackPixel(x, y), kWhite) << "the row itself stays visible";
  EXPECT_EQ(BackPixel(x + 3, y), kBackground) << "inside the ring";

  testing::internal::CaptureStderr();
  Frame(true);
  Frame(true);  // held: one copy
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(null->clipboard, "-20.42,18.62,40");
  const std::string copied = "copied row " + std::to_string(scene->lastReading.numbers.FileRow(1)) +
                             " to the clipboard: -20.42,18.62,40\n";
  EXPECT_NE(said.find(copied), std::string::npos) << said;
  EXPECT_EQ(said.find("copied", said.find("copied") + 1), std::string::npos) << "one press, one copy";
}

TEST_F(PointerPick, AFreePointerLeavesTheCameraAloneUntilPGivesItBack) {
  Frame(true, 80);
  EXPECT_EQ(scene->cameraTheta, 45.0);
  EXPECT_EQ(scene->cameraR, 250.0);
  Toggle();
  EXPECT_FALSE(null->pointerFree);
  Frame(false, 80);
  EXPECT_EQ(scene->cameraTheta, 55.0);
  null->pointer = std::pair{Where(1).PixelX(), Where(1).PixelY()};
  scene->Draw();
  EXPECT_EQ(CountBack(kRing), 0) << "no ring once the camera has the mouse again";
}

}  // namespace
}  // namespace viewertest
