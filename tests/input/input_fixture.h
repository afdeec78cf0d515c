// A scripted world for the input layer: the null backend with a main window, and an InputManager made
// as the entry point makes it (Init with the window and the mouse, then the joystick factors 7).
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "input/input_manager.h"
#include "platform/null/null_backend.h"

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override { window = null->CreateMainWindow("input", 64, 48, false); }

  // Init as start-up does it; the joystick (if any) must be plugged in before.
  void StartInput(uint8_t useMouse = 1) {
    input = std::make_unique<InputManager>();
    ASSERT_EQ(0, input->Init(window, nullptr, useMouse));
    input->joyFactorX = 7;
    input->joyFactorY = 7;
  }

  // A joystick with the multimedia range 0..65535 on both axes, at rest.
  void PlugJoystick() {
    null->joystick = platform::JoystickCaps{};
    null->joystickPosition = platform::JoystickPosition{};
  }

  void Frame() {
    input->PollJoystick(0);
    input->PollMouse();
  }

  platform::ScopedNullBackend null;
  HWND window = nullptr;
  std::unique_ptr<InputManager> input;
};
