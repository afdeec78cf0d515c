#include "render/clip_far_segments.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace render {

namespace {

struct DoubleMatrix {
  double m[4][4];
};

// world × view × projection, in double, from the device's three float matrices.
DoubleMatrix Product(const D3DMATRIX (&matrices)[3]) {
  DoubleMatrix worldView{}, result{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) worldView.m[i][j] += double{matrices[0].m[i][k]} * double{matrices[1].m[k][j]};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) result.m[i][j] += worldView.m[i][k] * double{matrices[2].m[k][j]};
  return result;
}

// The moved ends lie this far from the eye (or as far as the eye is from the origin, if that is more,
// so that float keeps their offset from the eye to its full precision).
constexpr double kNearDistance = 1000.0;

// Scaled by the largest component first, so that a vector of 1e300s does not overflow.
bool Normalise(double u[3], double largest) {
  double sum = 0.0;
  for (int i = 0; i < 3; ++i) {
    u[i] /= largest;
    sum += u[i] * u[i];
  }
  const double length = std::sqrt(sum);
  for (int i = 0; i < 3; ++i) u[i] /= length;
  return true;
}

// The eye: the one point whose clip x, y and w are all 0, i.e. (e, 1) × columns 0, 1 and 3 of wvp
// vanish. False when those equations have no single solution (no eye).
bool EyeOf(const DoubleMatrix& wvp, double eye[3]) {
  const int column[3] = {0, 1, 3};
  double m[3][3], r[3];
  for (int row = 0; row < 3; ++row) {
    for (int i = 0; i < 3; ++i) m[row][i] = wvp.m[i][column[row]];
    r[row] = -wvp.m[3][column[row]];
  }
  auto det3 = [](const double (&a)[3][3]) {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  };
  const double det = det3(m);
  if (!std::isfinite(det) || std::fabs(det) < 1e-300) return false;
  for (int i = 0; i < 3; ++i) {  // Cramer's rule
    double replaced[3][3];
    for (int row = 0; row < 3; ++row)
      for (int j = 0; j < 3; ++j) replaced[row][j] = j == i ? r[row] : m[row][j];
    eye[i] = det3(replaced) / det;
  }
  return std::isfinite(eye[0]) && std::isfinite(eye[1]) && std::isfinite(eye[2]);
}

// The unit vector from `eye` towards `p`; false for p at the eye.
bool Direction(const double eye[3], const double p[3], double u[3]) {
  double largest = 0.0;
  for (int i = 0; i < 3; ++i) {
    u[i] = p[i] - eye[i];
    largest = std::max(largest, std::fabs(u[i]));
  }
  if (largest == 0.0 || !std::isfinite(largest)) return false;
  return Normalise(u, largest);
}

}  // namespace

bool FarLineEye::Of(IDirect3DDevice8& device, double eye[3]) {
  const D3DTRANSFORMSTATETYPE states[3] = {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION};
  D3DMATRIX now[3];
  for (int i = 0; i < 3; ++i) device.GetTransform(states[i], &now[i]);
  if (!known_ || std::memcmp(now, matrices_, sizeof now) != 0) {
    std::memcpy(matrices_, now, sizeof now);
    found_ = EyeOf(Product(matrices_), eye_);
    known_ = true;
  }
  std::copy(eye_, eye_ + 3, eye);
  return found_;
}

int NearChords(const double eye[3], const double a[3], const double b[3], double points[3][3]) {
  auto copy = [](const double* from, double* to) { std::copy(from, from + 3, to); };
  copy(a, points[0]);
  copy(b, points[1]);
  double ua[3], ub[3];
  for (int i = 0; i < 3; ++i)
    if (!std::isfinite(a[i]) || !std::isfinite(b[i])) return 1;
  if (!Direction(eye, a, ua) || !Direction(eye, b, ub)) return 1;
  const double distance = std::max(kNearDistance, std::sqrt(eye[0] * eye[0] + eye[1] * eye[1] + eye[2] * eye[2]));
  auto at = [&](const double u[3], double* p) {
    for (int i = 0; i < 3; ++i) p[i] = eye[i] + u[i] * distance;
  };
  at(ua, points[0]);
  if (ua[0] * ub[0] + ua[1] * ub[1] + ua[2] * ub[2] >= 0.0) {
    at(ub, points[1]);
    return 1;
  }
  // The middle direction: ua + ub, accurate even when the two nearly cancel.
  double um[3];
  double largest = 0.0;
  for (int i = 0; i < 3; ++i) {
    um[i] = ua[i] + ub[i];
    largest = std::max(largest, std::fabs(um[i]));
  }
  if (largest == 0.0) return 0;  // opposite rays: the segment runs through the eye
  Normalise(um, largest);
  at(um, points[1]);
  at(ub, points[2]);
  return 2;
}

}  // namespace render
