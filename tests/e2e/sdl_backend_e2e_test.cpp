// The SDL backend in a real X window (a private Xvfb), driven by xdotool: the pixels it presents, the
// keys, focus and relative mouse movement it turns into messages and state.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/sdl2/sdl_backend.h"
#include "process_runner.h"
#include "sdl_window_fixture.h"

namespace {

using testsupport::RunWithDisplay;

class SdlBackendOnX : public e2e::SdlWindowTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(OpenWindow("backend test"));
    if (!IsSkipped()) Pump();
  }

  // Pumps messages until one of `message` (with `wParam` unless it is ~0) arrives; false on timeout.
  bool WaitForMessage(UINT message, WPARAM wParam = ~WPARAM{0}) {
    return testsupport::WaitUntil([&] {
      MSG msg;
      while (backend->NextMessage(msg))
        if (msg.message == message && (wParam == ~WPARAM{0} || msg.wParam == wParam)) return true;
      return false;
    }, 10000);
  }
  void Pump() {
    MSG msg;
    while (backend->NextMessage(msg)) {}
  }
  // Focus to the root window first: the new window may already have had the focus (there is no
  // window manager; the focus follows the pointer), and the test wants to see it arrive.
  void FocusRoot() {
    RunWithDisplay(x.Display(), "xdotool windowfocus --sync $(xwininfo -root | awk '/Window id/{print $4}')");
  }
  void Focus() {
    FocusRoot();
    RunWithDisplay(x.Display(), "xdotool windowfocus --sync " + id);
    ASSERT_TRUE(WaitForMessage(WM_ACTIVATE, WA_ACTIVE)) << "focus arrives as WM_ACTIVATE";
  }
};

TEST_F(SdlBackendOnX, PresentedPixelsAppearInTheWindow) {
  EXPECT_TRUE(backend->HasDisplay());
  platform::PresentTarget* target = backend->TargetOf(window);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->ClientWidth(), 64);
  EXPECT_EQ(target->ClientHeight(), 48);
  // A 64 x 48 back buffer in four quadrants, red / green over blue / white; a 2-pixel black frame.
  std::vector<uint32_t> pixels(64 * 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      uint32_t c = y < 24 ? (x < 32 ? 0xFFFF0000u : 0xFF00FF00u) : (x < 32 ? 0xFF0000FFu : 0xFFFFFFFFu);
      if (x < 2 || y < 2 || x >= 62 || y >= 46) c = 0xFF000000u;
      pixels[y * 64 + x] = c;
    }
  ASSERT_TRUE(target->PresentPixels(pixels.data(), 64, RECT{0, 0, 64, 48}, RECT{0, 0, 64, 48}));
  Pump();
  testsupport::Screenshot shot = testsupport::CaptureWindow(x.Display(), id);
  ASSERT_EQ(shot.width, 64);
  ASSERT_EQ(shot.height, 48);
  //   "................"   frame black, then R | G over B | W
  EXPECT_EQ(shot.Pixel(0, 0), 0x000000u);
  EXPECT_EQ(shot.Pixel(2, 2), 0xFF0000u);
  EXPECT_EQ(shot.Pixel(31, 23), 0xFF0000u);
  EXPECT_EQ(shot.Pixel(32, 23), 0x00FF00u);
  EXPECT_EQ(shot.Pixel(31, 24), 0x0000FFu);
  EXPECT_EQ(shot.Pixel(32, 24), 0xFFFFFFu);
  EXPECT_EQ(shot.Pixel(61, 45), 0xFFFFFFu);
  EXPECT_EQ(shot.Pixel(63, 47), 0x000000u);

  // A smaller rectangle updates only its own pixels: a 4 x 4 red square into the white quadrant.
  std::vector<uint32_t> red(16, 0xFFFF0000u);
  ASSERT_TRUE(target->PresentPixels(red.data(), 4, RECT{0, 0, 4, 4}, RECT{40, 30, 44, 34}));
  Pump();
  shot = testsupport::CaptureWindow(x.Display(), id);
  ASSERT_EQ(shot.width, 64);
  EXPECT_EQ(shot.Pixel(40, 30), 0xFF0000u);
  EXPECT_EQ(shot.Pixel(43, 33), 0xFF0000u);
  EXPECT_EQ(shot.Pixel(44, 33), 0xFFFFFFu);
  EXPECT_EQ(shot.Pixel(39, 30), 0xFFFFFFu);
}

TEST_F(SdlBackendOnX, KeysBecomeKeyDownMessagesAndKeyState) {
  Focus();
  RunWithDisplay(x.Display(), "xdotool key F1");
  ASSERT_TRUE(WaitForMessage(WM_KEYDOWN, VK_F1));
  // Released by now, but pressed since the last query: counted once.
  EXPECT_NE(GetAsyncKeyState(VK_F1), 0);
  WaitForMessage(WM_KEYUP, VK_F1);
  EXPECT_EQ(GetAsyncKeyState(VK_F1), 0);

  RunWithDisplay(x.Display(), "xdotool keydown Escape");
  ASSERT_TRUE(WaitForMessage(WM_KEYDOWN, VK_ESCAPE));
  EXPECT_LT(GetAsyncKeyState(VK_ESCAPE), 0) << "held: the top bit is set";
  RunWithDisplay(x.Display(), "xdotool keyup Escape");
  ASSERT_TRUE(WaitForMessage(WM_KEYUP, VK_ESCAPE));
}

TEST_F(SdlBackendOnX, RelativeMouseMovementIsSummedBetweenReads) {
  Focus();
  ASSERT_TRUE(backend->AcquireMouse(window));
  platform::MouseState state;
  ASSERT_TRUE(backend->ReadMouse(state));
  RunWithDisplay(x.Display(), "xdotool mousedown 1 mousemove_relative -- 40 0 mousemove_relative -- 40 5");
  platform::MouseState sum;
  ASSERT_TRUE(testsupport::WaitUntil([&] {
    Pump();
    platform::MouseState s;
    backend->ReadMouse(s);
    sum.dx += s.dx;
    sum.dy += s.dy;
    sum.buttons[0] = s.buttons[0];
    return sum.dx >= 80 && sum.dy >= 5;
  }, 10000));
  EXPECT_EQ(sum.dx, 80);
  EXPECT_EQ(sum.dy, 5);
  EXPECT_EQ(sum.buttons[0], 0x80) << "left button held";
  RunWithDisplay(x.Display(), "xdotool mouseup 1");
  Pump();
  ASSERT_TRUE(backend->ReadMouse(state));
  EXPECT_EQ(state.dx, 0) << "read once";
}

TEST_F(SdlBackendOnX, LosingFocusDeactivatesReleasesKeysAndLosesTheMouse) {
  Focus();
  ASSERT_TRUE(backend->AcquireMouse(window));
  RunWithDisplay(x.Display(), "xdotool keydown Left");
  ASSERT_TRUE(WaitForMessage(WM_KEYDOWN, VK_LEFT));
  EXPECT_NE(GetAsyncKeyState(VK_LEFT), 0);
  // Focus to the root window: ours is no longer active.
  FocusRoot();
  RunWithDisplay(x.Display(), "xdotool keyup Left");
  ASSERT_TRUE(WaitForMessage(WM_ACTIVATE, WA_INACTIVE));
  EXPECT_EQ(GetAsyncKeyState(VK_LEFT), 0);
  platform::MouseState state;
  EXPECT_FALSE(backend->ReadMouse(state)) << "the mouse is lost with the focus";
  EXPECT_FALSE(backend->AcquireMouse(window)) << "and cannot be taken back while inactive";
}

}  // namespace
