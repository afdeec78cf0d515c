// The display modes of a private X server, set as a desktop's own settings would be: modes with real
// timings, so that their refresh rate reads as 60 Hz (Xvfb's own mode has none and reads as unknown),
// and the mode its screen shows. Paired with screen_modes.cpp (XRandR).
#pragma once

#include <string>

namespace e2e {

// Adds a `width` × `height` mode of 60 Hz to the server's screen; with `show`, the screen shows it at
// once, as the desktop's mode (it must be the screen's size). False on failure.
bool AddSixtyHertzMode(const std::string& display, int width, int height, bool show);

struct ShownSize {
  int width = 0, height = 0;
};
// The size of the mode the screen shows now; 0 × 0 when it cannot be read.
ShownSize ShownMode(const std::string& display);

}  // namespace e2e
