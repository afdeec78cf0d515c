#include "viewer_under_x.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "program_folder.h"

namespace e2e {

namespace {

bool OnPath(const std::string& program) {
  std::string command = "command -v " + program + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// The share of the screenshot's pixels that have exactly this colour.
// The share of `colour` in the picture, the top-left 640 × 480 of the window (a larger window shows
// white around it).
double ShareOf(const testsupport::Screenshot& shot, uint32_t colour) {
  const int w = std::min(shot.width, 640), h = std::min(shot.height, 480);
  if (w <= 0 || h <= 0) return 0.0;
  long count = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) count += shot.Pixel(x, y) == colour;
  return static_cast<double>(count) / (static_cast<double>(w) * h);
}

}  // namespace

std::string MissingTools() {
  std::string missing;
  for (const char* tool : {"Xvfb", "xdotool", "import", "xwininfo"})
    if (!OnPath(tool)) missing += std::string(missing.empty() ? "" : ", ") + tool;
  return missing;
}

ViewerUnderX::ViewerUnderX(int screenWidth, int screenHeight) : x_(screenWidth, screenHeight) {
  program_ = testsupport::PrepareProgramFolder(dir_.Path());
}

ViewerUnderX::~ViewerUnderX() {
  // The program goes before its X server, so it never meets a vanished display.
  if (process_ && process_->Running()) {
    process_->Signal(SIGTERM);
    if (!process_->Wait(3000)) process_->Signal(SIGKILL);
    process_->Wait(3000);
  }
  process_.reset();
}

void ViewerUnderX::WriteData(const std::string& bytes) { testsupport::WriteFile(dir_ / "data.csv", bytes); }
void ViewerUnderX::WriteConfig(const std::string& bytes) { testsupport::WriteFile(ConfigPath(), bytes); }

testsupport::ProcessLaunch ViewerUnderX::Launch(const std::vector<std::string>& args) const {
  testsupport::ProcessLaunch launch;
  launch.program = program_;
  launch.args = args;
  launch.cwd = dir_.Path();
  launch.env = {{"DISPLAY", x_.Display()}, {"XDG_RUNTIME_DIR", dir_.Path()}, {"SCATTERVIEW_NO_DIALOGS", "1"}};
  launch.unsetEnv = {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
  return launch;
}

bool ViewerUnderX::Start(const std::vector<std::string>& args, uint32_t background) {
  if (!x_.Ok()) {
    failure_ = "Xvfb did not start";
    return false;
  }
  process_ = std::make_unique<testsupport::Process>(Launch(args));
  if (!process_->Started()) {
    failure_ = "the program did not start";
    return false;
  }
  std::string pid = std::to_string(process_->Pid());
  bool found = testsupport::WaitUntil([&] {
    std::istringstream ids(Xdotool("search --onlyvisible --pid " + pid));
    ids >> window_;
    return !window_.empty() || !process_->Running();
  }, 10000);
  if (!found || window_.empty()) {
    failure_ = "no window of pid " + pid + " appeared; windows: " +
               testsupport::RunWithDisplay(x_.Display(), "xwininfo -root -tree 2>&1 | grep -v 'has no name'") +
               "; the program waits in: " + testsupport::ReadFile("/proc/" + pid + "/wchan") +
               "; stderr: " + process_->Stderr();
    return false;
  }
  if (!Focus()) {
    failure_ = "the window could not be focused";
    return false;
  }
  bool shown = false;
  CaptureUntil([&](const testsupport::Screenshot& s) { return ShareOf(s, background) > 0.5; }, 10000, &shown);
  if (!shown) {
    failure_ = "the window never showed the scene's background; stderr: " + process_->Stderr();
    return false;
  }
  // The program takes the mouse on the first frame after it learns of the focus; motion sent before
  // that is not its to count. A few frames' grace.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  return true;
}

std::unique_ptr<testsupport::Process> ViewerUnderX::StartAnother(const std::vector<std::string>& args) {
  return std::make_unique<testsupport::Process>(Launch(args));
}

std::string ViewerUnderX::Xdotool(const std::string& arguments, int* status) {
  // `timeout` keeps a stuck xdotool (a --sync that never comes) from hanging the test.
  return testsupport::RunWithDisplay(x_.Display(), "timeout 10 xdotool " + arguments + " 2>/dev/null", status);
}

std::string ViewerUnderX::WindowName() { return Xdotool("getwindowname " + window_); }

bool ViewerUnderX::Focus() {
  int status = 0;
  Xdotool("windowfocus --sync " + window_, &status);
  return status == 0;
}

bool ViewerUnderX::Remap() {
  int unmapped = -1, mapped = -1;
  Xdotool("windowunmap --sync " + window_, &unmapped);
  Xdotool("windowmap --sync " + window_, &mapped);
  return unmapped == 0 && mapped == 0;
}

bool ViewerUnderX::Resize(int width, int height) {
  int moved = -1, sized = -1;
  Xdotool("windowmove --sync " + window_ + " 0 0", &moved);
  Xdotool("windowsize --sync " + window_ + " " + std::to_string(width) + " " + std::to_string(height), &sized);
  return moved == 0 && sized == 0;
}

void ViewerUnderX::Key(const std::string& keys) { Xdotool("key " + keys); }
void ViewerUnderX::KeyDown(const std::string& key) { Xdotool("keydown " + key); }
void ViewerUnderX::KeyUp(const std::string& key) { Xdotool("keyup " + key); }
void ViewerUnderX::MoveMouse(int dx, int dy) {
  Xdotool("mousemove_relative -- " + std::to_string(dx) + " " + std::to_string(dy));
}
void ViewerUnderX::MouseDown(int button) { Xdotool("mousedown " + std::to_string(button)); }
void ViewerUnderX::MouseUp(int button) { Xdotool("mouseup " + std::to_string(button)); }

void ViewerUnderX::MovePointerTo(int x, int y) {
  Xdotool("mousemove --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y));
}
std::string ViewerUnderX::Clipboard() {
  // SDL offers the text as UTF8_STRING only (not xclip's default STRING).
  return testsupport::RunWithDisplay(x_.Display(),
                                     "timeout 5 xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null");
}

bool ViewerUnderX::PressCloseButton() {
  // xdotool of this generation can only destroy a window, which no real close button does; a window
  // manager asks the client instead, with a WM_PROTOCOLS message naming WM_DELETE_WINDOW.
  ::Display* display = XOpenDisplay(x_.Display().c_str());
  if (!display) return false;
  ::Window target = std::strtoul(window_.c_str(), nullptr, 0);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = target;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  Status sent = XSendEvent(display, target, False, NoEventMask, &event);
  XFlush(display);
  XCloseDisplay(display);
  return sent != 0;
}

testsupport::Screenshot ViewerUnderX::Capture() { return testsupport::CaptureWindow(x_.Display(), window_); }

testsupport::Screenshot ViewerUnderX::CaptureUntil(
    const std::function<bool(const testsupport::Screenshot&)>& condition, int timeoutMs, bool* held) {
  testsupport::Screenshot shot;
  bool ok = testsupport::WaitUntil([&] {
    shot = Capture();
    return shot.width > 0 && condition(shot);
  }, timeoutMs);
  if (held) *held = ok;
  return shot;
}

int ViewerUnderX::WaitExit(int timeoutMs) {
  if (!process_ || !process_->Wait(timeoutMs)) return -1;
  return process_->ExitStatus();
}

}  // namespace e2e
