// The frame driver: Start prepares the scene once before the main loop; RunFrame runs exactly one frame
// whenever the window's message queue is empty and tells the loop whether to end.
#include <cstdio>
#include <cstdlib>

#include "graphics/direct_graphics.h"
#include "input/input_manager.h"
#include "platform/frame_timer.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr int32_t kStartFps = 60;
// A second of this many frames or fewer is slow: the pacing restarts from the present moment instead
// of catching up with a burst of frames.
constexpr int32_t kSlowSecond = 56;
// The picture is 640 x 480, whatever Width and Height say, unless it follows a resizable window.
constexpr RECT kPictureRect{0, 0, 640, 480};

// A fresh schedule: the next frame is due one period from now.
void RestartPacing(int32_t fps) {
  g_frameTimer->startTime = timeGetTime();
  g_frameTimer->nextDeadline = 1000.0 / fps;
}

}  // namespace

void ViewerScene::Start() {
  try {
    g_graphics->LoadTexture(kFontTextureName, D3DX_FILTER_POINT);
  } catch (...) {
    // exit() runs the static destructors, so g_scene still writes its settings. A run that cannot
    // show anything has failed, whatever the message box looks like.
    platform::MessageBoxWithGloss(nullptr, "フォントファイルがありません", "", MB_OK, "font file data/font.dds missing");
    std::exit(1);
  }
  RestartPacing(kStartFps);
  g_graphics->SetFog(false, 0.0f, 800.0f, 0xFF000000u);
  followsWindow_ = g_graphics->FollowsWindowSize();
  if (followsWindow_) SetPictureSize(g_graphics->config.Width, g_graphics->config.Height);
  state = 0;
}

int32_t ViewerScene::RunFrame() {
  if (!frameClockStarted) {
    lastSecond = timeGetTime() / 1000;
    frameClockStarted = true;
  }
  // Escape while running is the window procedure's business; here it only cancels the loading.
  if (state != 1 && GetAsyncKeyState(VK_ESCAPE) != 0) state = 99;

  g_input->PollJoystick(0);
  g_input->PollMouse();

  if (state == 0) {
    LoadData();  // sets state 1 first: the rest of this frame runs as a running frame
  } else if (state == 1) {
    if (g_dataPath != loadedPath_ || g_dataDrops != seenDrops_) ReloadData();  // a file dropped on the window
    CollectPendingRows();
    UpdateControl();
  } else {
    return 1;
  }

  const GraphicsConfig& config = g_graphics->config;
  if (config.DRAWLEVEL != 0) drawToggle ^= 1;

  // A resized window's new size is taken only by a frame that draws (a reset leaves the buffer blank),
  // and before its states are set (a reset puts them back to their defaults).
  if (drawToggle != 0 && state == 1) FollowWindow();
  g_graphics->SetRenderStates(false);
  g_graphics->SetupLight();
  // A picture cut short because the run is ending is not shown: the messages that end it come next.
  if (drawToggle != 0 && state == 1 && !Draw()) return 0;

  int32_t width = 0, height = 0;
  TextScreen(&width, &height);
  if (showFps != 0) {
    g_graphics->device->BeginScene();
    char text[32];
    std::snprintf(text, sizeof text, "FPS:%d", measuredFps);
    DrawSmallText(width - 60, height - 10, text, 0xFFFFFFFFu);
    g_graphics->device->EndScene();
  }

  // Whole seconds of the clock: the first counted second is a partial one, and the frame during which
  // the second changes counts in the second that ends.
  ++frameCount;
  if (timeGetTime() / 1000 != lastSecond) {
    measuredFps = frameCount;
    frameCount = 0;
    lastSecond = timeGetTime() / 1000;
    if (measuredFps <= kSlowSecond) RestartPacing(targetFps);
  }

  // Full-screen with VSYNC_WAIT, the 60 Hz retrace paces the presents; where presenting does not wait
  // for it, the frame timer stands in, so that no setting leaves the frames unpaced.
  if (!g_graphics->RetracePacesPresents()) g_frameTimer->WaitFrame(targetFps);

  const RECT shown = followsWindow_ ? RECT{0, 0, width, height} : kPictureRect;
  g_graphics->Present(shown, shown);
  return 0;
}
