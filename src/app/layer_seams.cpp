#include "app/layer_seams.h"

#include "graphics/direct_graphics.h"
#include "input/input_manager.h"

namespace app {

// DefaultLayerHooks() is in default_layer_hooks.cpp, built only into the program.

uint8_t* InputWindowActiveFlag() { return g_input ? &g_input->windowActive : nullptr; }

void RecordWindowSize(int32_t width, int32_t height) {
  if (g_graphics) g_graphics->WindowResized(width, height);
}

}  // namespace app
