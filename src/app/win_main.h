// The start-up of the program, its main loop and its shutdown.
#pragma once

#include "app/layer_seams.h"
#include "platform/win32.h"
#include "viewer/view_options.h"

// The entry point as the platform's start-up calls it, with the program's own layers (defined with
// DefaultLayerHooks in default_layer_hooks.cpp, library sv_app_wiring). `commandLine` is the data path
// part of the arguments; `options`, the view options before it, act for this run only. Returns the
// exit status: 0 after a normal run, 1 when the data file does not open, -1 when start-up fails
// (another instance, a layer that does not start). A failing start-up returns at once, leaving what it
// made as it is (the process ends right after, as the runtime's exit would end it).
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, const char* commandLine, int showCommand,
            const viewer::ViewOptions& options = {});

namespace app {

// WinMain with the layers given by `hooks`.
int RunApplication(HINSTANCE instance, const char* commandLine, const StartupHooks& hooks,
                   const viewer::ViewOptions& options = {});

// Whether the data file can be opened for reading; a directory cannot.
bool DataFileOpens(const std::string& path);

}  // namespace app
