#include "platform/sdl2/sdl_backend.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/display_modes.h"
#include "platform/posix/auto_reset_event.h"
#include "platform/posix/clock.h"
#include "platform/posix/dialog_process.h"
#include "platform/posix/termination.h"
#include "platform/sdl2/sdl_keymap.h"
#include "platform/sdl2/sdl_window.h"

namespace platform::sdl2 {

namespace {

bool EnvSet(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// DirectInput's button order: left, right, middle, then the extra buttons.
int DirectInputButton(int sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    case SDL_BUTTON_X2: return 4;
    default: return -1;
  }
}

constexpr int kWheelDelta = 120;

// How often a long frame may fetch the window system's events to look for an end, and how many of
// one kind it looks through.
constexpr uint32_t kEndLookEveryMs = 20;
constexpr int kEndLookEvents = 64;  // one notch of the wheel, as DirectInput counts it

// A server that is there may still refuse a connection for a moment (its queue of new clients full
// while many start at once): the connection is tried again for about two seconds before giving up.
constexpr int kConnectAttempts = 20;
constexpr int kConnectRetryMs = 100;

std::string UnreachableDisplay() {
  return std::string("no display could be opened (DISPLAY=") + (EnvSet("DISPLAY") ? std::getenv("DISPLAY") : "") + ")";
}

bool InitSdl() { return SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) == 0 || SDL_Init(SDL_INIT_VIDEO) == 0; }

// The mode a full-screen window of a `width` × `height` picture runs the display in at `hz` (0: any
// rate); pictureSized: one of the picture's own size, to switch to, else the desktop's, kept. None
// when `hz` cannot be had.
struct ScreenMode {
  SDL_DisplayMode mode;
  bool pictureSized;
};

std::optional<ScreenMode> FullScreenMode(SDL_Window* native, int width, int height, int hz) {
  const int display = native ? SDL_GetWindowDisplayIndex(native) : -1;
  SDL_DisplayMode desktop;
  if (display < 0 || SDL_GetDesktopDisplayMode(display, &desktop) != 0) return std::nullopt;
  std::vector<SDL_DisplayMode> offered;
  std::vector<DisplayMode> sizes;
  for (int i = 0, n = SDL_GetNumDisplayModes(display); i < n; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(display, i, &mode) != 0) continue;
    offered.push_back(mode);
    sizes.push_back(DisplayMode{mode.w, mode.h, mode.refresh_rate});
  }
  const std::optional<DisplayMode> chosen =
      ChooseFullScreenMode(sizes, DisplayMode{desktop.w, desktop.h, desktop.refresh_rate}, width, height, hz);
  if (!chosen) return std::nullopt;
  const auto it = std::find(sizes.begin(), sizes.end(), *chosen);
  if (chosen->width == width && chosen->height == height && it != sizes.end())
    return ScreenMode{offered[static_cast<size_t>(it - sizes.begin())], true};
  return ScreenMode{desktop, false};
}

}  // namespace

std::string SdlBackend::MissingDisplayReason() {
  if (EnvSet("SDL_VIDEODRIVER") || EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY")) return std::string();
  return "no display available: neither DISPLAY nor WAYLAND_DISPLAY is set "
         "(set SDL_VIDEODRIVER=offscreen to run without one)";
}

SdlBackend::SdlBackend() {
  // The window surface stays a plain software framebuffer: otherwise SDL may put a GL renderer
  // behind it and recreate the window on the first present (a new X window id under the tests).
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // SIGINT, SIGTERM and SIGHUP are the program's own business (posix/termination): they arrive as WM_CLOSE.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Left to itself, SDL passes over an X server that refuses one connection and quietly picks a
  // headless driver. With only DISPLAY set, X11 is the one meant, so ask for it by name and retry.
  const bool x11Meant = !EnvSet("SDL_VIDEODRIVER") && EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY");
  if (x11Meant) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  bool started = InitSdl();
  for (int attempt = 1; !started && x11Meant && attempt < kConnectAttempts; ++attempt) {
    if (posix::SleepUnlessTerminated(kConnectRetryMs)) break;
    started = InitSdl();
  }
  if (!started) {
    error_ = x11Meant ? UnreachableDisplay() + ": " + SDL_GetError() : std::string(SDL_GetError());
    return;
  }
  // When the display named by DISPLAY cannot be reached, SDL quietly picks a headless driver and the
  // program would run invisibly. Only an explicit SDL_VIDEODRIVER may choose one.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!EnvSet("SDL_VIDEODRIVER") && driver &&
      (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
    error_ = UnreachableDisplay();
    SDL_Quit();
    return;
  }
  ok_ = true;
}

SdlBackend::~SdlBackend() {
  if (joystick_) SDL_JoystickClose(joystick_);
  window_.reset();
  if (ok_) SDL_Quit();
  keeper_.Restored();
}

uint32_t SdlBackend::Milliseconds() { return posix::MonotonicMilliseconds(); }

std::unique_ptr<WaitableEvent> SdlBackend::CreateEvent() { return std::make_unique<posix::AutoResetEvent>(); }

bool SdlBackend::HasDisplay() {
  const char* driver = ok_ ? SDL_GetCurrentVideoDriver() : nullptr;
  return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

WindowObject* SdlBackend::CreateMainWindow(const std::string& title, int clientWidth, int clientHeight,
                                           bool fullScreen, std::optional<uint32_t> background,
                                           bool resizable) {
  if (!ok_ || window_) return nullptr;  // one main window per process
  resizable = resizable && !fullScreen;
  // Without SDL_WINDOW_RESIZABLE the size hints hold the window at its size.
  const Uint32 flags = SDL_WINDOW_SHOWN | (resizable ? SDL_WINDOW_RESIZABLE : 0);
  // A full-screen window takes the display's own mode; only a window grows by the picture scale.
  // (A picture already too large for any screen is not made larger.)
  const int scale = fullScreen || clientWidth > 8192 || clientHeight > 8192 ? 1 : ChosenScale();
  SDL_Window* native = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                        clientWidth * scale, clientHeight * scale, flags);
  if (!native) return nullptr;
  if (resizable) SDL_SetWindowMinimumSize(native, kSmallestClientWidth * scale, kSmallestClientHeight * scale);
  window_ = std::make_unique<SdlWindow>(native, background, scale);
  window_->title = title;
  window_->clientWidth = clientWidth;
  window_->clientHeight = clientHeight;
  window_->resizable = resizable;
  window_->Repaint();
  focused_ = true;
  if (fullScreen && !SetFullScreen(window_.get(), true)) {
    window_.reset();
    return nullptr;
  }
  return window_.get();
}

bool SdlBackend::NextMessage(MSG& out) {
  if (!ok_) return false;
  if (!terminationDelivered_ && posix::TerminationRequested()) {
    // SIGINT, SIGTERM or SIGHUP: the same as the close button.
    terminationDelivered_ = true;
    out = MSG{window_.get(), WM_CLOSE, 0, 0};
    return true;
  }
  SDL_Event e;
  // Events that are not messages (mouse, joystick) are folded into state on the way.
  while (SDL_PollEvent(&e)) {
    out = MSG{window_.get(), 0, 0, 0};
    if (MessageOf(e, out)) return true;
  }
  lastLook_ = posix::MonotonicMilliseconds();
  return false;
}

bool SdlBackend::MessageOf(const SDL_Event& e, MSG& out) {
  switch (e.type) {
    case SDL_KEYDOWN: {
      int vk = VirtualKeyOfScancode(e.key.keysym.scancode);
      if (vk) keys_.Press(vk);  // a key with no code still sends WM_KEYDOWN (Escape + any key quits)
      out.message = WM_KEYDOWN;
      out.wParam = static_cast<WPARAM>(vk);
      out.lParam = 1 | (e.key.repeat ? (LPARAM{1} << 30) : 0);  // repeat count; bit 30: was down
      return true;
    }
    case SDL_KEYUP: {
      int vk = VirtualKeyOfScancode(e.key.keysym.scancode);
      if (vk) keys_.Release(vk);
      out.message = WM_KEYUP;
      out.wParam = static_cast<WPARAM>(vk);
      return true;
    }
    case SDL_WINDOWEVENT: return WindowMessageOf(e, out);
    case SDL_DROPFILE:
      // One drop, one message; a later drop before DragFinish replaces it.
      dropped_.paths.assign(1, e.drop.file ? e.drop.file : "");
      SDL_free(e.drop.file);
      out.message = WM_DROPFILES;
      out.wParam = reinterpret_cast<WPARAM>(&dropped_);
      return true;
    case SDL_QUIT:
      out.message = WM_CLOSE;
      return true;
    default:
      FoldIntoState(e);
      return false;
  }
}

bool SdlBackend::WindowMessageOf(const SDL_Event& e, MSG& out) {
  if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
    focused_ = true;
    out.message = WM_ACTIVATE;
    out.wParam = WA_ACTIVE;
    return true;
  }
  if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
    // Key-up events will not reach an unfocused window; the mouse is lost as DirectInput's is.
    focused_ = false;
    keys_.ReleaseAll();
    if (mouseAcquired_) SDL_SetRelativeMouseMode(SDL_FALSE);
    mouseAcquired_ = false;
    out.message = WM_ACTIVATE;
    out.wParam = WA_INACTIVE;
    return true;
  }
  if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
    out.message = WM_CLOSE;
    return true;
  }
  if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && window_ && window_->resizable) return SizeMessage(out);
  // The window system lost what the window showed (first mapping included): show the surface again,
  // presented pixels and background alike. Not a message: the program paints nothing.
  if (e.window.event == SDL_WINDOWEVENT_EXPOSED && window_) window_->Repaint();
  return false;
}

bool SdlBackend::SizeMessage(MSG& out) {
  // In picture pixels: a window of SCALE 2 that grew to 800 x 600 has a client area of 400 x 300.
  const int width = window_->ClientWidth(), height = window_->ClientHeight();
  if (width <= 0 || height <= 0 || (width == window_->clientWidth && height == window_->clientHeight)) return false;
  window_->clientWidth = width;
  window_->clientHeight = height;
  out.message = WM_SIZE;
  out.wParam = (SDL_GetWindowFlags(window_->Native()) & SDL_WINDOW_MAXIMIZED) ? SIZE_MAXIMIZED : SIZE_RESTORED;
  out.lParam = static_cast<LPARAM>(width & 0xFFFF) | static_cast<LPARAM>(height & 0xFFFF) << 16;
  return true;
}

void SdlBackend::FoldIntoState(const SDL_Event& e) {
  switch (e.type) {
    case SDL_MOUSEMOTION:
      if (mouseAcquired_) {
        mouse_.dx += e.motion.xrel;
        mouse_.dy += e.motion.yrel;
      }
      break;
    case SDL_MOUSEWHEEL:
      if (mouseAcquired_) mouse_.dz += e.wheel.y * kWheelDelta;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int b = DirectInputButton(e.button.button);
      if (b >= 0) mouse_.buttons[b] = e.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
      break;
    }
    case SDL_JOYDEVICEREMOVED:
      if (joystick_ && SDL_JoystickInstanceID(joystick_) == e.jdevice.which) {
        SDL_JoystickClose(joystick_);
        joystick_ = nullptr;
      }
      break;
    default:
      break;
  }
}

bool SdlBackend::EndWaiting() {
  if (!ok_) return false;
  // Fetching the window system's events costs more than drawing thousands of rows: look a few times
  // a second at most, and not at all while the message loop itself keeps up.
  const uint32_t now = posix::MonotonicMilliseconds();
  if (now - lastLook_ < kEndLookEveryMs) return false;
  lastLook_ = now;
  SDL_PumpEvents();
  SDL_Event e[kEndLookEvents];
  if (SDL_PeepEvents(e, 1, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0) return true;
  int n = SDL_PeepEvents(e, kEndLookEvents, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  for (int i = 0; i < n; ++i)
    if (e[i].window.event == SDL_WINDOWEVENT_CLOSE) return true;
  // As the window procedure has it: a key that comes while Escape is down, Escape itself included.
  bool escapeDown = keys_.IsDown(VK_ESCAPE);
  n = SDL_PeepEvents(e, kEndLookEvents, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYUP);
  for (int i = 0; i < n; ++i) {
    const bool escape = VirtualKeyOfScancode(e[i].key.keysym.scancode) == VK_ESCAPE;
    if (e[i].type == SDL_KEYDOWN && (escape || escapeDown)) return true;
    if (escape) escapeDown = e[i].type == SDL_KEYDOWN;
  }
  return false;
}

PresentTarget* SdlBackend::TargetOf(WindowObject* window) {
  return window && window == window_.get() ? window_.get() : nullptr;
}

SDL_Window* SdlBackend::NativeOf(WindowObject* window) const {
  return window && window == window_.get() ? window_->Native() : nullptr;
}

bool SdlBackend::AcquireMouse(WindowObject* window) {
  if (!NativeOf(window) || !focused_) return false;
  // Relative mode hides and holds the cursor. Without it (the offscreen driver) the mouse is still
  // "acquired" and simply reads as still.
  bool relative = SDL_SetRelativeMouseMode(pointerFree_ ? SDL_FALSE : SDL_TRUE) == 0;
  mouseAcquired_ = true;
  mouse_.dx = mouse_.dy = mouse_.dz = 0;
  (void)relative;
  return true;
}

bool SdlBackend::ReadMouse(MouseState& out) {
  if (!mouseAcquired_) return false;
  out = mouse_;
  mouse_.dx = mouse_.dy = mouse_.dz = 0;
  return true;
}

bool SdlBackend::SetPointerFree(bool free) {
  if (!ok_) return false;
  pointerFree_ = free;
  // Held by relative mode only while the window has the mouse; a focus regained acquires it again.
  if (mouseAcquired_) SDL_SetRelativeMouseMode(free ? SDL_FALSE : SDL_TRUE);
  if (free) SDL_ShowCursor(SDL_ENABLE);  // relative mode hides it again by itself
  return true;
}

bool SdlBackend::PointerPosition(int* x, int* y) {
  if (!ok_ || !window_ || !pointerFree_ || SDL_GetMouseFocus() != window_->Native()) return false;
  int screenX = 0, screenY = 0;
  SDL_GetMouseState(&screenX, &screenY);
  return window_->PicturePointOf(screenX, screenY, x, y);
}

bool SdlBackend::SetClipboardText(const std::string& text) {
  if (!ok_ || SDL_SetClipboardText(text.c_str()) != 0) return false;
  // Under X11 the selection is taken by a request that waits in the display connection's buffer until
  // the next events are fetched (the next frame): pumping now sends it, so a reader asking at once
  // finds the text.
  SDL_PumpEvents();
  return true;
}

bool SdlBackend::OpenJoystick() {
  if (joystick_) return true;
  if (!SDL_WasInit(SDL_INIT_JOYSTICK) || SDL_NumJoysticks() < 1) return false;
  joystick_ = SDL_JoystickOpen(0);
  return joystick_ != nullptr;
}

bool SdlBackend::JoystickCapabilities(unsigned id, JoystickCaps& out) {
  if (id != 0 || !OpenJoystick()) return false;
  out = JoystickCaps{};
  out.buttonCount = static_cast<uint32_t>(std::max(0, SDL_JoystickNumButtons(joystick_)));
  return true;
}

bool SdlBackend::ReadJoystick(unsigned id, JoystickPosition& out) {
  if (id != 0 || !OpenJoystick()) return false;
  SDL_JoystickUpdate();
  // SDL axes run from -32768 to 32767; the multimedia joystick reports 0..65535.
  out.x = static_cast<uint32_t>(SDL_JoystickGetAxis(joystick_, 0) + 32768);
  out.y = static_cast<uint32_t>(SDL_JoystickGetAxis(joystick_, 1) + 32768);
  out.buttons = 0;
  int count = std::min(8, SDL_JoystickNumButtons(joystick_));
  for (int i = 0; i < count; ++i)
    if (SDL_JoystickGetButton(joystick_, i)) out.buttons |= 1u << i;
  return true;
}

int SdlBackend::CurrentRefreshRate(WindowObject* window) {
  SDL_Window* native = NativeOf(window);
  int display = native ? SDL_GetWindowDisplayIndex(native) : 0;
  SDL_DisplayMode mode;
  if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) return 0;
  return mode.refresh_rate;
}

bool SdlBackend::TestRefreshRate(WindowObject* window, int hz) {
  SDL_Window* native = NativeOf(window);
  return native && FullScreenMode(native, window->clientWidth, window->clientHeight, hz).has_value();
}

bool SdlBackend::SetRefreshRate(WindowObject* window, int hz) {
  if (!TestRefreshRate(window, hz)) return false;
  fullScreenHz_ = hz;
  return true;
}

void SdlBackend::ShowMessageBox(WindowObject* owner, const std::string& text, const std::string& caption) {
  // SCATTERVIEW_NO_DIALOGS=1 keeps scripted runs from meeting a dialog that waits for a click.
  const char* skip = std::getenv("SCATTERVIEW_NO_DIALOGS");
  if (!HasDisplay() || (skip && *skip && std::strcmp(skip, "0") != 0) || posix::TerminationRequested()) return;
  SDL_Window* native = NativeOf(owner);
  const auto show = [&] { SDL_ShowSimpleMessageBox(0, caption.c_str(), text.c_str(), native); };
  // The box waits for a click in a process of its own, so that a signal still ends the run.
  if (!posix::RunInDialogProcess(show)) show();
}

int SdlBackend::ChosenScale() const {
  if (pictureScale_ >= 1 && pictureScale_ <= 4) return pictureScale_;
  if (pictureScale_ != 0) return 1;
  // Chosen from the display: a dense one (2 000 pixels high, or 192 dots an inch) doubles the picture.
  SDL_DisplayMode mode;
  float dpi = 0.0f;
  const bool tall = SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.h >= 2000;
  const bool dense = SDL_GetDisplayDPI(0, &dpi, nullptr, nullptr) == 0 && dpi >= 192.0f;
  return tall || dense ? 2 : 1;
}

bool SdlBackend::SetWindowTitle(WindowObject* window, const std::string& title) {
  SDL_Window* native = NativeOf(window);
  if (!native) return false;
  SDL_SetWindowTitle(native, title.c_str());
  window->title = title;
  return true;
}

void SdlBackend::KeepDesktopMode(SDL_Window* native) {
  const int display = SDL_GetWindowDisplayIndex(native);
  SDL_DisplayMode desktop;
  if (display < 0 || SDL_GetDesktopDisplayMode(display, &desktop) != 0) return;
  if (!keeper_.Start(posix::KeptMode{display, desktop.w, desktop.h, desktop.refresh_rate})) {
    std::fprintf(stderr, "scatterview: no keeper for the display mode; a crash would leave the display at %d x %d\n",
                 window_->clientWidth, window_->clientHeight);
  }
  keeper_.Changing();
}

bool SdlBackend::SetFullScreen(WindowObject* window, bool fullScreen) {
  SDL_Window* native = NativeOf(window);
  if (!native) return false;
  if (fullScreen == window->fullScreen) return true;
  if (fullScreen) {
    // A rate that cannot be had (it was tested before) leaves the choice to the sizes alone.
    std::optional<ScreenMode> mode = FullScreenMode(native, window->clientWidth, window->clientHeight, fullScreenHz_);
    if (!mode) mode = FullScreenMode(native, window->clientWidth, window->clientHeight, 0);
    SDL_Rect screen;
    if (!mode || SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(native), &screen) != 0) return false;
    // A mode of the picture's size is switched to; else the desktop's own is kept, the picture scaled.
    if (mode->pictureSized && SDL_SetWindowDisplayMode(native, &mode->mode) != 0) return false;
    if (mode->pictureSized) KeepDesktopMode(native);
    // The window is laid over the screen first: a window manager would do it for a full-screen window,
    // but a bare X server has none.
    SDL_GetWindowPosition(native, &windowed_[0], &windowed_[1]);
    SDL_GetWindowSize(native, &windowed_[2], &windowed_[3]);
    SDL_SetWindowPosition(native, screen.x, screen.y);
    SDL_SetWindowSize(native, mode->mode.w, mode->mode.h);
    const Uint32 flags = mode->pictureSized ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (SDL_SetWindowFullscreen(native, flags) != 0) return false;
  } else {
    if (SDL_SetWindowFullscreen(native, 0) != 0) return false;  // the desktop's own mode comes back
    keeper_.Restored();
    SDL_SetWindowSize(native, windowed_[2], windowed_[3]);
    SDL_SetWindowPosition(native, windowed_[0], windowed_[1]);
  }
  window_->FillScreen(fullScreen);
  window->fullScreen = fullScreen;
  window_->Repaint();
  return true;
}

}  // namespace platform::sdl2
