#include "orbit_camera.h"

#include <algorithm>
#include <cmath>

namespace testsupport {

namespace {

struct V3 {
  double x, y, z;
};
V3 Sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Normal(V3 v) {
  double l = std::sqrt(Dot(v, v));
  return {v.x / l, v.y / l, v.z / l};
}

double BoundaryDistance(double v) {
  double f = (v - 0.5) - std::floor(v - 0.5);
  return std::min(f, 1.0 - f);
}

}  // namespace

int ScreenPoint::PixelX() const { return static_cast<int>(std::ceil(x - 0.5)); }
int ScreenPoint::PixelY() const { return static_cast<int>(std::ceil(y - 0.5)); }
double ScreenPoint::Margin() const { return std::min(BoundaryDistance(x), BoundaryDistance(y)); }

ScreenPoint Project(const OrbitView& view, double x, double y, double z) {
  double t = view.theta * 3.141592 / 180;
  // The program narrows the eye to floats before it builds its matrices.
  V3 eye{static_cast<float>(std::cos(t) * view.r), static_cast<float>(std::sin(t) * view.r),
         static_cast<float>(view.z)};
  V3 at{static_cast<double>(view.axisX), 0, static_cast<double>(view.axisY)};
  V3 back = Normal(Sub(eye, at));  // right-handed: the view's z points from the target to the eye
  V3 right = Normal(Cross({0, 0, 1}, back));
  V3 up = Cross(back, right);
  V3 d = Sub({x, y, z}, eye);
  double vx = Dot(d, right), vy = Dot(d, up), vz = Dot(d, back);
  double h = 1.0 / std::tan(static_cast<float>(1.0471976) / 2),
         w = h / (static_cast<double>(view.width) / view.height);
  double clipW = -vz;  // with the near plane at 0 every depth is 1; only w matters
  ScreenPoint p;
  p.inFront = clipW > 0;
  p.x = (1 + vx * w / clipW) * view.width / 2;
  p.y = (1 - vy * h / clipW) * view.height / 2;
  return p;
}

}  // namespace testsupport
