// The screenshot key: F12 writes the picture the window shows to scatterview-YYYYMMDD-HHMMSS.png in
// the current folder and names it on stderr. The window procedure calls TakeScreenshot between
// frames, when the back buffer holds exactly the presented picture (the swap effect copies).
// Paired with screenshot.cpp.
#pragma once

#include <ctime>
#include <string>

#include "render/d3d8.h"

namespace app {

// "scatterview-YYYYMMDD-HHMMSS.png" for the local time `when`; from the second picture of the same
// second on, "-2", "-3", … before ".png", so a quick second press never replaces the first picture.
std::string ScreenshotPath(const std::string& folder, std::time_t when);

// Writes the top-left 640 × 480 of the device's back buffer (less when the buffer is smaller; all of
// it with `wholeBackBuffer`, the picture of a resizable window) to a new screenshot file in `folder`.
// True with the path in `written`, or false with the reason in `error`.
bool SaveScreenshot(IDirect3DDevice8* device, const std::string& folder, std::time_t when, std::string* written,
                    std::string* error, bool wholeBackBuffer = false);

// F12 in the running viewer: the current picture of g_graphics' device into the current folder; the
// path, or the failure, on stderr. The run goes on either way.
void TakeScreenshot();

}  // namespace app
