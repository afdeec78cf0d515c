#include "app/globals.h"

FrameTimer* g_frameTimer = nullptr;
HWND g_mainWindow = nullptr;
int g_quit = 0;
std::string g_dataPath;
HIMC g_savedImeContext = nullptr;
