// The mouse: relative movement and buttons per poll, the mouse codes, and a lost mouse.
#include <cstring>

#include "input_fixture.h"

namespace {

using MouseTest = InputTest;

TEST_F(MouseTest, MovementSincePreviousPollOnThreeAxes) {
  StartInput();
  null->mouse.dx = 20;
  null->mouse.dy = -7;
  null->mouse.dz = 120;
  input->PollMouse();
  EXPECT_EQ(20, input->GetMouseAxis(MOUSE_DX));
  EXPECT_EQ(-7, input->GetMouseAxis(MOUSE_DY));
  EXPECT_EQ(120, input->GetMouseAxis(MOUSE_DZ));
  // No movement since: the next poll reads still; between polls the values stay.
  EXPECT_EQ(20, input->GetMouseAxis(MOUSE_DX));
  input->PollMouse();
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_DX));
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_DY));
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_DZ));
}

TEST_F(MouseTest, MovementKeepsItsLowSixteenBitsAsSigned) {
  StartInput();
  null->mouse.dx = 40000;   // 0x9C40
  null->mouse.dy = -70000;  // low 16 bits 0xEE90
  null->mouse.dz = 65536 + 5;
  input->PollMouse();
  EXPECT_EQ(-25536, input->GetMouseAxis(MOUSE_DX));
  EXPECT_EQ(-4464, input->GetMouseAxis(MOUSE_DY));
  EXPECT_EQ(5, input->GetMouseAxis(MOUSE_DZ));
  // The record itself keeps the full 32-bit movement.
  EXPECT_EQ(40000, input->mouseState.lX);
}

TEST_F(MouseTest, ButtonsReadAsTheDeviceReportsThem) {
  StartInput();
  null->mouse.buttons[0] = 0x80;
  input->PollMouse();
  EXPECT_EQ(0x80, input->GetMouseAxis(MOUSE_BUTTON_0));
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_BUTTON_1));
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_BUTTON_2));
  null->mouse.buttons[0] = 0;
  null->mouse.buttons[1] = 0x80;
  null->mouse.buttons[2] = 0xFF;
  input->PollMouse();
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_BUTTON_0));
  EXPECT_EQ(0x80, input->GetMouseAxis(MOUSE_BUTTON_1));
  EXPECT_EQ(255, input->GetMouseAxis(MOUSE_BUTTON_2));  // a byte, not sign-extended
}

TEST_F(MouseTest, CodesOutsideTheTableReadZero) {
  StartInput();
  null->mouse = {1234, -99, 7, {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}};
  input->PollMouse();
  ASSERT_EQ(1234, input->GetMouseAxis(MOUSE_DX));
  for (int code : {103, 104, 99, 108, 0, 1, -100, BUTTON_LEFT})
    EXPECT_EQ(0, input->GetMouseAxis(code)) << code;
}

TEST_F(MouseTest, LostMouseReadsStillAndIsAcquiredAgain) {
  StartInput();
  null->mouse.dx = 30;
  null->mouse.buttons[0] = 0x80;
  input->PollMouse();
  ASSERT_EQ(30, input->GetMouseAxis(MOUSE_DX));
  int acquiresBefore = null->acquireCount;

  null->LoseMouse();
  null->mouse.dx = 15;
  null->mouse.dy = 9;
  input->PollMouse();
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_DX));
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_DY));
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_BUTTON_0));  // held, yet reads released that frame
  EXPECT_EQ(acquiresBefore + 1, null->acquireCount);
  EXPECT_TRUE(null->mouseAcquired);

  null->mouse.dx = 5;
  null->mouse.dy = 0;
  input->PollMouse();
  EXPECT_EQ(5, input->GetMouseAxis(MOUSE_DX));
  EXPECT_EQ(0x80, input->GetMouseAxis(MOUSE_BUTTON_0));
}

TEST_F(MouseTest, WholeRecordIsClearedWhenLost) {
  StartInput();
  null->mouse = {1, 2, 3, {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}};
  input->PollMouse();
  null->LoseMouse();
  input->PollMouse();
  const DIMOUSESTATE2 zero = {};
  EXPECT_EQ(0, std::memcmp(&zero, &input->mouseState, sizeof(zero)));
}

TEST_F(MouseTest, AcquireIsTriedEveryPollUntilItWorks) {
  null->failAcquire = true;  // e.g. another window has the focus at start-up
  StartInput();
  null->mouse.dx = 11;
  for (int poll = 1; poll <= 3; ++poll) {
    input->PollMouse();
    EXPECT_EQ(0, input->GetMouseAxis(MOUSE_DX));
    EXPECT_EQ(1 + poll, null->acquireCount);  // Init's attempt, then one per poll
  }
  null->failAcquire = false;
  input->PollMouse();  // acquires
  EXPECT_EQ(5, null->acquireCount);
  null->mouse.dx = 12;
  input->PollMouse();
  EXPECT_EQ(12, input->GetMouseAxis(MOUSE_DX));
  EXPECT_EQ(5, null->acquireCount);  // no more attempts once it reads
}

TEST_F(MouseTest, DoesNotDependOnTheActiveWindow) {
  StartInput();
  input->windowActive = 0;
  null->mouse.dx = -3;
  null->mouse.buttons[0] = 0x80;
  input->PollMouse();
  EXPECT_EQ(-3, input->GetMouseAxis(MOUSE_DX));
  EXPECT_EQ(0x80, input->GetMouseAxis(MOUSE_BUTTON_0));
}

TEST_F(MouseTest, WithoutTheMouseNothingIsRead) {
  StartInput(0);
  null->mouse.dx = 20;
  null->mouse.buttons[0] = 0x80;
  input->PollMouse();
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_DX));
  EXPECT_EQ(0, input->GetMouseAxis(MOUSE_BUTTON_0));
  EXPECT_EQ(0, null->acquireCount);
  EXPECT_EQ(nullptr, input->mouseDevice);
}

}  // namespace
