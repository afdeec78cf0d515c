// One run of the built viewer in a real X window: a private Xvfb, a private copy of the program with
// data/font.dds, its own data file and config.ini, its own XDG_RUNTIME_DIR and no dialogs. The test
// drives the window with xdotool (keys, relative mouse motion, buttons) and reads its pixels with
// ImageMagick's import. Paired with viewer_under_x.cpp.
//
//   ViewerUnderX viewer;                       // Xvfb up
//   viewer.WriteData("10,20,30\n");
//   ASSERT_TRUE(viewer.Start());               // window found, focused, first picture shown
//   viewer.Key("F1");
//   testsupport::Screenshot shot = viewer.Capture();
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "process_runner.h"
#include "temp_dir.h"
#include "xvfb_server.h"

namespace e2e {

// The programs the end-to-end tests need; the names of those missing ("" when all are there).
std::string MissingTools();

// The background the scene clears to, as the screenshot shows it (0xRRGGBB).
constexpr uint32_t kBackground = 0x140000;
constexpr uint32_t kAxisGreen = 0x008040;
constexpr uint32_t kWhite = 0xFFFFFF;

class ViewerUnderX {
 public:
  // The private X server's screen is `screenWidth` × `screenHeight`.
  explicit ViewerUnderX(int screenWidth = 1024, int screenHeight = 768);
  ~ViewerUnderX();
  ViewerUnderX(const ViewerUnderX&) = delete;
  ViewerUnderX& operator=(const ViewerUnderX&) = delete;

  bool XOk() const { return x_.Ok(); }
  const std::string& Folder() const { return dir_.Path(); }
  std::string ConfigPath() const { return dir_ / "config.ini"; }
  const std::string& Display() const { return x_.Display(); }

  // The data file (data.csv, the default NAME) and config.ini, written before Start.
  void WriteData(const std::string& bytes);
  void WriteConfig(const std::string& bytes);

  // Starts the program and waits until its window shows a first picture (mostly of the `background`
  // colour); false, with Failure() telling why, when any of that does not happen.
  bool Start(const std::vector<std::string>& args = {}, uint32_t background = kBackground);
  const std::string& Failure() const { return failure_; }
  const std::string& Window() const { return window_; }
  std::string WindowName();  // the title, as the X server has it
  testsupport::Process& Proc() { return *process_; }

  // A second program started from the same folder (same lock, same config), not waited for.
  std::unique_ptr<testsupport::Process> StartAnother(const std::vector<std::string>& args = {});

  // Gives the program's window the keyboard focus again (as a click on it would).
  bool Focus();
  // Input, sent to the program's window (it has the focus).
  void Key(const std::string& keys);  // e.g. "F1", "Up", "z"
  void KeyDown(const std::string& key);
  void KeyUp(const std::string& key);
  void MoveMouse(int dx, int dy);  // one relative motion
  void MouseDown(int button);
  void MouseUp(int button);
  // The pointer to (x, y) of the window's client area, as a real pointer moves; the clipboard's text
  // (xclip), "" when it has none or xclip is missing.
  void MovePointerTo(int x, int y);
  std::string Clipboard();
  // What a window manager sends when the window's close button is pressed (WM_DELETE_WINDOW).
  bool PressCloseButton();
  // Hides the window and shows it again: the X server forgets what it showed and asks for it anew.
  bool Remap();
  // Moves the window to the screen's top-left corner and gives it this size, as a drag of its edge or
  // a window manager's maximise would (Xvfb runs none, so no maximise of its own).
  bool Resize(int width, int height);

  testsupport::Screenshot Capture();
  // Captures until `condition` holds for a screenshot (returned) or timeoutMs passes (the last one,
  // and *held = false).
  testsupport::Screenshot CaptureUntil(const std::function<bool(const testsupport::Screenshot&)>& condition,
                                       int timeoutMs, bool* held);

  // Waits for the end of the run; the exit status, or -1 when it did not end in time.
  int WaitExit(int timeoutMs);
  std::string Config() const { return testsupport::ReadFile(ConfigPath()); }

 private:
  std::string Xdotool(const std::string& arguments, int* status = nullptr);
  testsupport::ProcessLaunch Launch(const std::vector<std::string>& args) const;

  testsupport::XvfbServer x_;
  testsupport::TempDir dir_;
  std::string program_;
  std::unique_ptr<testsupport::Process> process_;
  std::string window_;
  std::string failure_;
};

}  // namespace e2e
