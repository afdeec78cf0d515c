// The picture of a window the user may resize (RESIZABLE): the whole back buffer, which takes the
// window's client size at the first frame after a change. The help text stays at the top-left, the
// readouts keep to the bottom corners and the range labels to the whole picture.
#include <cstdio>

#include "graphics/direct_graphics.h"
#include "viewer/viewer_scene.h"

namespace {

// The picture of a window that does not follow its size: this corner of the back buffer.
constexpr int32_t kWindowPictureWidth = 640;
constexpr int32_t kWindowPictureHeight = 480;

}  // namespace

void ViewerScene::FollowWindow() {
  if (!followsWindow_) return;
  int32_t width = 0, height = 0;
  const WindowSizeChange change = g_graphics->ApplyWindowSize(&width, &height);
  if (change == WindowSizeChange::Resized) resizeFailureTold_ = false;
  if ((change == WindowSizeChange::NoMemory || change == WindowSizeChange::Refused) && !resizeFailureTold_) {
    // Once, however many sizes a drag of the window's edge goes through before one fits again.
    std::fprintf(stderr, "scatterview: the picture cannot be %d x %d (%s); it stays %d x %d\n", width, height,
                 change == WindowSizeChange::NoMemory ? "out of memory" : "a size the device refuses",
                 g_graphics->config.Width, g_graphics->config.Height);
    resizeFailureTold_ = true;
  }
  SetPictureSize(g_graphics->config.Width, g_graphics->config.Height);
}

void ViewerScene::TextScreen(int32_t* width, int32_t* height) const {
  // The render tool's --size picture is whole too.
  if (followsWindow_ || pictureWidth_ > 0) {
    PictureSize(width, height);
    return;
  }
  *width = kWindowPictureWidth;
  *height = kWindowPictureHeight;
}
