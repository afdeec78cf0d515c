// Draw: one picture of the scatter plot from the orbit camera, in world space with the data values as
// coordinates (up is +z). The near plane is 0, so every depth is 1.0 and later draws cover earlier
// ones: the axes cover the origin point, the data covers the axes.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "graphics/direct_graphics.h"
#include "platform/backend.h"
#include "platform/posix/termination.h"
#include "viewer/data_fit.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr D3DCOLOR kBackground = 0xFF140000u;
constexpr D3DCOLOR kOrigin = 0xFF000000u;
constexpr D3DCOLOR kAxes = 0xFF008040u;
constexpr D3DCOLOR kWhite = 0xFFFFFFFFu;
// The camera's angle uses this value of pi, not a more exact one.
constexpr double kPi = 3.141592;
constexpr double kAxisReach = 999.0;

constexpr const char* kHelpLines[] = {
    "[MOUSE HORIZONTAL MOVE]THETA / [VERTICAL MOVE]Z / [LEFT CLICK AND MOVE]R",
    "[ARROR KEY]AXIS MOVE / [X]AXIS DEFAULT POSITION / [Z]CAMERA DEFAULT POSITION",
    "[F1]SHOW HELP / [F2]LINE<>PIXEL MODE CHANGE / [F3]AUTO ANIME / [F4]SHOW FPS",
    "[F5]SHOW AXIS",
};

// Rows a device call: a long frame looks for an end of the run between calls, and a call costs little
// beside a chunk's rows (the device splits it between the cores).
constexpr UINT kRowsAChunk = 1u << 20;

}  // namespace

bool viewer::RunEnding() {
  return platform::posix::TerminationRequested() || platform::CurrentBackend().EndWaiting();
}

bool ViewerScene::DrawDataRows() {
  IDirect3DVertexBuffer8* rows = RowBuffer();
  if (!rows) return true;
  const size_t buffered = rowBuffer_.rows;
  const bool strip = lineMode != 0;
  const size_t count = strip ? buffered - 1 : buffered;  // segments join each row to the next
  for (size_t from = 0; from < count; from += kRowsAChunk) {
    if (from != 0 && viewer::RunEnding()) return false;
    const UINT chunk = static_cast<UINT>(std::min<size_t>(count - from, kRowsAChunk));
    g_graphics->DrawRowBuffer(rows, strip ? D3DPT_LINESTRIP : D3DPT_POINTLIST, static_cast<UINT>(from), chunk);
  }
  return true;
}

const viewer::RobustBox& ViewerScene::DrawnRowsBox() {
  // The drawn rows are all but the last; they change only when rows are loaded.
  const size_t drawn = dataX.empty() ? 0 : dataX.size() - 1;
  if (drawnBoxRows_ != drawn) {
    drawnBox_ = viewer::RobustBoxOf(dataX.data(), dataY.data(), dataZ.data(), drawn);
    drawnBoxRows_ = drawn;
  }
  return drawnBox_;
}

bool ViewerScene::Draw() {
  DirectGraphics& graphics = *g_graphics;
  IDirect3DDevice8* device = graphics.device;

  graphics.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground);
  device->BeginScene();

  const double angle = cameraTheta * kPi / 180.0;
  graphics.SetCamera(static_cast<float>(std::cos(angle) * cameraR), static_cast<float>(std::sin(angle) * cameraR),
                     static_cast<float>(cameraZ), static_cast<float>(axisX), 0.0f, static_cast<float>(axisY), 0.0f,
                     0.0f, 1.0f, 0, 1000, false);

  // Off screen on purpose: it leaves the font texture bound, so the DrawPoint below always unbinds a
  // texture and sets its stage states afresh, the very first frame included.
  DrawLargeText(-30, -30, ".", kWhite);
  graphics.DrawPoint(0.0, 0.0, 0.0, kOrigin);

  if (showAxis != 0) {
    graphics.DrawLine(-kAxisReach, 0.0, 0.0, kAxisReach, 0.0, 0.0, kAxes);
    graphics.DrawLine(0.0, -kAxisReach, 0.0, 0.0, kAxisReach, 0.0, kAxes);
    graphics.DrawLine(0.0, 0.0, -kAxisReach, 0.0, 0.0, kAxisReach, kAxes);
  }

  // The ranges of the rows drawn, when there are any: the box under the rows, the labels over them.
  const bool ranges = showRanges != 0 && dataX.size() > 1;
  if (ranges) DrawRangeBox();
  const bool whole = DrawDataRows();

  if (whole && ranges) DrawRangeLabels();
  // The help text at the top-left corner, the readouts at the bottom-left one, the notice below the middle.
  int32_t width = 0, height = 0;
  TextScreen(&width, &height);
  if (dataX.size() < 2 && !pendingRows_) {
    // An empty plot says why, just below the middle of the window's picture (clear of the origin).
    static constexpr char kNoRows[] = "NO ROWS TO DRAW WERE READ";
    DrawSmallText(width / 2 - static_cast<int32_t>(sizeof kNoRows - 1) * 4, height / 2 + 12, kNoRows, kWhite);
  }
  if (whole && showHint != 0) {
    char line[256];
    std::snprintf(line, sizeof line, "AXIS    X:%03d Y:%03d", axisX, axisY);
    DrawSmallText(2, height - 20, line, kWhite);
    std::snprintf(line, sizeof line, "CAMERA  R:%03d THETA:%03d Z:%03d", viewer::TruncateToInt32(cameraR),
                  viewer::TruncateToInt32(cameraTheta), cameraZ);
    DrawSmallText(2, height - 10, line, kWhite);
    for (int i = 0; i < 4; ++i) DrawSmallText(2, 10 * i, kHelpLines[i], kWhite);
  }

  // Every frame ends with an identity world, which the next frame's points and lines rely on.
  D3DXMatrixIdentity(&graphics.worldMatrix);
  device->SetTransform(D3DTS_WORLD, &graphics.worldMatrix);
  device->EndScene();
  return whole;
}
