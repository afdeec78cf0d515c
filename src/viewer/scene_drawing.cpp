// Draw: one picture of the scatter plot from the orbit camera, in world space with the data values as
// coordinates (up is +z). The near plane is 0, so every depth is 1.0 and later draws cover earlier
// ones: the axes cover the origin point, the data covers the axes.
#include <cmath>
#include <cstdio>

#include "graphics/direct_graphics.h"
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

}  // namespace

void ViewerScene::Draw() {
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
  const double* x = dataX.data();
  const double* y = dataY.data();
  const double* z = dataZ.data();
  const bool hardwarePoints = graphics.config.HARD_TL != 0 && vertexBuffer != nullptr;
  if (hardwarePoints) device->SetStreamSource(0, vertexBuffer, sizeof(SceneVertex));
  if (lineMode != 0) {
    for (size_t i = 0; i + 2 < n; ++i) graphics.DrawLine(x[i], y[i], z[i], x[i + 1], y[i + 1], z[i + 1], kWhite);
  } else if (hardwarePoints) {
    // Vertex 0 of the buffer (white, at the origin) moved onto each row by the world matrix; the vertex
    // format in force is the scene format that DrawPoint above set.
    for (size_t i = 0; i + 1 < n; ++i) {
      D3DXMatrixIdentity(&graphics.worldMatrix);
      graphics.TranslateWorld(static_cast<float>(x[i]), static_cast<float>(y[i]), static_cast<float>(z[i]));
      device->SetTransform(D3DTS_WORLD, &graphics.worldMatrix);
      device->DrawPrimitive(D3DPT_POINTLIST, 0, 1);
    }
  } else {
    // Also the way with HARD_TL on when the point buffer could not be made: the same picture.
    for (size_t i = 0; i + 1 < n; ++i) graphics.DrawPoint(x[i], y[i], z[i], kWhite);
  }

  if (showHint != 0) {
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
}
