#include "app/layer_seams.h"

#include "input/input_manager.h"

namespace app {

// DefaultLayerHooks() is in default_layer_hooks.cpp, built only into the program.

uint8_t* InputWindowActiveFlag() { return g_input ? &g_input->windowActive : nullptr; }

}  // namespace app
