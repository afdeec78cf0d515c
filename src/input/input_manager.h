// InputManager: the keyboard, the system mouse and joystick 0 as numbered buttons and mouse codes.
// One instance lives behind g_input, created by the entry point; the window procedure writes
// windowActive, the frame driver polls once a frame and view control asks for buttons and codes.
#pragma once

#include <cstdint>

#include "input/direct_input.h"
#include "input/key_map.h"
#include "platform/win32.h"

// Button types: the first argument of IsButtonDown.
constexpr int BUTTON_LEFT = 0, BUTTON_RIGHT = 1, BUTTON_UP = 2, BUTTON_DOWN = 3, BUTTON_1 = 4, BUTTON_2 = 5,
              BUTTON_3 = 6, BUTTON_4 = 7, BUTTON_5 = 8, BUTTON_6 = 9, BUTTON_7 = 10, BUTTON_8 = 11;
// Mouse codes: the argument of GetMouseAxis. 103 and 104 are not codes (they read 0).
constexpr int MOUSE_DX = 100, MOUSE_DY = 101, MOUSE_DZ = 102, MOUSE_BUTTON_0 = 105, MOUSE_BUTTON_1 = 106,
              MOUSE_BUTTON_2 = 107;

class InputManager {
 public:
  InputManager();
  virtual ~InputManager();
  InputManager(const InputManager&) = delete;
  InputManager& operator=(const InputManager&) = delete;

  // Sets the mouse up (when useMouse) and looks for joystick 0. 0 on success, 1 when a mouse set-up
  // step fails; what was created so far stays for the destructor to release.
  int32_t Init(HWND window, HINSTANCE instance, uint8_t useMouse);
  // Reads joystick `joystick` into the direction and button flags; neutral when it does not answer.
  void PollJoystick(uint32_t joystick);
  // Reads the mouse movement since the previous poll; a lost mouse reads as still and is acquired again.
  void PollMouse();
  // 1 when a key of the key map or the joystick holds the button, else 0. Player 0..2.
  int32_t IsButtonDown(int32_t type, int32_t player);
  // 1 when the key is down now or was pressed since its previous query; always 0 while inactive.
  int32_t IsKeyDown(int32_t vk);
  // Movement (low 16 bits, signed) or button byte of the last poll; 0 for any other code.
  int16_t GetMouseAxis(int32_t code);

  uint8_t joystickPresent = 0;
  uint8_t mouseEnabled = 0;
  // Starts at 1: the window is already active when the input layer is created, and its activation
  // message came before, so the keys must answer from the first frame on.
  uint8_t windowActive = 1;
  int32_t joyFactorY = 0;  // tenths; the entry point sets 7 after Init
  int32_t joyFactorX = 0;
  uint8_t joyLeft = 0, joyRight = 0, joyUp = 0, joyDown = 0;
  uint8_t joyButtons[8] = {};
  IDirectInput8A* directInput = nullptr;
  IDirectInputDevice8A* mouseDevice = nullptr;
  DIMOUSESTATE2 mouseState = {};
};

extern InputManager* g_input;
