// GetAsyncKeyState's rule: non-zero while the key is down, and once more after a press that was
// released before anyone asked — a tap between two frames is not lost.
#include "platform/key_state.h"

#include <gtest/gtest.h>

#include "platform/null/null_backend.h"

namespace {

TEST(KeyState, DownNowOrPressedSinceThePreviousQuery) {
  platform::KeyStateTable keys;
  EXPECT_EQ(keys.Query(VK_F1), 0);

  keys.Press(VK_F1);
  EXPECT_EQ(static_cast<uint16_t>(keys.Query(VK_F1)), 0x8001) << "down, and newly pressed";
  EXPECT_EQ(static_cast<uint16_t>(keys.Query(VK_F1)), 0x8000) << "still down; the press was reported";

  keys.Release(VK_F1);
  EXPECT_EQ(keys.Query(VK_F1), 0);

  keys.Press(VK_F1);
  keys.Release(VK_F1);  // a tap between two queries
  EXPECT_EQ(keys.Query(VK_F1), 1);
  EXPECT_EQ(keys.Query(VK_F1), 0) << "reported once";
}

TEST(KeyState, EachKeyRemembersItsOwnPress) {
  platform::KeyStateTable keys;
  keys.Press('Z');
  keys.Release('Z');
  EXPECT_EQ(keys.Query('X'), 0);
  EXPECT_NE(keys.Query('Z'), 0) << "asking about X did not use up Z's press";
}

TEST(KeyState, ReleaseAllKeepsThePressesNotYetReported) {
  platform::KeyStateTable keys;
  keys.Press(VK_LEFT);
  keys.Press(VK_UP);
  EXPECT_NE(keys.Query(VK_UP), 0);
  keys.ReleaseAll();
  EXPECT_FALSE(keys.IsDown(VK_LEFT));
  EXPECT_EQ(keys.Query(VK_LEFT), 1);
  EXPECT_EQ(keys.Query(VK_UP), 0);
}

TEST(KeyState, CodesOutsideTheTableReadAsUp) {
  platform::KeyStateTable keys;
  keys.Press(-1);
  keys.Press(256);
  EXPECT_EQ(keys.Query(-1), 0);
  EXPECT_EQ(keys.Query(256), 0);
}

TEST(KeyState, GetAsyncKeyStateReadsTheBackendsKeys) {
  platform::ScopedNullBackend null;
  null->PressKey(VK_ESCAPE);
  EXPECT_NE(GetAsyncKeyState(VK_ESCAPE), 0);
  null->ReleaseKey(VK_ESCAPE);
  EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
  ASSERT_EQ(null->messages.size(), 2u);
  EXPECT_EQ(null->messages[0].message, WM_KEYDOWN);
  EXPECT_EQ(null->messages[0].wParam, static_cast<WPARAM>(VK_ESCAPE));
  EXPECT_EQ(null->messages[1].message, WM_KEYUP);
}

}  // namespace
