// Dropping a file on a window the way a file manager does, over the X drag-and-drop protocol
// (version 5): enter, position, drop, then the file's URI handed over as the drag's selection.
// Paired with file_drop.cpp.
#pragma once

#include <string>

namespace e2e {

// Drops the file at `path` (absolute) on window `windowId` (decimal, as xdotool gives it) of display
// `display`. True when the window took the drop (answered that it finished).
bool DropFileOnWindow(const std::string& display, const std::string& windowId, const std::string& path);

}  // namespace e2e
