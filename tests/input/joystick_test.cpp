// The joystick: direction zones from the thresholds, buttons, absence and failing reads.
#include "input_fixture.h"

namespace {

struct Directions {
  int left, right, up, down;
};

class JoystickTest : public InputTest {
 protected:
  // The four direction buttons of player 0 after a poll with the stick at (x, y).
  Directions ButtonsAt(uint32_t x, uint32_t y) {
    null->joystickPosition.x = x;
    null->joystickPosition.y = y;
    input->PollJoystick(0);
    return {input->IsButtonDown(BUTTON_LEFT, 0), input->IsButtonDown(BUTTON_RIGHT, 0),
            input->IsButtonDown(BUTTON_UP, 0), input->IsButtonDown(BUTTON_DOWN, 0)};
  }
};

TEST_F(JoystickTest, AtRestNoDirectionIsPressed) {
  PlugJoystick();
  StartInput();
  Directions d = ButtonsAt(32767, 32767);
  EXPECT_EQ(0, d.left + d.right + d.up + d.down);
}

TEST_F(JoystickTest, XZonesFollowTheFactorSevenThresholds) {
  PlugJoystick();
  StartInput();
  Directions at6000 = ButtonsAt(6000, 32767);
  EXPECT_EQ(1, at6000.left);
  EXPECT_EQ(0, at6000.right);
  Directions at40000 = ButtonsAt(40000, 32767);
  EXPECT_EQ(0, at40000.left);
  EXPECT_EQ(0, at40000.right);
  Directions at50000 = ButtonsAt(50000, 32767);
  EXPECT_EQ(0, at50000.left);
  EXPECT_EQ(1, at50000.right);
}

TEST_F(JoystickTest, ThresholdsAre6553And45874OnTheFullRangeAndStrict) {
  // The left/up zone is the lowest tenth, the right/down zone the highest three tenths.
  PlugJoystick();
  StartInput();
  EXPECT_EQ(1, ButtonsAt(6552, 32767).left);
  EXPECT_EQ(0, ButtonsAt(6553, 32767).left);
  EXPECT_EQ(0, ButtonsAt(45874, 32767).right);
  EXPECT_EQ(1, ButtonsAt(45875, 32767).right);
  EXPECT_EQ(1, ButtonsAt(32767, 6552).up);
  EXPECT_EQ(0, ButtonsAt(32767, 6553).up);
  EXPECT_EQ(0, ButtonsAt(32767, 45874).down);
  EXPECT_EQ(1, ButtonsAt(32767, 45875).down);
}

TEST_F(JoystickTest, YZonesGiveUpAndDown) {
  PlugJoystick();
  StartInput();
  Directions at6000 = ButtonsAt(32767, 6000);
  EXPECT_EQ(1, at6000.up);
  EXPECT_EQ(0, at6000.down);
  EXPECT_EQ(0, ButtonsAt(32767, 40000).down);
  Directions at50000 = ButtonsAt(32767, 50000);
  EXPECT_EQ(0, at50000.up);
  EXPECT_EQ(1, at50000.down);
}

TEST_F(JoystickTest, EachAxisUsesItsOwnFactorAndRange) {
  null->joystick = platform::JoystickCaps{0, 65535, 1000, 2000, 8};
  null->joystickPosition = {};
  StartInput();
  input->joyFactorX = 9;  // symmetric: 6553 and 58981
  input->joyFactorY = 5;  // on 1000..2000: up below 700, down above 1100
  EXPECT_EQ(0, ButtonsAt(50000, 1500).right);
  EXPECT_EQ(1, ButtonsAt(58982, 1500).right);
  EXPECT_EQ(1, ButtonsAt(58982, 1101).down);
  EXPECT_EQ(0, ButtonsAt(58982, 1100).down);
  EXPECT_EQ(1, ButtonsAt(58982, 699).up);
}

TEST_F(JoystickTest, ThresholdsAreComputedUnsignedWithoutSignedOverflow) {
  // 400,000,000 × 7 does not fit a signed 32-bit value but does fit an unsigned one.
  null->joystick = platform::JoystickCaps{0, 400000000u, 0, 400000000u, 8};
  null->joystickPosition = {};
  StartInput();
  Directions above = ButtonsAt(280000001u, 280000001u);  // high = 280,000,000
  EXPECT_EQ(1, above.right);
  EXPECT_EQ(1, above.down);
  Directions at = ButtonsAt(280000000u, 280000000u);
  EXPECT_EQ(0, at.right);
  EXPECT_EQ(0, at.down);
  EXPECT_EQ(1, ButtonsAt(39999999u, 200000000u).left);  // low = 40,000,000
}

TEST_F(JoystickTest, ButtonsTwoAndFivePressTheirButtonTypes) {
  PlugJoystick();
  StartInput();
  null->joystickPosition.buttons = (1u << 1) | (1u << 4);  // bit 0 is button 1
  input->PollJoystick(0);
  EXPECT_EQ(1, input->IsButtonDown(BUTTON_2, 0));
  EXPECT_EQ(1, input->IsButtonDown(BUTTON_5, 0));
  for (int type : {BUTTON_1, BUTTON_3, BUTTON_4, BUTTON_6, BUTTON_7, BUTTON_8})
    EXPECT_EQ(0, input->IsButtonDown(type, 0)) << "type " << type;
}

TEST_F(JoystickTest, ButtonTypesFiveToEightComeFromTheJoystickAlone) {
  PlugJoystick();
  StartInput();
  // Every key held: none of them may press a type without keys.
  for (int vk = 1; vk < 256; ++vk) null->keys.Press(vk);
  for (int type = BUTTON_5; type <= BUTTON_8; ++type) EXPECT_EQ(0, input->IsButtonDown(type, 0)) << type;
  null->joystickPosition.buttons = 0xF0;  // buttons 5..8
  input->PollJoystick(0);
  for (int type = BUTTON_5; type <= BUTTON_8; ++type) EXPECT_EQ(1, input->IsButtonDown(type, 0)) << type;
  EXPECT_EQ(0, input->joyButtons[0] + input->joyButtons[1] + input->joyButtons[2] + input->joyButtons[3]);
}

TEST_F(JoystickTest, TypesOutsideTheTableAreNeverPressed) {
  PlugJoystick();
  StartInput();
  null->joystickPosition = {0, 0, 0xFFFFFFFFu};  // left, up and every button
  input->PollJoystick(0);
  ASSERT_EQ(1, input->IsButtonDown(BUTTON_LEFT, 0));
  for (int type : {-1, -4, -100, 12, 13, 1000}) EXPECT_EQ(0, input->IsButtonDown(type, 0)) << type;
}

TEST_F(JoystickTest, AbsentJoystickLeavesTheKeyboardAlone) {
  StartInput();
  EXPECT_EQ(0, input->joystickPresent);
  // Flags left set by hand are neither cleared by a poll nor answered.
  input->joyLeft = 1;
  input->joyButtons[0] = 1;
  input->PollJoystick(0);
  EXPECT_EQ(1, input->joyLeft);
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_LEFT, 0));
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_1, 0));
  null->keys.Press(VK_LEFT);
  EXPECT_EQ(1, input->IsButtonDown(BUTTON_LEFT, 0));
}

TEST_F(JoystickTest, JoystickPluggedInAfterStartIsNotRead) {
  StartInput();
  PlugJoystick();
  null->joystickPosition.x = 0;
  input->PollJoystick(0);
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_LEFT, 0));
}

TEST_F(JoystickTest, FailedCapabilityQueryInAFrameReadsNeutral) {
  PlugJoystick();
  StartInput();
  null->joystickPosition = {0, 0, 0xFF};
  input->PollJoystick(0);
  ASSERT_EQ(1, input->IsButtonDown(BUTTON_LEFT, 0));
  null->joystick.reset();  // unplugged: capabilities fail
  input->PollJoystick(0);
  for (int type = BUTTON_LEFT; type <= BUTTON_8; ++type) EXPECT_EQ(0, input->IsButtonDown(type, 0)) << type;
  PlugJoystick();  // back: read again on the next frame
  null->joystickPosition.x = 60000;
  input->PollJoystick(0);
  EXPECT_EQ(1, input->IsButtonDown(BUTTON_RIGHT, 0));
}

TEST_F(JoystickTest, FailedPositionReadInAFrameReadsNeutral) {
  PlugJoystick();
  StartInput();
  null->joystickPosition = {65535, 65535, 0x01};
  input->PollJoystick(0);
  ASSERT_EQ(1, input->IsButtonDown(BUTTON_DOWN, 0));
  null->failJoystickRead = true;
  input->PollJoystick(0);
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_DOWN, 0));
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_RIGHT, 0));
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_1, 0));
}

TEST_F(JoystickTest, OnlyTheAskedJoystickIsRead) {
  PlugJoystick();
  StartInput();
  null->joystickPosition.x = 0;
  input->PollJoystick(1);  // the backend has joystick 0 only
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_LEFT, 0));
  input->PollJoystick(0);
  EXPECT_EQ(1, input->IsButtonDown(BUTTON_LEFT, 0));
}

TEST_F(JoystickTest, IsReadWhileTheWindowIsInactive) {
  PlugJoystick();
  StartInput();
  input->windowActive = 0;
  null->joystickPosition = {0, 32767, 0x02};
  input->PollJoystick(0);
  EXPECT_EQ(1, input->IsButtonDown(BUTTON_LEFT, 0));
  EXPECT_EQ(1, input->IsButtonDown(BUTTON_2, 0));
}

}  // namespace
