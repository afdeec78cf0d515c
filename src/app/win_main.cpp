#include "app/win_main.h"

#include <cstdio>

#include "app/app_texts.h"
#include "app/command_line.h"
#include "app/globals.h"
#include "app/main_window_proc.h"
#include "app/startup_config.h"
#include "platform/posix/settings_path.h"
#include "platform/posix/termination.h"
#include "platform/printable_text.h"
#include "platform/profile.h"
#include "viewer/data_loader.h"

namespace app {

namespace {

constexpr int kExitFailure = -1;  // shows as 255
// A data file that does not open ends the run after its message: a failure, not a normal end.
constexpr int kExitDataFileMissing = 1;

void ReportGraphicsFailure(int result) {
  const char* text = kTextGraphicsUnknown;
  const char* caption = kCaptionWarning;
  switch (result) {
    case 1: text = kTextGraphicsInit; break;
    case 2: text = kTextDeviceInit; caption = kCaptionDevice; break;
    case 3: text = kTextSpriteInit; break;
    case 4: text = kTextRefreshRate; break;
    default: break;
  }
  platform::MessageBoxWithGloss(g_mainWindow, text, caption, MB_OK, GlossOf(text));
}

// Drains every waiting message; when none waits, runs one frame (which waits for its own slot).
void RunMainLoop(const StartupHooks& hooks) {
  while (g_quit == 0) {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      continue;
    }
    if (hooks.runFrame() != 0) g_quit = 1;
  }
}

void Shutdown(const StartupHooks& hooks) {
  if (g_savedImeContext) ImmAssociateContext(g_mainWindow, g_savedImeContext);
  hooks.destroyInput();
  hooks.destroyGraphics();
  delete g_frameTimer;  // also ends the single-instance guard
  g_frameTimer = nullptr;
}

// Said once at start, so that a view lost at the end is no surprise.
void ReportUnsavedSettings(const std::string& programFolder, const std::string& configPath) {
  if (platform::ProfileTooLarge(configPath)) {
    std::fprintf(stderr,
                 "scatterview: %s is larger than %lld MiB: its settings are not read and the view is not saved\n",
                 platform::PrintableText(configPath).c_str(), platform::kLargestProfileBytes >> 20);
    return;
  }
  const std::string why = platform::posix::WhyTheViewIsNotSaved(programFolder, configPath);
  if (!why.empty())
    std::fprintf(stderr, "scatterview: %s: the view will not be saved\n", platform::PrintableText(why).c_str());
}

// The program's window, titled with the data path, of a client area of Width x Height (or covering the
// display); null when it cannot be made.
HWND CreateMainWindow(HINSTANCE instance, const StartupConfig& config) {
  // White shows wherever the picture does not reach (a client area larger than what is presented).
  WNDCLASSA windowClass{.style = 0,
                        .lpfnWndProc = MainWndProc,
                        .lpszClassName = kWindowClassName,
                        .hbrBackground = GetStockObject(WHITE_BRUSH)};
  RegisterClassA(&windowClass);
  platform::CurrentBackend().SetPictureScale(config.scale);
  int width = config.width, height = config.height;
  if (config.fullScreen == 0) {
    // The outer size that leaves a client area of Width x Height.
    width += 2 * GetSystemMetrics(SM_CXDLGFRAME);
    height += 2 * GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION);
  }
  DWORD style = WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX;
  // RESIZABLE: a frame the user can drag and a maximise box; full-screen has neither.
  if (config.resizable != 0 && config.fullScreen == 0) style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
  return CreateWindowExA(0, kWindowClassName, g_dataPath.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, width,
                         height, nullptr, nullptr, instance, nullptr);
}

}  // namespace

bool DataFileOpens(const std::string& path) {
  if (viewer::CanReadDataFile(path)) return true;
  // A path that is there but no file of rows says what it is; the message that follows is the usual one.
  const std::string why = viewer::WhyNoFileOfRows(path);
  if (!why.empty())
    std::fprintf(stderr, "scatterview: %s: %s\n", platform::PrintableText(path).c_str(), why.c_str());
  return false;
}

int RunApplication(HINSTANCE instance, const char* commandLine, const StartupHooks& hooks,
                   const viewer::ViewOptions& options) {
  g_frameTimer = new FrameTimer();
  // The scene prepared the same file while it was built.
  const std::string programFolder = FrameTimer::GetModuleDirectory();
  std::string configPath = platform::posix::PrepareSettingsFile(programFolder);
  ReportUnsavedSettings(programFolder, configPath);

  StartupConfig config = ReadStartupConfig(configPath);
  // A signal while a large file was read: the keys may be cut short, so nothing else is done.
  if (platform::posix::TerminationRequested()) return 0;
  ApplyCommandLine(options, config);
  g_dataPath = config.name;
  hooks.applyConfig(config);
  if (hooks.overrideView) hooks.overrideView(options);
  if (commandLine && *commandLine) g_dataPath = DataPathFromCommandLine(commandLine);

  if (!DataFileOpens(g_dataPath)) {
    platform::MessageBoxWithGloss(nullptr, kTextFileNotFound, g_dataPath.c_str(), MB_OK, GlossOf(kTextFileNotFound));
    return kExitDataFileMissing;
  }

  // A signal before the window exists ends the run here, as the close button would later.
  if (platform::posix::TerminationRequested()) return 0;

  g_mainWindow = CreateMainWindow(instance, config);
  if (g_frameTimer->IsAlreadyRunning(hooks.instanceName)) {
    platform::MessageBoxWithGloss(nullptr, kTextSecondInstance, kCaptionSecondInstance, MB_OK,
                                  GlossOf(kTextSecondInstance));
    g_quit = 1;
    return kExitFailure;
  }

  if (!g_mainWindow) {
    // The device needs the window: this is where its set-up would fail.
    std::fprintf(stderr, "scatterview: the window (%d x %d) could not be created\n", config.width, config.height);
    ReportGraphicsFailure(2);
    g_quit = 1;
    return kExitFailure;
  }

  if (int result = hooks.initGraphics(g_mainWindow, config); result != 0) {
    ReportGraphicsFailure(result);
    g_quit = 1;
    return kExitFailure;
  }
  if (hooks.initInput(g_mainWindow, instance) != 0) {
    platform::MessageBoxWithGloss(g_mainWindow, kTextInputInit, kCaptionWarning, MB_OK, GlossOf(kTextInputInit));
    g_quit = 1;
    return kExitFailure;
  }

  // Keys reach the program directly, without an input-method editor in between.
  if (!g_savedImeContext) g_savedImeContext = ImmAssociateContext(g_mainWindow, nullptr);

  hooks.startScene();
  RunMainLoop(hooks);
  Shutdown(hooks);
  return 0;
}

}  // namespace app
