// The seam between the Win32-like API (win32.h) and what really provides it. The entry point installs
// one Backend for the whole process: the SDL one (sdl2/) for the real program, the scripted one (null/)
// for tests and tools. Everything here is SDL-free.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform/window_object.h"

namespace platform {

// The files of one drop on the window (WM_DROPFILES), in the order they came.
struct DroppedFiles {
  std::vector<std::string> paths;
};

// Auto-reset event with a timed wait: the interruptible sleep of the frame timer.
class WaitableEvent {
 public:
  enum class WaitResult { Signalled, TimedOut, Failed };
  virtual ~WaitableEvent() = default;
  virtual void Set() = 0;
  virtual void Reset() = 0;
  virtual WaitResult Wait(uint32_t ms) = 0;
};

// Where a device presents its back buffer: the window's client area, or nothing when headless.
// Pixels are A8R8G8B8, rows `pitch` pixels apart. Rectangles are already clipped and of equal size.
class PresentTarget {
 public:
  virtual ~PresentTarget() = default;
  virtual bool PresentPixels(const uint32_t* pixels, int pitch, const RECT& source, const RECT& destination) = 0;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
};

// Relative mouse movement since the previous read, and the button bytes (0x80 = down).
struct MouseState {
  int32_t dx = 0, dy = 0, dz = 0;
  uint8_t buttons[8] = {};
};

// Joystick ranges, position and buttons as the multimedia joystick service reports them.
struct JoystickCaps {
  uint32_t xMin = 0, xMax = 65535, yMin = 0, yMax = 65535;
  uint32_t buttonCount = 0;
};
struct JoystickPosition {
  uint32_t x = 32767, y = 32767;
  uint32_t buttons = 0;  // bit i = button i + 1
};

// The steps of setting the mouse up before it is acquired (input service, system mouse device, data
// format, cooperation with the window, axis mode).
enum class MouseSetupStep { CreateService, CreateDevice, DataFormat, CooperativeLevel, AxisMode };

class Backend {
 public:
  virtual ~Backend() = default;

  // Clock: milliseconds from a monotonic source, truncated to 32 bits (wraps).
  virtual uint32_t Milliseconds() = 0;
  virtual std::unique_ptr<WaitableEvent> CreateEvent() = 0;

  // Whether a display exists at all (message boxes, real windows).
  virtual bool HasDisplay() = 0;

  // The one main window; the size is the client size. `background` (0xRRGGBB), when given, fills the
  // client area wherever nothing has been presented, from creation on (the class's brush). Returns
  // null on failure. A `resizable` window may be resized and maximised; each change of its client size
  // comes as WM_SIZE (the size in picture pixels, see SetPictureScale). Full-screen ignores it.
  virtual WindowObject* CreateMainWindow(const std::string& title, int clientWidth, int clientHeight,
                                         bool fullScreen, std::optional<uint32_t> background = std::nullopt,
                                         bool resizable = false) = 0;
  // Next pending native event as a window message (WM_KEYDOWN, WM_ACTIVATE, WM_CLOSE...); false if none.
  virtual bool NextMessage(MSG& out) = 0;
  // Whether an end of the run waits among the events not yet taken as messages: the close button, a
  // quit, Escape (or a key while Escape is held). The events are only looked at; NextMessage still
  // delivers them. A frame too long for the frame rate asks now and then so it can stop early.
  virtual bool EndWaiting() { return false; }
  virtual PresentTarget* TargetOf(WindowObject* window) = 0;

  // "Down now, or pressed since the previous query of that key" as a non-zero value.
  virtual SHORT AsyncKeyState(int vk) = 0;

  // Mouse in relative mode. Read returns false when the mouse is lost or not acquired.
  virtual bool AcquireMouse(WindowObject* window) = 0;
  virtual bool ReadMouse(MouseState& out) = 0;
  // Whether the mouse set-up may take this step; false refuses it. The relative mouse needs none of
  // them, so by default every step is allowed.
  virtual bool MouseSetup(MouseSetupStep step) {
    (void)step;
    return true;
  }

  // The pointer given to the user rather than the camera: while free, the system cursor shows and
  // moves over the window (ReadMouse goes on reporting movement and buttons; the caller ignores the
  // movement); not free, the relative mouse comes back. False when the backend cannot show a cursor.
  virtual bool SetPointerFree(bool free) {
    (void)free;
    return false;
  }
  // Where the free pointer is over the main window, in client (picture) pixels: the screen position
  // through the picture scale or the full-screen fit. False when it is not over the picture.
  virtual bool PointerPosition(int* x, int* y) {
    (void)x;
    (void)y;
    return false;
  }
  // Puts UTF-8 text on the system clipboard; false when there is none to put it on.
  virtual bool SetClipboardText(const std::string& text) {
    (void)text;
    return false;
  }

  // Joystick `id`; false when it is not there.
  virtual bool JoystickCapabilities(unsigned id, JoystickCaps& out) = 0;
  virtual bool ReadJoystick(unsigned id, JoystickPosition& out) = 0;

  // Display refresh handling (full-screen with vertical sync): the current rate (0 = unknown);
  // whether the display can run at `hz` in the mode the window uses full-screen; and running it at
  // `hz` when the window is next made full-screen.
  virtual int CurrentRefreshRate(WindowObject* window) = 0;
  virtual bool TestRefreshRate(WindowObject* window, int hz) = 0;
  virtual bool SetRefreshRate(WindowObject* window, int hz) = 0;
  // Whether presenting to the window waits for the display's vertical retrace. Where it does not, a
  // frame loop has to pace itself.
  virtual bool PresentWaitsForRetrace(WindowObject* window) {
    (void)window;
    return false;
  }

  // Shows a modal box when a display exists (MessageBoxA has already written it on stderr).
  virtual void ShowMessageBox(WindowObject* owner, const std::string& text, const std::string& caption) = 0;

  // How many screen pixels a side each picture pixel of the next main window takes (1 to 4), so the
  // picture is not tiny on a dense display; 0 lets the backend choose from the display. The window
  // and its presents grow by it; nothing above the backend sees any size but the picture's.
  virtual void SetPictureScale(int scale) { (void)scale; }

  // The window's title (UTF-8). False when it could not be set.
  virtual bool SetWindowTitle(WindowObject* window, const std::string& title) {
    window->title = title;
    return true;
  }

  // Full-screen on or off for the window (a full-screen device takes the screen while it exists): the
  // window covers the whole display, in a mode of its client size where the display offers one, else
  // in the desktop's mode with the client area scaled to fill it; off, the desktop's mode comes back.
  // False on failure.
  virtual bool SetFullScreen(WindowObject* window, bool fullScreen) {
    (void)window;
    (void)fullScreen;
    return false;
  }

  // The window classes registered in this process (RegisterClassA), by class name.
  struct WindowClass {
    WNDPROC procedure = nullptr;
    HBRUSH background = nullptr;
  };
  std::map<std::string, WindowClass>& WindowClasses() { return windowClasses_; }

 private:
  std::map<std::string, WindowClass> windowClasses_;
};

// The process-wide backend. Install before any Win32-like call; the caller keeps ownership.
void InstallBackend(Backend* backend);
Backend& CurrentBackend();

}  // namespace platform
