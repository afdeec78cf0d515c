// What an HWND points at: the one main window as the Win32-like calls see it. Each backend derives its
// own window from this (the SDL window, the scripted window of the null backend) and owns it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace platform {

// What an HBRUSH points at: a solid colour, 0xRRGGBB.
struct Brush {
  uint32_t colour;
};

struct WindowObject {
  virtual ~WindowObject() = default;

  WNDPROC procedure = nullptr;  // of the window's class; DispatchMessageA calls it
  std::string title;            // UTF-8
  int clientWidth = 0;
  int clientHeight = 0;
  bool fullScreen = false;
  bool resizable = false;       // the user may resize it (WS_THICKFRAME): its size changes come as WM_SIZE
  bool destroyed = false;       // set once WM_DESTROY has been sent; the object lives until the backend goes
};

}  // namespace platform
