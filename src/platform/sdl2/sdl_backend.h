// SdlBackend: the real backend on SDL2 — the one main window and its events as window messages, the
// key state, relative mouse, joystick 0, display modes, message boxes and the window surface as the
// present target. The posix pieces give the clock and the event. The header keeps SDL out of its
// includers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/backend.h"
#include "platform/key_state.h"
#include "platform/posix/mode_keeper.h"

struct SDL_Window;
struct _SDL_Joystick;
union SDL_Event;

namespace platform::sdl2 {

class SdlWindow;

// The smallest client area a resizable window may be given, in picture pixels.
constexpr int kSmallestClientWidth = 160;
constexpr int kSmallestClientHeight = 120;

class SdlBackend : public Backend {
 public:
  // Empty when a display is there or a video driver was chosen (SDL_VIDEODRIVER); otherwise the
  // reason, because SDL would quietly fall back to an invisible window.
  static std::string MissingDisplayReason();

  SdlBackend();  // initialises SDL; check Ok()
  ~SdlBackend() override;
  bool Ok() const { return ok_; }
  const std::string& Error() const { return error_; }

  uint32_t Milliseconds() override;
  std::unique_ptr<WaitableEvent> CreateEvent() override;
  bool HasDisplay() override;
  WindowObject* CreateMainWindow(const std::string& title, int clientWidth, int clientHeight, bool fullScreen,
                                 std::optional<uint32_t> background = std::nullopt, bool resizable = false) override;
  bool NextMessage(MSG& out) override;
  bool EndWaiting() override;
  PresentTarget* TargetOf(WindowObject* window) override;
  SHORT AsyncKeyState(int vk) override { return keys_.Query(vk); }
  bool AcquireMouse(WindowObject* window) override;
  bool ReadMouse(MouseState& out) override;
  bool SetPointerFree(bool free) override;
  bool PointerPosition(int* x, int* y) override;
  bool SetClipboardText(const std::string& text) override;
  bool JoystickCapabilities(unsigned id, JoystickCaps& out) override;
  bool ReadJoystick(unsigned id, JoystickPosition& out) override;
  int CurrentRefreshRate(WindowObject* window) override;
  bool TestRefreshRate(WindowObject* window, int hz) override;
  bool SetRefreshRate(WindowObject* window, int hz) override;
  void ShowMessageBox(WindowObject* owner, const std::string& text, const std::string& caption) override;
  bool SetFullScreen(WindowObject* window, bool fullScreen) override;
  bool SetWindowTitle(WindowObject* window, const std::string& title) override;
  void SetPictureScale(int scale) override { pictureScale_ = scale; }

 private:
  // NextMessage's steps: the message an event stands for (false for none), a window event's, and the
  // mouse and joystick state the other events change.
  bool MessageOf(const SDL_Event& e, MSG& out);
  bool WindowMessageOf(const SDL_Event& e, MSG& out);
  // WM_SIZE for a resizable window whose client size changed (false when it did not, in picture pixels).
  bool SizeMessage(MSG& out);
  void FoldIntoState(const SDL_Event& e);
  bool OpenJoystick();
  int ChosenScale() const;  // the picture scale of the next window (1 to 4)
  SDL_Window* NativeOf(WindowObject* window) const;
  // Before the display leaves its desktop mode: the keeper that gives it back however the run ends.
  void KeepDesktopMode(SDL_Window* native);

  bool ok_ = false;
  uint32_t lastLook_ = 0;  // when the events were last fetched from the window system
  std::string error_;
  std::unique_ptr<SdlWindow> window_;
  KeyStateTable keys_;
  bool focused_ = true;        // a new window is shown active
  bool terminationDelivered_ = false;  // SIGINT, SIGTERM or SIGHUP has been handed out as WM_CLOSE
  bool mouseAcquired_ = false;
  bool pointerFree_ = false;   // the system cursor shows; relative mode stays off while acquired
  int pictureScale_ = 1;       // as SetPictureScale gave it
  int fullScreenHz_ = 0;       // the rate full-screen runs the display at, as SetRefreshRate gave it (0: any)
  int windowed_[4] = {};       // x, y, width, height of the window before it was made full-screen
  DroppedFiles dropped_;       // the files of the last drop, until DragFinish
  MouseState mouse_;           // movement summed since the last read; buttons as they are now
  _SDL_Joystick* joystick_ = nullptr;
  posix::ModeKeeper keeper_;   // destroyed after SDL's end, which gives the desktop's mode back
};

}  // namespace platform::sdl2
