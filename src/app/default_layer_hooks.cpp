// The program's own wiring: the real graphics layer, input layer and the program's one scene behind
// StartupHooks, and WinMain, which runs the shell with them. Built only into the program (library
// sv_app_wiring): referring to g_scene constructs the static scene, which reads config.ini beside the
// executable and writes it back at exit, so the shell's unit tests, which pass their own hooks, must
// not link this file.
#include "app/globals.h"
#include "app/layer_seams.h"
#include "app/win_main.h"
#include "graphics/direct_graphics.h"
#include "input/input_manager.h"
#include "viewer/viewer_scene.h"

namespace app {

namespace {

// The joystick thresholds the input layer starts with (its own unit: tenths).
constexpr int32_t kJoystickFactor = 7;

}  // namespace

StartupHooks DefaultLayerHooks() {
  StartupHooks hooks;
  hooks.applyConfig = [](const StartupConfig& config) {
    g_scene.SetShowFps(config.fps);
    g_scene.SetRowLimit(viewer::RowLimitFromSetting(config.maxRows), config.maxRowsName);
    g_scene.SetReadOptions(config.read);
  };
  hooks.overrideView = [](const viewer::ViewOptions& options) { g_scene.OverrideForThisRun(options); };
  hooks.initGraphics = [](HWND window, const StartupConfig& c) {
    g_graphics = new DirectGraphics();
    const int32_t result = g_graphics->Init(window, c.fullScreen, c.width, c.height, c.bit, c.vsyncWait,
                                            c.drawLevel, c.hardTL, c.fog, c.d3dxSprite, c.noBackDraw);
    // A window the user may resize: the back buffer follows its client size (the window ignores
    // RESIZABLE full-screen, and so does this).
    if (result == GRAPHICS_OK && c.resizable != 0 && c.fullScreen == 0) g_graphics->FollowWindowSize();
    // The viewer tells a device without memory as any other device that could not be made.
    return static_cast<int>(result == GRAPHICS_NO_MEMORY ? GRAPHICS_NO_DEVICE : result);
  };
  hooks.initInput = [](HWND window, HINSTANCE instance) {
    g_input = new InputManager();
    int result = g_input->Init(window, instance, 1);
    if (result == 0) g_input->joyFactorY = g_input->joyFactorX = kJoystickFactor;
    return result;
  };
  hooks.startScene = [] { g_scene.Start(); };
  hooks.runFrame = [] { return static_cast<int>(g_scene.RunFrame()); };
  hooks.destroyInput = [] {
    delete g_input;
    g_input = nullptr;
  };
  hooks.destroyGraphics = [] {
    // The scene's vertex buffer belongs to the device: it goes while the device is still there, so the
    // settings save at process end has nothing left to release.
    if (g_graphics) g_scene.ReleaseDeviceResources();
    delete g_graphics;
    g_graphics = nullptr;
  };
  return hooks;
}

}  // namespace app

int WinMain(HINSTANCE instance, HINSTANCE, const char* commandLine, int, const viewer::ViewOptions& options) {
  return app::RunApplication(instance, commandLine, app::DefaultLayerHooks(), options);
}
