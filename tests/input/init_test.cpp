// Init: the mouse set-up steps in order, each one's failure, the joystick check and the defaults.
#include "input_fixture.h"

namespace {

using platform::MouseSetupStep;
using InputManagerInit = InputTest;

constexpr MouseSetupStep kSteps[] = {MouseSetupStep::CreateService, MouseSetupStep::CreateDevice,
                                     MouseSetupStep::DataFormat, MouseSetupStep::CooperativeLevel,
                                     MouseSetupStep::AxisMode};

TEST_F(InputManagerInit, SetsTheMouseUpInOrderAndAcquiresIt) {
  InputManager manager;
  EXPECT_EQ(0, manager.Init(window, nullptr, 1));
  EXPECT_EQ(std::vector<MouseSetupStep>(std::begin(kSteps), std::end(kSteps)), null->mouseSetupSteps);
  EXPECT_EQ(1, null->acquireCount);
  EXPECT_TRUE(null->mouseAcquired);
  EXPECT_EQ(1, manager.mouseEnabled);
  EXPECT_NE(nullptr, manager.directInput);
  EXPECT_NE(nullptr, manager.mouseDevice);
}

class InputManagerInitStep : public InputTest, public ::testing::WithParamInterface<int> {};

TEST_P(InputManagerInitStep, FailingStepReturnsOneAndStopsThere) {
  int failing = GetParam();
  null->failMouseSetup = kSteps[failing];
  PlugJoystick();
  {
    InputManager manager;
    EXPECT_EQ(1, manager.Init(window, nullptr, 1));
    // Nothing after the failing step is asked for, the mouse is not acquired, the joystick not looked for.
    EXPECT_EQ(static_cast<size_t>(failing + 1), null->mouseSetupSteps.size());
    EXPECT_EQ(0, null->acquireCount);
    EXPECT_EQ(0, manager.joystickPresent);
    // What was made before the failure stays for the destructor.
    EXPECT_EQ(failing >= 1, manager.directInput != nullptr);
    EXPECT_EQ(failing >= 2, manager.mouseDevice != nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(EachMouseStep, InputManagerInitStep, ::testing::Range(0, 5));

TEST_F(InputManagerInit, MouseThatCannotBeAcquiredIsNoFailure) {
  // The headless display has no relative mouse: start-up goes on and the mouse reads as still.
  null->failAcquire = true;
  InputManager manager;
  EXPECT_EQ(0, manager.Init(window, nullptr, 1));
  null->mouse.dx = 50;
  manager.PollMouse();
  EXPECT_EQ(0, manager.GetMouseAxis(MOUSE_DX));
}

TEST_F(InputManagerInit, WithoutAWindowTheForegroundMouseCannotBeSetUp) {
  InputManager manager;
  EXPECT_EQ(1, manager.Init(nullptr, nullptr, 1));
  EXPECT_EQ(3u, null->mouseSetupSteps.size());  // refused before the backend is asked for the fourth
}

TEST_F(InputManagerInit, WithoutTheMouseNoSetUpStepIsTaken) {
  InputManager manager;
  EXPECT_EQ(0, manager.Init(window, nullptr, 0));
  EXPECT_TRUE(null->mouseSetupSteps.empty());
  EXPECT_EQ(nullptr, manager.directInput);
  EXPECT_EQ(0, manager.mouseEnabled);
}

TEST_F(InputManagerInit, JoystickIsPresentWhenItAnswersAtInit) {
  {
    InputManager manager;
    ASSERT_EQ(0, manager.Init(window, nullptr, 1));
    EXPECT_EQ(0, manager.joystickPresent);
  }
  PlugJoystick();
  InputManager manager;
  ASSERT_EQ(0, manager.Init(window, nullptr, 1));
  EXPECT_EQ(1, manager.joystickPresent);
}

TEST_F(InputManagerInit, FreshManagerReadsNothingAndAnswersKeys) {
  InputManager manager;
  EXPECT_EQ(nullptr, manager.directInput);
  EXPECT_EQ(nullptr, manager.mouseDevice);
  EXPECT_EQ(1, manager.windowActive);
  for (int code = MOUSE_DX; code <= MOUSE_BUTTON_2; ++code) EXPECT_EQ(0, manager.GetMouseAxis(code)) << code;
  for (int type = BUTTON_LEFT; type <= BUTTON_8; ++type) EXPECT_EQ(0, manager.IsButtonDown(type, 0)) << type;
  null->keys.Press('Z');
  EXPECT_EQ(1, manager.IsButtonDown(BUTTON_1, 0));
}

TEST_F(InputManagerInit, ManagersCanBeMadeAndDestroyedRepeatedly) {
  // Each owns its own service and device; destroying one leaves the next working.
  for (int i = 0; i < 3; ++i) {
    InputManager manager;
    ASSERT_EQ(0, manager.Init(window, nullptr, 1));
    null->mouse.dx = i + 1;
    manager.PollMouse();
    EXPECT_EQ(i + 1, manager.GetMouseAxis(MOUSE_DX));
  }
}

}  // namespace
