// The controls as a user works them: the mouse orbits the camera, the arrows move the look-at point,
// Z and X reset, F3 turns the camera by itself; the readout lines show the result.
#include <cstdlib>
#include <string>

#include "orbit_camera.h"
#include "viewer_fixture.h"

namespace e2e {
namespace {

class ViewerControls : public ViewerTest {
 protected:
  void SetUp() override {
    ViewerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(StartOnSample());
    ExpectReadout("CAMERA  R:250 THETA:045 Z:150", "AXIS    X:000 Y:000");
  }

  // THETA as the camera readout shows it now; -1 when the line does not read as a readout.
  int Theta() {
    std::string line = Text(Viewer().Capture(), kReadoutX, kCameraLineY, 29);
    if (line.compare(0, 20, "CAMERA  R:250 THETA:") != 0) return -1;
    std::string digits = line.substr(20, 3);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoi(digits);
  }
};

TEST_F(ViewerControls, MouseArrowsZAndXMoveTheReadoutsStepByStep) {
  // One viewer for the whole table, each step read from the screen; Z and X put the view back between
  // groups. Each key press waits for its step: two presses within one frame count once, as a key state does.
  const struct {
    const char* input;  // "mouse", "press", "release" (the left button) or a key
    int dx, dy;
    const char *camera, *axis;
  } steps[] = {
      {"mouse", 80, 0, "CAMERA  R:250 THETA:055 Z:150", "AXIS    X:000 Y:000"},  // right: a degree per 8 counts
      {"mouse", -160, 0, "CAMERA  R:250 THETA:035 Z:150", "AXIS    X:000 Y:000"},
      {"z", 0, 0, "CAMERA  R:250 THETA:045 Z:150", "AXIS    X:000 Y:000"},
      {"mouse", 0, 80, "CAMERA  R:250 THETA:045 Z:160", "AXIS    X:000 Y:000"},  // down raises the camera
      {"mouse", 0, -240, "CAMERA  R:250 THETA:045 Z:130", "AXIS    X:000 Y:000"},
      {"z", 0, 0, "CAMERA  R:250 THETA:045 Z:150", "AXIS    X:000 Y:000"},
      {"press", 0, 0, "CAMERA  R:250 THETA:045 Z:150", "AXIS    X:000 Y:000"},  // dragging changes the radius
      {"mouse", 0, 80, "CAMERA  R:260 THETA:045 Z:150", "AXIS    X:000 Y:000"},
      {"mouse", 0, -400, "CAMERA  R:210 THETA:045 Z:150", "AXIS    X:000 Y:000"},
      {"release", 0, 0, "CAMERA  R:210 THETA:045 Z:150", "AXIS    X:000 Y:000"},
      {"mouse", 0, 16, "CAMERA  R:210 THETA:045 Z:152", "AXIS    X:000 Y:000"},
      {"Up", 0, 0, "CAMERA  R:210 THETA:045 Z:152", "AXIS    X:000 Y:-01"},
      {"Left", 0, 0, "CAMERA  R:210 THETA:045 Z:152", "AXIS    X:001 Y:-01"},
      {"Left", 0, 0, "CAMERA  R:210 THETA:045 Z:152", "AXIS    X:002 Y:-01"},
      {"Right", 0, 0, "CAMERA  R:210 THETA:045 Z:152", "AXIS    X:001 Y:-01"},
      {"Down", 0, 0, "CAMERA  R:210 THETA:045 Z:152", "AXIS    X:001 Y:000"},
      {"Down", 0, 0, "CAMERA  R:210 THETA:045 Z:152", "AXIS    X:001 Y:001"},
      {"z", 0, 0, "CAMERA  R:250 THETA:045 Z:150", "AXIS    X:001 Y:001"},  // the camera alone
      {"x", 0, 0, "CAMERA  R:250 THETA:045 Z:150", "AXIS    X:000 Y:000"},  // the axes alone
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(::testing::Message() << step.input << " " << step.dx << "," << step.dy);
    const std::string input = step.input;
    if (input == "mouse")
      Viewer().MoveMouse(step.dx, step.dy);
    else if (input == "press")
      Viewer().MouseDown(1);
    else if (input == "release")
      Viewer().MouseUp(1);
    else
      Viewer().Key(input);
    ExpectReadout(step.camera, step.axis);
  }
}

TEST_F(ViewerControls, AHeldArrowKeyMovesOneStepEveryFrame) {
  Viewer().KeyDown("Left");
  Pause(500);
  Viewer().KeyUp("Left");
  std::string line = Text(Viewer().Capture(), kReadoutX, kAxisLineY, 19);
  ASSERT_EQ(line.substr(0, 10), "AXIS    X:");
  int x = std::stoi(line.substr(10, 3));
  // Half a second at 60 frames a second.
  EXPECT_GE(x, 20);
  EXPECT_LE(x, 40);
}

TEST_F(ViewerControls, F3TurnsTheCameraByItselfUntilPressedAgain) {
  Viewer().Key("F3");
  int start = 0;
  ASSERT_TRUE(testsupport::WaitUntil([&] { start = Theta(); return start >= 0 && start != 45; }, 3000))
      << "F3 did not start the rotation";
  Pause(500);
  int later = Theta();
  // One degree less per frame at 60 frames a second: about 30 degrees in half a second.
  int turned = ((start - later) % 360 + 360) % 360;
  EXPECT_GE(turned, 15) << start << " -> " << later;
  EXPECT_LE(turned, 45) << start << " -> " << later;

  Viewer().Key("F3");
  int stopped = -1;
  ASSERT_TRUE(testsupport::WaitUntil([&] {
    int a = Theta();
    Pause(100);
    stopped = Theta();
    return a >= 0 && a == stopped;
  }, 3000)) << "the camera keeps turning after the second F3";
  Pause(300);
  EXPECT_EQ(Theta(), stopped);
}

TEST_F(ViewerControls, PFreesThePointerToReadTheRowUnderItAndAClickCopiesIt) {
  if (system("command -v xclip >/dev/null 2>&1") != 0) GTEST_SKIP() << "not installed: xclip";
  Viewer().Key("p");
  const double* third = kSampleRows[2];
  const testsupport::ScreenPoint row = testsupport::Project({}, third[0], third[1], third[2]);
  Viewer().MovePointerTo(row.PixelX() + 2, row.PixelY());
  const std::string readout = "ROW 3  x 20  y 60  z 40";
  std::string seen;
  WaitForText(kReadoutX, 480 - 42, readout, &seen);
  EXPECT_EQ(seen, readout);
  Viewer().MouseDown(1);
  Pause(100);  // the button is read as a state once a frame: a click as short as xdotool's could fall between
  Viewer().MouseUp(1);
  EXPECT_TRUE(Viewer().Proc().WaitForStderr("copied row 3 to the clipboard: 20,60,40", 3000))
      << Viewer().Proc().Stderr();
  EXPECT_EQ(Viewer().Clipboard(), "20,60,40");
  // The camera has the mouse again after a second P: movement turns it.
  Viewer().Key("p");
  Viewer().MoveMouse(80, 0);
  ExpectReadout("CAMERA  R:250 THETA:055 Z:150", "AXIS    X:000 Y:000");
}

}  // namespace
}  // namespace e2e
