// The program's one scene. Static storage: it reads config.ini before main runs and writes the view keys
// back when the process exits, whichever way it exits (a normal end, or exit() after a start-up error).
// Alone in its file so that tests, which build their own scenes, never construct it.
#include "viewer/viewer_scene.h"

ViewerScene g_scene;
