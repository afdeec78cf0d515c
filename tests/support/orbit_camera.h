// Where the viewer's orbit camera puts a world point on a picture of W x H (640 x 480 unless the view
// says otherwise), worked out independently of the program: eye (R cos t, R sin t, Z) with
// t = THETA x 3.141592 / 180, looking at (AXIS_X, 0, AXIS_Y) with +z up, a right-handed look-at and
// perspective (60 degrees vertical, aspect W/H, near 0, far 1000), viewport x = (1 + x/w) W/2,
// y = (1 - y/w) H/2, pixel = ceil(v - 0.5).
#pragma once

namespace testsupport {

struct OrbitView {
  double theta = 45, r = 250;
  int z = 150, axisX = 0, axisY = 0;
  int width = 640, height = 480;  // the picture, and so the aspect
};

struct ScreenPoint {
  double x = 0, y = 0;     // continuous screen position
  bool inFront = false;    // in front of the eye (w > 0)
  int PixelX() const;
  int PixelY() const;
  // How far the position lies from the nearest pixel boundary (0 .. 0.5): a test only relies on
  // points that do not sit on a boundary, where float rounding could tip them either way.
  double Margin() const;
};

ScreenPoint Project(const OrbitView& view, double x, double y, double z);

}  // namespace testsupport
