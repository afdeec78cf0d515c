// Where a joystick axis counts as pushed: the four thresholds from the device's ranges and the weights
// (in tenths) of the input layer. Unsigned 32-bit arithmetic with truncating division throughout.
#pragma once

#include <cstdint>

#include "platform/backend.h"

struct JoystickZones {
  uint32_t lowX, highX, lowY, highY;  // left below lowX, right above highX; up below lowY, down above highY
};

// low = (min × factor + max) / 10 and high = (max × factor + min) / 10 on each axis. With the factor 7
// on 0..65535 that is 6553 and 45874: mirror images, symmetric only for the factor 9.
constexpr JoystickZones JoystickZonesOf(const platform::JoystickCaps& caps, uint32_t factorX, uint32_t factorY) {
  return {(caps.xMin * factorX + caps.xMax) / 10u, (caps.xMax * factorX + caps.xMin) / 10u,
          (caps.yMin * factorY + caps.yMax) / 10u, (caps.yMax * factorY + caps.yMin) / 10u};
}
