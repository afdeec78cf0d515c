// UpdateControl with the real input layer on scripted keys and mouse.
#include "scene_fixture.h"

#include <map>

#include "ini_keys.h"

namespace viewertest {
namespace {

class ViewControl : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    Open();
  }
  // One frame: the mouse moved (dx, dy) with the first button held or not, then view control.
  void Frame(int dx = 0, int dy = 0, bool button = false) {
    null->mouse.dx = dx;
    null->mouse.dy = dy;
    null->mouse.buttons[0] = button ? 0x80 : 0;
    input->PollMouse();
    scene->UpdateControl();
  }
  void Press(int vk) { null->keys.Press(vk); }
  void Release(int vk) { null->keys.Release(vk); }
};

TEST_F(ViewControl, AHeldFunctionKeyTogglesOnceUntilEveryFunctionKeyIsUp) {
  Press(VK_F1);
  for (int i = 0; i < 5; ++i) Frame();
  EXPECT_EQ(scene->showHint, 0);
  Release(VK_F1);
  Frame();
  EXPECT_EQ(scene->hotkeyLatch, 0);
  Press(VK_F1);
  Frame();
  EXPECT_EQ(scene->showHint, 1);
}

TEST_F(ViewControl, TwoFunctionKeysInOneFrameToggleOnlyTheFirst) {
  Press(VK_F1);
  Press(VK_F2);
  Frame();
  EXPECT_EQ(scene->showHint, 0);
  EXPECT_EQ(scene->lineMode, 0);
  Release(VK_F1);
  Frame();  // F2 still down: the latch holds
  EXPECT_EQ(scene->lineMode, 0);
  Release(VK_F2);
  Frame();
  Press(VK_F2);
  Frame();
  EXPECT_EQ(scene->lineMode, 1);
}

TEST_F(ViewControl, HoldingOneFunctionKeyBlocksAnotherUntilAllAreReleased) {
  Press(VK_F2);
  Frame();
  EXPECT_EQ(scene->lineMode, 1);
  Press(VK_F1);
  Frame();
  EXPECT_EQ(scene->showHint, 1) << "F1 pressed while F2 is held does nothing";
  Release(VK_F1);
  Release(VK_F2);
  Frame();
  Press(VK_F1);
  Frame();
  EXPECT_EQ(scene->showHint, 0);
}

TEST_F(ViewControl, EachFunctionKeyTogglesItsSwitchToZeroOrOne) {
  scene->showHint = 5;  // as read from the file
  const int keys[] = {VK_F1, VK_F2, VK_F3, VK_F4, VK_F5};
  int32_t* fields[] = {&scene->showHint, &scene->lineMode, &scene->autoAnime, &scene->showFps, &scene->showAxis};
  const int32_t after[] = {0, 1, 1, 1, 0};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    scene->cameraTheta = 45;
    Press(keys[i]);
    Frame();
    Release(keys[i]);
    Frame();
    EXPECT_EQ(*fields[i], after[i]);
  }
}

TEST_F(ViewControl, ASettingTheCommandLineGaveIsSavedOnlyOnceItsKeyChangedIt) {
  // The file says lines, each axis fitted, no colour or ranges key; this run: points, no fit, white,
  // no ranges. Each key press lands on a value the file does not have, so a save shows which keys
  // were written.
  const std::string before = "[CONFIG]\nLINESET=5\nFIT=2\n";
  struct Case {
    int vk;  // 0: no key pressed
    std::map<std::string, std::string> after;
  };
  const Case cases[] = {
      {0, {{"LINESET", "5"}, {"FIT", "2"}}},
      {VK_F2, {{"LINESET", "1"}, {"FIT", "2"}}},
      {VK_F6, {{"LINESET", "5"}, {"FIT", "1"}}},
      {VK_F7, {{"LINESET", "5"}, {"FIT", "2"}, {"COLORMAP", "1"}}},
      {VK_F8, {{"LINESET", "5"}, {"FIT", "2"}, {"RANGES", "1"}}},
      {VK_OEM_MINUS, {{"LINESET", "5"}, {"FIT", "2"}, {"POINTSIZE", "3"}}},  // from --point-size 4
      {VK_ADD, {{"LINESET", "5"}, {"FIT", "2"}, {"POINTSIZE", "5"}}},
  };
  viewer::ViewOptions options;
  options.lines = false;
  options.fit = 0;
  options.byHeight = false;
  options.ranges = false;
  options.pointSize = 4;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.vk);
    scene.reset();  // the scene before saves first
    testsupport::WriteFile(dir / "config.ini", before);
    scene = std::make_unique<ViewerScene>(dir / "config.ini");
    scene->OverrideForThisRun(options);
    EXPECT_EQ(scene->lineMode, 0);
    EXPECT_EQ(scene->fitMode, 0);
    if (c.vk != 0) Press(c.vk);
    Frame();
    if (c.vk != 0) Release(c.vk);
    Frame();
    scene.reset();
    std::map<std::string, std::string> saved =
        testsupport::IniSection(testsupport::ReadFile(dir / "config.ini"), "CONFIG");
    std::erase_if(saved, [](const auto& key) {
      return key.first != "LINESET" && key.first != "FIT" && key.first != "COLORMAP" && key.first != "RANGES" &&
             key.first != "POINTSIZE";
    });
    EXPECT_EQ(saved, c.after);
  }
}

TEST_F(ViewControl, FunctionKeysWorkWhileTheWindowIsInactiveButArrowsDoNot) {
  input->windowActive = 0;
  Press(VK_F5);
  Press(VK_UP);
  Frame();
  EXPECT_EQ(scene->showAxis, 0);
  EXPECT_EQ(scene->axisY, 0);
}

TEST_F(ViewControl, HorizontalMovementTurnsByEighthsTruncatedTowardZero) {
  const struct {
    int counts;
    double theta;
  } cases[] = {{7, 45}, {8, 46}, {-9, 44}, {100, 57}, {-7, 45}, {-16, 43}};
  for (const auto& c : cases) {
    scene->cameraTheta = 45;
    Frame(c.counts);
    EXPECT_EQ(scene->cameraTheta, c.theta) << c.counts << " counts";
  }
}

TEST_F(ViewControl, TheAngleWrapsOneStepEachWay) {
  scene->cameraTheta = 0.5;
  scene->autoAnime = 1;
  Frame();
  EXPECT_EQ(scene->cameraTheta, 359.5);
  scene->autoAnime = 0;
  Frame(16);
  EXPECT_EQ(scene->cameraTheta, 1.5);
  scene->cameraTheta = 360;
  Frame();
  EXPECT_EQ(scene->cameraTheta, 360.0);
  scene->cameraTheta = 0;
  Frame();
  EXPECT_EQ(scene->cameraTheta, 0.0);
  scene->cameraTheta = 400;  // CAMERA_T=400 from the file
  Frame();
  EXPECT_EQ(scene->cameraTheta, 40.0);
  scene->cameraTheta = 800;  // only one step a frame
  Frame();
  EXPECT_EQ(scene->cameraTheta, 440.0);
}

TEST_F(ViewControl, VerticalMovementChangesHeightOrRadiusByTheButton) {
  Frame(0, 80);
  EXPECT_EQ(scene->cameraZ, 160);
  EXPECT_EQ(scene->cameraR, 250.0);
  Frame(0, -15, true);
  EXPECT_EQ(scene->cameraR, 249.0);
  EXPECT_EQ(scene->cameraZ, 160);
}

TEST_F(ViewControl, TheRadiusNeverGoesBelowOne) {
  scene->cameraR = 3;
  Frame(0, -40, true);
  EXPECT_EQ(scene->cameraR, 1.0);
  scene->cameraR = 0;  // CAMERA_R=0 from the file
  Frame();
  EXPECT_EQ(scene->cameraR, 1.0);
}

TEST_F(ViewControl, ArrowsMoveTheAxesOnceAFrame) {
  Press(VK_UP);
  for (int i = 0; i < 10; ++i) Frame();
  EXPECT_EQ(scene->axisY, -10);
  Press(VK_DOWN);
  Frame();
  EXPECT_EQ(scene->axisY, -10) << "Up and Down together";
  Release(VK_UP);
  Release(VK_DOWN);
  Press(VK_LEFT);
  Frame();
  EXPECT_EQ(scene->axisX, 1);
  Release(VK_LEFT);
  Press(VK_NUMPAD6);
  Frame();
  Frame();
  EXPECT_EQ(scene->axisX, -1);
}

TEST_F(ViewControl, ResetsComeAfterTheMouseAndTheArrows) {
  scene->cameraY = 3;
  Press('Z');
  Frame(80, -800, true);  // dragging while Z resets
  EXPECT_EQ(scene->cameraTheta, 45.0);
  EXPECT_EQ(scene->cameraR, 250.0);
  EXPECT_EQ(scene->cameraZ, 150);
  EXPECT_EQ(scene->cameraY, 30);
  Release('Z');
  Press(VK_RIGHT);
  Press(VK_RETURN);
  Frame();
  EXPECT_EQ(scene->axisX, 0);
  EXPECT_EQ(scene->axisY, 0);
}

TEST_F(ViewControl, IntegersAtTheEdgeOfTheirRangeWrapInsteadOfOverflowing) {
  scene->axisX = INT32_MAX;
  scene->cameraZ = INT32_MIN;
  Press(VK_LEFT);
  Frame(0, -8);
  EXPECT_EQ(scene->axisX, INT32_MIN);
  EXPECT_EQ(scene->cameraZ, INT32_MAX);
}

}  // namespace
}  // namespace viewertest
