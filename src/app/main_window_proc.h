// The window procedure of the main window: quit on WM_DESTROY and on any key while Escape is held, and
// tell the input layer whether the window is active.
#pragma once

#include <cstdint>

#include "platform/win32.h"

LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

namespace app {

// WM_ACTIVATE on the input layer's flag: low word 0 clears it, 1 or 2 sets it, other values and a null
// flag (no input layer yet) change nothing.
void ApplyActivation(WPARAM wParam, uint8_t* windowActive);

}  // namespace app
