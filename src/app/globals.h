// The process-wide state of the shell. The layers' own pointers (g_frameTimer, g_graphics, g_input), the
// scene (g_scene) and the data path it loads (g_dataPath) belong to their layers; included here.
#pragma once

#include <string>

#include "platform/frame_timer.h"
#include "platform/win32.h"
#include "viewer/viewer_scene.h"

extern HWND g_mainWindow;         // null until the window exists
extern int g_quit;                // 0 at start; 1 ends the main loop
extern HIMC g_savedImeContext;    // the input context detached at start-up; null when there was none
