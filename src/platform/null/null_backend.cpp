#include "platform/null/null_backend.h"

#include <algorithm>

namespace platform {

namespace {

// An auto-reset event on the scripted clock: a wait that is not signalled "lasts" its full time by
// moving the backend's clock on; a signalled one returns at once and consumes the signal.
class NullEvent : public WaitableEvent {
 public:
  explicit NullEvent(NullBackend& backend) : backend_(backend) {}
  void Set() override { state_ = true; }
  void Reset() override { state_ = false; }
  WaitResult Wait(uint32_t ms) override {
    backend_.waits.push_back(ms);
    if (backend_.onWait) backend_.onWait(ms);  // may Set() this event, like another thread would
    if (backend_.failWaits) return WaitResult::Failed;
    if (state_) {
      state_ = false;
      return WaitResult::Signalled;
    }
    backend_.now += ms;
    return WaitResult::TimedOut;
  }

 private:
  NullBackend& backend_;
  bool state_ = false;
};

}  // namespace

bool NullWindow::PresentPixels(const uint32_t* source, int pitch, const RECT& from, const RECT& to) {
  if (failPresent) return false;
  int w = std::min(from.right - from.left, to.right - to.left);
  int h = std::min(from.bottom - from.top, to.bottom - to.top);
  for (int y = 0; y < h; ++y) {
    int dy = to.top + y;
    if (dy < 0 || dy >= clientHeight) continue;
    for (int x = 0; x < w; ++x) {
      int dx = to.left + x;
      if (dx < 0 || dx >= clientWidth) continue;
      pixels[static_cast<size_t>(dy) * clientWidth + dx] =
          source[static_cast<size_t>(from.top + y) * pitch + (from.left + x)];
    }
  }
  ++presentCount;
  return true;
}

std::unique_ptr<WaitableEvent> NullBackend::CreateEvent() { return std::make_unique<NullEvent>(*this); }

WindowObject* NullBackend::CreateMainWindow(const std::string& title, int clientWidth, int clientHeight,
                                            bool fullScreen, std::optional<uint32_t> background, bool resizable) {
  if (failCreateWindow || clientWidth <= 0 || clientHeight <= 0) return nullptr;
  auto window = std::make_unique<NullWindow>();
  window->title = title;
  window->clientWidth = clientWidth;
  window->clientHeight = clientHeight;
  window->fullScreen = fullScreen;
  window->resizable = resizable;
  window->pixels.assign(static_cast<size_t>(clientWidth) * clientHeight, background ? 0xFF000000u | *background : 0u);
  windows.push_back(std::move(window));
  return windows.back().get();
}

void NullBackend::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  messages.push_back(MSG{MainWindow(), message, wParam, lParam});
}

void NullBackend::PressKey(int vk) {
  keys.Press(vk);
  Post(WM_KEYDOWN, static_cast<WPARAM>(vk));
}

void NullBackend::ReleaseKey(int vk) {
  keys.Release(vk);
  Post(WM_KEYUP, static_cast<WPARAM>(vk));
}

void NullBackend::Activate(bool active) { Post(WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE); }

void NullBackend::Close() { Post(WM_CLOSE); }

void NullBackend::DropFile(const std::string& path) {
  dropped.paths.assign(1, path);
  Post(WM_DROPFILES, reinterpret_cast<WPARAM>(&dropped));
}

bool NullBackend::NextMessage(MSG& out) {
  if (messages.empty()) return false;
  out = messages.front();
  messages.pop_front();
  return true;
}

bool NullBackend::EndWaiting() {
  for (const MSG& m : messages)
    if (m.message == WM_CLOSE || (m.message == WM_KEYDOWN && keys.IsDown(VK_ESCAPE))) return true;
  return false;
}

PresentTarget* NullBackend::TargetOf(WindowObject* window) {
  for (auto& w : windows)
    if (w.get() == window) return w.get();
  return nullptr;
}

bool NullBackend::AcquireMouse(WindowObject*) {
  ++acquireCount;
  if (failAcquire) return false;
  mouseAcquired = true;
  return true;
}

bool NullBackend::ReadMouse(MouseState& out) {
  if (!mouseAcquired) return false;
  out = mouse;
  mouse.dx = mouse.dy = mouse.dz = 0;  // movement is relative: read once
  return true;
}

bool NullBackend::JoystickCapabilities(unsigned id, JoystickCaps& out) {
  if (id != 0 || !joystick) return false;
  out = *joystick;
  return true;
}

bool NullBackend::ReadJoystick(unsigned id, JoystickPosition& out) {
  if (id != 0 || !joystick || failJoystickRead) return false;
  out = joystickPosition;
  return true;
}

int NullBackend::CurrentRefreshRate(WindowObject*) { return refreshRate; }

bool NullBackend::TestRefreshRate(WindowObject*, int hz) {
  return std::find(availableRates.begin(), availableRates.end(), hz) != availableRates.end();
}

bool NullBackend::SetRefreshRate(WindowObject* window, int hz) {
  if (failSetRefreshRate || !TestRefreshRate(window, hz)) return false;
  refreshRate = hz;
  refreshRateChanges.push_back(hz);
  return true;
}

void NullBackend::ShowMessageBox(WindowObject* owner, const std::string& text, const std::string& caption) {
  boxes.push_back(Box{owner, text, caption});
}

bool NullBackend::SetFullScreen(WindowObject* window, bool fullScreen) {
  if (!window) return false;
  window->fullScreen = fullScreen;
  fullScreenChanges.push_back(fullScreen);
  return true;
}

}  // namespace platform
