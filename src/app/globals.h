// The process-wide state of the shell. The layers' own pointers (g_graphics, g_input) and the scene
// (g_scene) belong to their layers and join here when those are wired in (see layer_seams.h).
#pragma once

#include <string>

#include "platform/frame_timer.h"
#include "platform/win32.h"

extern FrameTimer* g_frameTimer;  // created first at start-up; null before
extern HWND g_mainWindow;         // null until the window exists
extern int g_quit;                // 0 at start; 1 ends the main loop
extern std::string g_dataPath;    // the data file path (UTF-8, any length); also the window title
extern HIMC g_savedImeContext;    // the input context detached at start-up; null when there was none
