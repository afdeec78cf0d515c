// InputManager: mouse set-up and polling through the DirectInput-like mouse, the joystick through the
// multimedia-like joystick calls of the backend, and keys through GetAsyncKeyState behind windowActive.
#include "input/input_manager.h"

#include <cstring>

#include "input/joystick_zones.h"
#include "platform/backend.h"

InputManager* g_input = nullptr;

InputManager::InputManager() = default;

InputManager::~InputManager() {
  // The device goes before the service that made it; it is not unacquired first.
  if (mouseDevice != nullptr) {
    mouseDevice->Release();
    mouseDevice = nullptr;
  }
  if (directInput != nullptr) {
    directInput->Release();
    directInput = nullptr;
  }
}

int32_t InputManager::Init(HWND window, HINSTANCE instance, uint8_t useMouse) {
  mouseEnabled = useMouse;
  if (mouseEnabled) {
    // Each failing step returns at once; what exists so far is the destructor's to release.
    if (DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                           reinterpret_cast<void**>(&directInput), nullptr) < 0)
      return 1;
    if (directInput->CreateDevice(GUID_SysMouse, &mouseDevice, nullptr) < 0) return 1;
    if (mouseDevice->SetDataFormat(&c_dfDIMouse2) < 0) return 1;
    if (mouseDevice->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND) < 0) return 1;
    DIPROPDWORD axisMode = {};
    axisMode.diph.dwSize = sizeof(DIPROPDWORD);
    axisMode.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    axisMode.diph.dwObj = 0;
    axisMode.diph.dwHow = DIPH_DEVICE;
    axisMode.dwData = DIPROPAXISMODE_REL;
    if (mouseDevice->SetProperty(DIPROP_AXISMODE, &axisMode.diph) < 0) return 1;
    // Not acquiring now is no failure (another window may have the focus, or the display has no
    // relative mouse): every poll tries again and the mouse reads as still until then.
    mouseDevice->Acquire();
  }

  platform::JoystickCaps caps;
  joystickPresent = platform::CurrentBackend().JoystickCapabilities(0, caps) ? 1 : 0;

  // The first queries of each key also clear its "pressed since the previous query" state.
  for (int i = 0; i < 1000; ++i) IsButtonDown(BUTTON_LEFT, 0);
  return 0;
}

void InputManager::PollJoystick(uint32_t joystick) {
  if (!joystickPresent) return;
  joyLeft = joyRight = joyUp = joyDown = 0;
  std::memset(joyButtons, 0, sizeof(joyButtons));

  platform::Backend& backend = platform::CurrentBackend();
  platform::JoystickCaps caps;
  if (!backend.JoystickCapabilities(joystick, caps)) return;
  platform::JoystickPosition position;
  if (!backend.ReadJoystick(joystick, position)) return;

  JoystickZones zones = JoystickZonesOf(caps, static_cast<uint32_t>(joyFactorX), static_cast<uint32_t>(joyFactorY));
  joyLeft = position.x < zones.lowX;
  joyRight = position.x > zones.highX;
  joyUp = position.y < zones.lowY;
  joyDown = position.y > zones.highY;
  for (int i = 0; i < 8; ++i) joyButtons[i] = (position.buttons >> i) & 1u;
}

void InputManager::PollMouse() {
  if (!mouseEnabled || mouseDevice == nullptr) return;
  HRESULT result = mouseDevice->GetDeviceState(sizeof(DIMOUSESTATE2), &mouseState);
  if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
    // This frame sees no movement and no buttons; acquiring is tried again every poll until it works.
    std::memset(&mouseState, 0, sizeof(mouseState));
    mouseDevice->Acquire();
  }
}

int32_t InputManager::IsKeyDown(int32_t vk) {
  if (!windowActive) return 0;  // and the key's state is not queried, so nothing is consumed
  return GetAsyncKeyState(vk) != 0 ? 1 : 0;
}

int32_t InputManager::IsButtonDown(int32_t type, int32_t player) {
  // Only types 0..7 of players 0..2 have keys; anything else goes straight to the joystick.
  if (type >= 0 && type < kKeyMapTypes && player >= 0 && player < kKeyMapPlayers) {
    if (IsKeyDown(keyMap[player][type][0])) return 1;
    if (IsKeyDown(keyMap[player][type][1])) return 1;
  }
  if (!joystickPresent) return 0;
  switch (type) {
    case BUTTON_LEFT: return joyLeft ? 1 : 0;
    case BUTTON_RIGHT: return joyRight ? 1 : 0;
    case BUTTON_UP: return joyUp ? 1 : 0;
    case BUTTON_DOWN: return joyDown ? 1 : 0;
    default:
      if (type >= BUTTON_1 && type <= BUTTON_8) return joyButtons[type - BUTTON_1] ? 1 : 0;
      return 0;
  }
}

int16_t InputManager::GetMouseAxis(int32_t code) {
  // Movement keeps its low 16 bits, read as signed (two's complement wrap, as the 16-bit result does).
  switch (code) {
    case MOUSE_DX: return static_cast<int16_t>(static_cast<uint16_t>(mouseState.lX));
    case MOUSE_DY: return static_cast<int16_t>(static_cast<uint16_t>(mouseState.lY));
    case MOUSE_DZ: return static_cast<int16_t>(static_cast<uint16_t>(mouseState.lZ));
    case MOUSE_BUTTON_0: return mouseState.rgbButtons[0];
    case MOUSE_BUTTON_1: return mouseState.rgbButtons[1];
    case MOUSE_BUTTON_2: return mouseState.rgbButtons[2];
    default: return 0;
  }
}
