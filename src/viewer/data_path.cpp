// The data file path lives apart from the scene so that the shell can set it without pulling in the
// scene and the layers it draws with.
#include <string>

#include "viewer/viewer_scene.h"

std::string g_dataPath;
unsigned g_dataDrops = 0;
