// The key map: for each player (0..2) and button type (0..7), the two virtual-key codes that press it.
// Button types 8..11 have no keys and come from the joystick alone.
#pragma once

#include <cstdint>

#include "platform/win32.h"

constexpr int kKeyMapPlayers = 3;
constexpr int kKeyMapTypes = 8;

// Every player has the same keys: numeric keypad or arrows for the directions, Z/Space, X/Return,
// and A twice for the third and fourth buttons.
inline constexpr int32_t keyMap[kKeyMapPlayers][kKeyMapTypes][2] = {
  {{VK_NUMPAD4, VK_LEFT}, {VK_NUMPAD6, VK_RIGHT}, {VK_NUMPAD8, VK_UP}, {VK_NUMPAD2, VK_DOWN},
   {'Z', VK_SPACE}, {'X', VK_RETURN}, {'A', 'A'}, {'A', 'A'}},
  {{VK_NUMPAD4, VK_LEFT}, {VK_NUMPAD6, VK_RIGHT}, {VK_NUMPAD8, VK_UP}, {VK_NUMPAD2, VK_DOWN},
   {'Z', VK_SPACE}, {'X', VK_RETURN}, {'A', 'A'}, {'A', 'A'}},
  {{VK_NUMPAD4, VK_LEFT}, {VK_NUMPAD6, VK_RIGHT}, {VK_NUMPAD8, VK_UP}, {VK_NUMPAD2, VK_DOWN},
   {'Z', VK_SPACE}, {'X', VK_RETURN}, {'A', 'A'}, {'A', 'A'}},
};
