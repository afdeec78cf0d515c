#include "app/layer_seams.h"

#include "app/globals.h"

namespace app {

namespace {

constexpr int kTargetFps = 60;

}  // namespace

StartupHooks DefaultLayerHooks() {
  StartupHooks hooks;
  hooks.applyConfig = [](const StartupConfig&) {};
  hooks.initGraphics = [](HWND, const StartupConfig&) { return 0; };
  hooks.initInput = [](HWND, HINSTANCE) { return 0; };
  hooks.startScene = [] {
    // The scene's start sets the pacing: one period from now.
    g_frameTimer->startTime = timeGetTime();
    g_frameTimer->nextDeadline = 1000.0 / kTargetFps;
  };
  hooks.runFrame = [] {
    g_frameTimer->WaitFrame(kTargetFps);
    return 0;
  };
  hooks.destroyInput = [] {};
  hooks.destroyGraphics = [] {};
  return hooks;
}

uint8_t* InputWindowActiveFlag() { return nullptr; }

}  // namespace app
