#include "app/globals.h"

HWND g_mainWindow = nullptr;
int g_quit = 0;
HIMC g_savedImeContext = nullptr;
