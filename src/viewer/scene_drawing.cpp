// Draw: one picture of the scatter plot from the orbit camera, in world space with the data values as
// coordinates (up is +z). The near plane is 0, so every depth is 1.0 and later draws cover earlier
// ones: the axes cover the origin point, the data covers the axes.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "graphics/direct_graphics.h"
#include "graphics/row_runs.h"
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

// Rows drawn between two looks for an end of the run: a look costs about what a few rows do.
constexpr size_t kRowsBetweenLooks = 4096;
// Rows a run: a look for an end of the run between runs, and the second drawing thread kept busy.
constexpr size_t kRunRows = 65536;

// Whether the run is ending (SIGINT or SIGTERM, or the close button or Escape waiting among the
// window's events): a frame of millions of rows takes longer than a frame should, and must not hold
// the end back until it is done.
bool RunEnding() { return platform::posix::TerminationRequested() || platform::CurrentBackend().EndWaiting(); }

// Calls draw(i) for i in [0, count), looking for an end of the run between blocks of rows; false when
// one came and the rest was left undrawn. Inlined with its callers, so each row costs what it did in a
// plain loop.
template <class DrawRow>
[[gnu::always_inline]] inline bool ForEachRow(size_t count, DrawRow draw) {
  for (size_t from = 0; from < count; from += kRowsBetweenLooks) {
    if (from != 0 && RunEnding()) return false;
    const size_t to = std::min(count, from + kRowsBetweenLooks);
    for (size_t i = from; i < to; ++i) draw(i);
  }
  return true;
}

// The rows as they are, in white: today's picture.
struct RawWhiteRows {
  const double *x, *y, *z;
  double X(size_t i) const { return x[i]; }
  double Y(size_t i) const { return y[i]; }
  double Z(size_t i) const { return z[i]; }
  D3DCOLOR Colour(size_t) const { return kWhite; }
};

// The rows fitted to the view (F6) and, when asked, coloured by their height (F7).
struct FittedRows {
  const double *x, *y, *z;
  viewer::FitTransform fit;
  const D3DCOLOR* colours;  // one a row, or null for white
  double X(size_t i) const { return fit.Apply(0, x[i]); }
  double Y(size_t i) const { return fit.Apply(1, y[i]); }
  double Z(size_t i) const { return fit.Apply(2, z[i]); }
  D3DCOLOR Colour(size_t i) const { return colours ? colours[i] : kWhite; }
};

}  // namespace

// The data rows, as points or as the polyline; a segment takes the colour of its first row. False when
// the run began to end before every row was drawn.
template <class Rows>
bool ViewerScene::DrawRows(const Rows& rows, size_t n, bool hardwarePoints) {
  DirectGraphics& graphics = *g_graphics;
  if (n > 1 && n - 1 > perRowCallRows) {
    // Past the default row limit, three device calls a row (DrawPoint, DrawLine, or the moved buffer
    // point) would cost more than drawing the rows: they go in runs (row_runs.h), HARD_TL's buffer
    // point too. Both ways give the same picture.
    const size_t count = lineMode != 0 ? n - 2 : n - 1;
    for (size_t from = 0; from < count; from += kRunRows) {
      if (from != 0 && RunEnding()) return false;
      const size_t to = std::min(count, from + kRunRows);
      if (lineMode != 0) graphics.DrawLineRun(rows, from, to);
      else graphics.DrawPointRun(rows, from, to);
    }
    return true;
  }
  if (lineMode != 0) {
    return ForEachRow(n < 2 ? 0 : n - 2, [&](size_t i) __attribute__((always_inline)) {
      graphics.DrawLine(rows.X(i), rows.Y(i), rows.Z(i), rows.X(i + 1), rows.Y(i + 1), rows.Z(i + 1), rows.Colour(i));
    });
  }
  if (hardwarePoints) {
    // Vertex 0 of the buffer (white, at the origin) moved onto each row by the world matrix; the vertex
    // format in force is the scene format that DrawPoint above set. The buffer's vertex is white, so
    // a coloured row takes the way of DrawPoint instead.
    return ForEachRow(n < 1 ? 0 : n - 1, [&](size_t i) __attribute__((always_inline)) {
      const D3DCOLOR colour = rows.Colour(i);
      if (colour != kWhite) {
        graphics.DrawPoint(rows.X(i), rows.Y(i), rows.Z(i), colour);
        return;
      }
      D3DXMatrixIdentity(&graphics.worldMatrix);
      graphics.TranslateWorld(static_cast<float>(rows.X(i)), static_cast<float>(rows.Y(i)),
                              static_cast<float>(rows.Z(i)));
      graphics.device->SetTransform(D3DTS_WORLD, &graphics.worldMatrix);
      graphics.device->DrawPrimitive(D3DPT_POINTLIST, 0, 1);
    });
  }
  // Also the way with HARD_TL on when the point buffer could not be made: the same picture.
  return ForEachRow(n < 1 ? 0 : n - 1, [&](size_t i) __attribute__((always_inline)) {
    graphics.DrawPoint(rows.X(i), rows.Y(i), rows.Z(i), rows.Colour(i));
  });
}

const viewer::RobustBox& ViewerScene::DrawnRowsBox() {
  // The drawn rows are all but the last; they change only when rows are loaded.
  const size_t drawn = dataX.empty() ? 0 : dataX.size() - 1;
  if (drawnBoxRows_ != drawn) {
    drawnBox_ = viewer::RobustBoxOf(dataX.data(), dataY.data(), dataZ.data(), drawn);
    drawnBoxRows_ = drawn;
    heightColours_.clear();
  }
  return drawnBox_;
}

const D3DCOLOR* ViewerScene::HeightColours() {
  const viewer::RobustBox& box = DrawnRowsBox();
  // Worked out once for the rows, not every frame: a colour costs more than drawing its point.
  if (heightColours_.size() != dataZ.size()) {
    heightColours_.resize(dataZ.size());
    for (size_t i = 0; i < dataZ.size(); ++i) heightColours_[i] = viewer::HeightColour(box, dataZ[i]);
  }
  return heightColours_.data();
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

  // The last stored row is never drawn: for a file ending in a line end it is the (0, 0, 0) row the
  // reader adds after it.
  const size_t n = dataX.size();
  // The ranges of the rows drawn, when there are any: the box under the rows, the labels over them.
  const bool ranges = showRanges != 0 && n > 1;
  if (ranges) DrawRangeBox();
  const bool hardwarePoints = graphics.config.HARD_TL != 0 && vertexBuffer != nullptr;
  if (hardwarePoints) device->SetStreamSource(0, vertexBuffer, sizeof(SceneVertex));
  bool whole;
  if (fitMode == 0 && colourByHeight == 0) {
    whole = DrawRows(RawWhiteRows{dataX.data(), dataY.data(), dataZ.data()}, n, hardwarePoints);
  } else {
    const viewer::RobustBox& box = DrawnRowsBox();
    whole = DrawRows(FittedRows{dataX.data(), dataY.data(), dataZ.data(),
                                viewer::FitOf(box, static_cast<viewer::FitMode>(fitMode)),
                                colourByHeight != 0 ? HeightColours() : nullptr},
                     n, hardwarePoints);
  }

  if (whole && ranges) DrawRangeLabels();
  if (whole && showHint != 0) {
    char line[256];
    std::snprintf(line, sizeof line, "AXIS    X:%03d Y:%03d", axisX, axisY);
    DrawSmallText(2, 460, line, kWhite);
    std::snprintf(line, sizeof line, "CAMERA  R:%03d THETA:%03d Z:%03d", viewer::TruncateToInt32(cameraR),
                  viewer::TruncateToInt32(cameraTheta), cameraZ);
    DrawSmallText(2, 470, line, kWhite);
    for (int i = 0; i < 4; ++i) DrawSmallText(2, 10 * i, kHelpLines[i], kWhite);
  }

  // Every frame ends with an identity world, which the next frame's points and lines rely on.
  D3DXMatrixIdentity(&graphics.worldMatrix);
  device->SetTransform(D3DTS_WORLD, &graphics.worldMatrix);
  device->EndScene();
  return whole;
}
