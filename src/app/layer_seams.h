// Where the graphics layer, the input layer and the scene plug into the shell. Start-up, the main loop
// and shutdown call the layers only through StartupHooks, so tests can pass their own. The program's
// own hooks (DefaultLayerHooks(), default_layer_hooks.cpp, library sv_app_wiring) wire the real layers:
// g_graphics, g_input and g_scene; InputWindowActiveFlag() is in layer_seams.cpp.
#pragma once

#include <cstdint>
#include <functional>

#include "app/app_texts.h"
#include "app/startup_config.h"
#include "platform/win32.h"
#include "viewer/view_options.h"

namespace app {

struct StartupHooks {
  // After the keys are read: settings that go to the scene (FPS -> g_scene.showFps, MAXROWS -> its row limit).
  std::function<void(const StartupConfig&)> applyConfig;
  // Then the command line's view options, shown for this run only (g_scene.OverrideForThisRun); may be
  // empty.
  std::function<void(const viewer::ViewOptions&)> overrideView;
  // Create g_graphics and Init it with the window and the ten settings; Init's result (0 = success).
  std::function<int(HWND window, const StartupConfig&)> initGraphics;
  // Create g_input, Init it (window, instance, use the mouse) and, on success, set its joystick
  // factors to 7; Init's result (0 = success).
  std::function<int(HWND window, HINSTANCE instance)> initInput;
  // g_scene.Start(): font texture, frame pacing, fog.
  std::function<void()> startScene;
  // One frame (g_scene.RunFrame()); non-zero ends the main loop after it.
  std::function<int()> runFrame;
  // Shutdown, in this order; each deletes its layer only when it exists.
  std::function<void()> destroyInput;
  std::function<void()> destroyGraphics;
  // The single-instance guard's name (tests use their own).
  const char* instanceName = kInstanceName;
};

// The program's hooks: DirectGraphics, InputManager and the scene's Start and RunFrame. Linked only
// into the program (sv_app_wiring), since it brings the static scene with it.
StartupHooks DefaultLayerHooks();

// The input layer's windowActive flag, or null while there is no input layer (the window procedure
// writes it on WM_ACTIVATE).
uint8_t* InputWindowActiveFlag();

// A new client size of a resizable window (WM_SIZE), for the graphics layer to take at the next frame;
// nothing while there is no graphics layer or its back buffer does not follow the window.
void RecordWindowSize(int32_t width, int32_t height);

}  // namespace app
