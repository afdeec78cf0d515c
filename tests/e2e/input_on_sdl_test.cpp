// The input manager on the real SDL backend: headless (the offscreen driver has no relative mouse, yet
// start-up must succeed) and in a real X window driven by xdotool (movement, buttons, arrow keys, the
// inactive window and the mouse taken back after the focus returns).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "input/input_manager.h"
#include "platform/sdl2/sdl_backend.h"
#include "process_runner.h"
#include "sdl_window_fixture.h"

namespace {

using testsupport::RunWithDisplay;

// The shell's part in a frame: drain the messages (WM_ACTIVATE sets windowActive, as the window
// procedure does), then poll as the frame driver does.
void Frame(platform::Backend& backend, InputManager& input) {
  MSG msg;
  while (backend.NextMessage(msg))
    if (msg.message == WM_ACTIVATE) input.windowActive = (msg.wParam & 0xFFFF) != WA_INACTIVE;
  input.PollJoystick(0);
  input.PollMouse();
}

TEST(InputOnOffscreenSdl, StartsWithoutARelativeMouseAndReadsItAsStill) {
  unsetenv("DISPLAY");
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  platform::sdl2::SdlBackend backend;
  ASSERT_TRUE(backend.Ok()) << backend.Error();
  platform::InstallBackend(&backend);
  HWND window = backend.CreateMainWindow("input offscreen", 64, 48, false);
  ASSERT_NE(nullptr, window);
  {
    InputManager input;
    EXPECT_EQ(0, input.Init(window, nullptr, 1));
    EXPECT_EQ(0, input.joystickPresent);  // no joystick on the test machines
    for (int i = 0; i < 3; ++i) {
      Frame(backend, input);
      EXPECT_EQ(0, input.GetMouseAxis(MOUSE_DX));
      EXPECT_EQ(0, input.GetMouseAxis(MOUSE_DY));
      EXPECT_EQ(0, input.GetMouseAxis(MOUSE_BUTTON_0));
      EXPECT_EQ(0, input.IsButtonDown(BUTTON_LEFT, 0));
    }
  }
  platform::InstallBackend(nullptr);
}

class InputOnX : public e2e::SdlWindowTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(OpenWindow("input test"));
    if (IsSkipped()) return;
    RunWithDisplay(x.Display(), "xdotool windowfocus --sync " + id);
    // The focus message is taken before the mouse is set up: relative mode switched on before SDL has
    // seen the focus lets movement through but not the buttons.
    ASSERT_TRUE(testsupport::WaitUntil([&] {
      MSG msg;
      bool active = false;
      while (backend->NextMessage(msg)) active |= msg.message == WM_ACTIVATE && msg.wParam == WA_ACTIVE;
      return active;
    }, 10000));
    input = std::make_unique<InputManager>();
    ASSERT_EQ(0, input->Init(window, nullptr, 1));
    input->joyFactorX = input->joyFactorY = 7;
  }
  void TearDown() override {
    input.reset();
    SdlWindowTest::TearDown();
  }

  // Runs frames until `done` holds after one; false after ten seconds.
  bool FramesUntil(const std::function<bool()>& done) {
    return testsupport::WaitUntil([&] {
      Frame(*backend, *input);
      return done();
    }, 10000);
  }

  std::unique_ptr<InputManager> input;
};

// Mouse buttons are left to the unit tests: under Xvfb a button pressed in relative mode does not always
// reach SDL as a button event.
TEST_F(InputOnX, MouseMovementReachesTheMouseCodesOncePerPoll) {
  RunWithDisplay(x.Display(), "xdotool mousemove_relative -- 80 0 mousemove_relative -- 0 -6");
  int dx = 0, dy = 0;
  ASSERT_TRUE(FramesUntil([&] {
    dx += input->GetMouseAxis(MOUSE_DX);
    dy += input->GetMouseAxis(MOUSE_DY);
    return dx >= 80 && dy <= -6;
  }));
  EXPECT_EQ(80, dx);
  EXPECT_EQ(-6, dy);
  Frame(*backend, *input);
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_DX)) << "movement is read once";
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_DY));
}

TEST_F(InputOnX, ArrowKeysPressTheirButtonsOnlyWhileTheWindowIsActive) {
  ASSERT_TRUE(FramesUntil([&] { return input->windowActive == 1; }));
  RunWithDisplay(x.Display(), "xdotool keydown Left");
  ASSERT_TRUE(FramesUntil([&] { return input->IsButtonDown(BUTTON_LEFT, 0) == 1; }));
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_RIGHT, 0));
  RunWithDisplay(x.Display(), "xdotool keyup Left");
  // Focus to the root window: the keys go quiet, the mouse is lost and reads as still.
  RunWithDisplay(x.Display(), "xdotool windowfocus --sync $(xdotool search --maxdepth 0 '.*' | head -1)");
  ASSERT_TRUE(FramesUntil([&] { return input->windowActive == 0; }));
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_LEFT, 0));
  RunWithDisplay(x.Display(), "xdotool mousemove_relative -- 30 0");
  for (int i = 0; i < 5; ++i) {
    Frame(*backend, *input);
    EXPECT_EQ(0, input->GetMouseAxis(MOUSE_DX));
  }
  // Back in focus: acquired again by the polls, the mouse moves the codes once more.
  RunWithDisplay(x.Display(), "xdotool windowfocus --sync " + id);
  ASSERT_TRUE(FramesUntil([&] { return input->windowActive == 1; }));
  Frame(*backend, *input);  // this poll takes the mouse back
  RunWithDisplay(x.Display(), "xdotool mousemove_relative -- 25 0");
  int dx = 0;
  ASSERT_TRUE(FramesUntil([&] {
    dx += input->GetMouseAxis(MOUSE_DX);
    return dx >= 25;
  }));
  EXPECT_EQ(25, dx);
}

}  // namespace
