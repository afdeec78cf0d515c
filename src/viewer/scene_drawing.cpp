// Draw: one picture of the scatter plot from the orbit camera, in world space with the data values as
// coordinates (up is +z). The near plane is 0, so every depth is 1.0 and later draws cover earlier
// ones: the axes cover the origin point, the data covers the axes.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <string>

#include "graphics/direct_graphics.h"
#include "platform/backend.h"
#include "platform/posix/termination.h"
#include "viewer/data_fit.h"
#include "viewer/scene_colours.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr D3DCOLOR kBackground = viewer::kBackgroundColour;
constexpr D3DCOLOR kOrigin = viewer::kOriginColour;
constexpr D3DCOLOR kAxes = viewer::kAxesColour;
constexpr D3DCOLOR kWhite = viewer::kWhiteColour;
// The camera's angle uses this value of pi, not a more exact one.
constexpr double kPi = 3.141592;
constexpr double kAxisReach = 999.0;

constexpr const char* kHelpLines[] = {
    "[MOUSE HORIZONTAL MOVE]THETA / [VERTICAL MOVE]Z / [LEFT CLICK AND MOVE]R",
    "[ARROR KEY]AXIS MOVE / [X]AXIS DEFAULT POSITION / [Z]CAMERA DEFAULT POSITION",
    "[F1]SHOW HELP / [F2]LINE<>PIXEL MODE CHANGE / [F3]AUTO ANIME / [F4]SHOW FPS",
    "[F5]SHOW AXIS",
};
constexpr const char kPointerHelp[] = "[P]MOUSE BACK TO THE CAMERA / [LEFT CLICK]COPY THE RINGED ROW";

// Rows a device call: a long frame looks for an end of the run between calls, and a call costs little
// beside a chunk's rows (the device splits it between the cores).
constexpr UINT kRowsAChunk = 1u << 20;

// The fit modes as the picture names them.
const char* FitName(int32_t fitMode) {
  switch (static_cast<viewer::FitMode>(fitMode)) {
    case viewer::FitMode::Off: return "OFF";
    case viewer::FitMode::Uniform: return "ONE SCALE";
    case viewer::FitMode::EachAxis: return "EACH AXIS";
  }
  return "?";
}

}  // namespace

void ViewerScene::DrawCentredLine(const std::string& text) {
  int32_t width = 0, height = 0;
  TextScreen(&width, &height);
  DrawSmallText(width / 2 - static_cast<int32_t>(text.size()) * 4, height / 2 + 12, text.c_str(), kWhite);
}

bool viewer::RunEnding() {
  return platform::posix::TerminationRequested() || platform::CurrentBackend().EndWaiting();
}

bool ViewerScene::DrawDataRows() {
  IDirect3DVertexBuffer8* rows = RowBuffer();
  if (!rows) return true;
  const size_t buffered = rowBuffer_.rows;
  const bool strip = lineMode != 0;
  const size_t count = strip ? buffered - 1 : buffered;  // segments join each row to the next
  // The rows' points alone take the size: the origin point before them and the text after stay at 1
  // (a float in the state's bits, as the device reads it). At size 1 no state is touched at all.
  IDirect3DDevice8* device = g_graphics->device;
  const bool sized = !strip && pointSize != 1;
  if (sized) device->SetRenderState(D3DRS_POINTSIZE, std::bit_cast<DWORD>(static_cast<float>(pointSize)));
  bool whole = true;
  for (size_t from = 0; from < count; from += kRowsAChunk) {
    if (from != 0 && viewer::RunEnding()) {
      whole = false;
      break;
    }
    const UINT chunk = static_cast<UINT>(std::min<size_t>(count - from, kRowsAChunk));
    g_graphics->DrawRowBuffer(rows, strip ? D3DPT_LINESTRIP : D3DPT_POINTLIST, static_cast<UINT>(from), chunk);
  }
  if (sized) device->SetRenderState(D3DRS_POINTSIZE, std::bit_cast<DWORD>(1.0f));
  return whole;
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
  // The row under a free pointer, through the transforms the rows were just drawn with.
  if (whole && pointer_.free) FindPickedRow();

  if (whole && ranges) DrawRangeLabels();
  DrawTexts(whole);
  if (whole && pointer_.free) DrawPickedRow();

  // Every frame ends with an identity world, which the next frame's points and lines rely on.
  D3DXMatrixIdentity(&graphics.worldMatrix);
  device->SetTransform(D3DTS_WORLD, &graphics.worldMatrix);
  device->EndScene();
  return whole;
}

// The help text at the top-left corner, the readouts at the bottom-left one, the notice below the middle.
void ViewerScene::DrawTexts(bool whole) {
  int32_t width = 0, height = 0;
  TextScreen(&width, &height);
  if (dataX.size() < 2 && !pendingRows_) {
    // An empty plot says why, just below the middle of the window's picture (clear of the origin).
    DrawCentredLine("NO ROWS TO DRAW WERE READ");
  } else if (whole && dataX.size() >= 2 && !RowsBoxInView()) {
    // Rows far from the origin or of another scale show nothing as raw values: say so, and what helps.
    DrawCentredLine(std::string("NO ROW IS IN VIEW: F6 FITS THEM TO IT (FIT: ") + FitName(fitMode) + ")");
  }
  if (whole && showHint != 0) {
    char line[256];
    std::snprintf(line, sizeof line, "AXIS    X:%03d Y:%03d", axisX, axisY);
    DrawSmallText(2, height - 20, line, kWhite);
    std::snprintf(line, sizeof line, "CAMERA  R:%03d THETA:%03d Z:%03d", viewer::TruncateToInt32(cameraR),
                  viewer::TruncateToInt32(cameraTheta), cameraZ);
    DrawSmallText(2, height - 10, line, kWhite);
    // With the ranges or a fit on, the values drawn are not the raw ones: the fit in use is shown.
    if (showRanges != 0 || fitMode != 0)
      DrawSmallText(2, height - 30, (std::string("FIT     ") + FitName(fitMode)).c_str(), kWhite);
    for (int i = 0; i < 4; ++i) DrawSmallText(2, 10 * i, kHelpLines[i], kWhite);
    // Only once the size is asked for (the key in config.ini, or a size other than 1): the picture
    // of a config.ini without the key stays as it was.
    const bool sizeLine = pointSizeInFile || pointSize != 1;
    if (sizeLine) {
      std::snprintf(line, sizeof line, "[-][+]POINT SIZE:%d", pointSize);
      DrawSmallText(2, 40, line, kWhite);
    }
    // Only while the pointer is free, so a picture where P was never pressed stays as it was.
    if (pointer_.free) DrawSmallText(2, sizeLine ? 50 : 40, kPointerHelp, kWhite);
  }
}
