// NullBackend: a headless, scripted backend for unit tests and tools. Nothing in it waits for real:
// the clock is a number the test sets, and an event wait moves that clock on by the wait's length
// (recorded in `waits`), so timing tests are exact and instant. Keys, messages, mouse, joystick,
// display modes and message boxes are all scripted or logged in plain public members.
//
//   platform::ScopedNullBackend null;          // installs it for the scope
//   null.backend.now = 1000;
//   null.backend.PressKey(VK_ESCAPE);          // key state down + WM_KEYDOWN queued
//   null.backend.mouse.dx = 20;                // read by the next ReadMouse
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/key_state.h"

namespace platform {

// A window whose present target keeps the last presented pixels (client-sized, A8R8G8B8), and the
// background (opaque) where nothing was presented; 0 where there is neither.
struct NullWindow : WindowObject, PresentTarget {
  std::vector<uint32_t> pixels;
  int presentCount = 0;
  bool failPresent = false;  // make PresentPixels fail

  bool PresentPixels(const uint32_t* source, int pitch, const RECT& from, const RECT& to) override;
  int ClientWidth() const override { return clientWidth; }
  int ClientHeight() const override { return clientHeight; }
  uint32_t Pixel(int x, int y) const { return pixels[static_cast<size_t>(y) * clientWidth + x]; }
};

class NullBackend : public Backend {
 public:
  // --- clock and events
  uint32_t now = 0;                  // what timeGetTime returns
  std::vector<uint32_t> waits;       // the length of every event wait, in order (signalled ones too)
  bool failWaits = false;            // waits report failure (and take no time)
  std::function<void(uint32_t ms)> onWait;  // runs at the start of each wait, before it resolves

  // --- display and windows
  bool display = false;              // HasDisplay
  bool failCreateWindow = false;
  std::vector<std::unique_ptr<NullWindow>> windows;
  NullWindow* MainWindow() const { return windows.empty() ? nullptr : windows.back().get(); }

  // --- messages: queued for the main window, delivered by NextMessage in order
  std::deque<MSG> messages;
  void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  void PressKey(int vk);             // key state down + WM_KEYDOWN
  void ReleaseKey(int vk);           // key state up + WM_KEYUP
  void Activate(bool active);        // WM_ACTIVATE with WA_ACTIVE / WA_INACTIVE
  void Close();                      // WM_CLOSE, as from the close button or a termination signal
  void DropFile(const std::string& path);  // WM_DROPFILES with that one file
  DroppedFiles dropped;
  KeyStateTable keys;                // direct access, for keys without messages

  // --- mouse: movement summed until the next ReadMouse
  MouseState mouse;                  // set dx/dy/dz and buttons[i] = 0x80
  bool mouseAcquired = false;
  bool failAcquire = false;
  int acquireCount = 0;
  void LoseMouse() { mouseAcquired = false; }
  std::optional<MouseSetupStep> failMouseSetup;  // the set-up step to refuse
  std::vector<MouseSetupStep> mouseSetupSteps;   // every step asked for, in order

  // --- the free pointer and the clipboard
  bool pointerFree = false;          // as SetPointerFree left it
  std::optional<std::pair<int, int>> pointer;  // PointerPosition's answer; nullopt: not over the picture
  std::string clipboard;             // the last SetClipboardText
  bool SetPointerFree(bool free) override {
    pointerFree = free;
    return true;
  }
  bool PointerPosition(int* x, int* y) override {
    if (!pointer) return false;
    *x = pointer->first, *y = pointer->second;
    return true;
  }
  bool SetClipboardText(const std::string& text) override {
    clipboard = text;
    return true;
  }

  // --- joystick 0
  std::optional<JoystickCaps> joystick;  // nullopt: no joystick
  JoystickPosition joystickPosition;
  bool failJoystickRead = false;

  // --- display modes
  int refreshRate = 0;               // 0 = unknown
  std::vector<int> availableRates{60};
  bool failSetRefreshRate = false;
  bool retraceWait = false;          // PresentWaitsForRetrace
  std::vector<int> refreshRateChanges;
  std::vector<bool> fullScreenChanges;

  // --- message boxes shown (MessageBoxA has also written them on stderr)
  struct Box {
    WindowObject* owner;
    std::string text, caption;
  };
  std::vector<Box> boxes;

  // Backend
  uint32_t Milliseconds() override { return now; }
  std::unique_ptr<WaitableEvent> CreateEvent() override;
  bool HasDisplay() override { return display; }
  WindowObject* CreateMainWindow(const std::string& title, int clientWidth, int clientHeight, bool fullScreen,
                                 std::optional<uint32_t> background = std::nullopt, bool resizable = false) override;
  bool NextMessage(MSG& out) override;
  bool EndWaiting() override;  // a queued WM_CLOSE, or a queued WM_KEYDOWN while Escape is down
  PresentTarget* TargetOf(WindowObject* window) override;
  SHORT AsyncKeyState(int vk) override { return keys.Query(vk); }
  bool AcquireMouse(WindowObject* window) override;
  bool ReadMouse(MouseState& out) override;
  bool MouseSetup(MouseSetupStep step) override {
    mouseSetupSteps.push_back(step);
    return step != failMouseSetup;
  }
  bool JoystickCapabilities(unsigned id, JoystickCaps& out) override;
  bool ReadJoystick(unsigned id, JoystickPosition& out) override;
  int CurrentRefreshRate(WindowObject* window) override;
  bool TestRefreshRate(WindowObject* window, int hz) override;
  bool SetRefreshRate(WindowObject* window, int hz) override;
  void ShowMessageBox(WindowObject* owner, const std::string& text, const std::string& caption) override;
  bool SetFullScreen(WindowObject* window, bool fullScreen) override;
  bool PresentWaitsForRetrace(WindowObject*) override { return retraceWait; }
};

// Installs a fresh NullBackend for a scope and uninstalls it at the end.
struct ScopedNullBackend {
  NullBackend backend;
  ScopedNullBackend() { InstallBackend(&backend); }
  ~ScopedNullBackend() { InstallBackend(nullptr); }
  ScopedNullBackend(const ScopedNullBackend&) = delete;
  ScopedNullBackend& operator=(const ScopedNullBackend&) = delete;
  NullBackend* operator->() { return &backend; }
};

}  // namespace platform
