#include "viewer/data_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace viewer {

namespace {

constexpr double kLowShare = 0.001, kHighShare = 0.999;

// Nine evenly spaced stops, 0x00RRGGBB; between them the channels are interpolated. From the teal
// stop up they are viridis; below it viridis's hues at an even OKLab lightness rising from 0.50, so the
// violet end still stands out 3.2 : 1 from the dark red background where viridis's own sank into it.
constexpr uint32_t kStops[] = {0x834695, 0x7154A8, 0x5866A8, 0x3F769D, 0x26828E,
                               0x1F9E89, 0x35B779, 0x6DCD59, 0xFDE725};
constexpr int kLastStop = static_cast<int>(sizeof kStops / sizeof kStops[0]) - 1;

// The values at the low and high shares of `values` (which it reorders).
void Bounds(std::vector<double>& values, double& low, double& high) {
  const std::size_t n = values.size();
  const std::size_t lowAt = static_cast<std::size_t>(std::floor(kLowShare * static_cast<double>(n - 1)));
  const std::size_t highAt = static_cast<std::size_t>(std::ceil(kHighShare * static_cast<double>(n - 1)));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(lowAt), values.end());
  low = values[lowAt];
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(highAt), values.end());
  high = values[highAt];
}

}  // namespace

RobustBox RobustBoxOf(const double* x, const double* y, const double* z, std::size_t n) {
  RobustBox box;
  // A row that read as infinity (a number too large for a double) has no place in the box.
  const auto finite = [&](std::size_t i) { return std::isfinite(x[i]) && std::isfinite(y[i]) && std::isfinite(z[i]); };
  std::vector<double> scratch;
  const double* columns[3] = {x, y, z};
  for (int axis = 0; axis < 3; ++axis) {
    scratch.clear();
    for (std::size_t i = 0; i != n; ++i) {
      if (finite(i)) scratch.push_back(columns[axis][i]);
    }
    if (scratch.empty()) return RobustBox();
    Bounds(scratch, box.low[axis], box.high[axis]);
  }
  return box;
}

FitTransform FitOf(const RobustBox& box, FitMode mode) {
  FitTransform fit;
  if (mode == FitMode::Off) return fit;
  double side[3];
  for (int axis = 0; axis < 3; ++axis) {
    fit.centre[axis] = box.low[axis] + (box.high[axis] - box.low[axis]) / 2.0;
    side[axis] = box.high[axis] - box.low[axis];
  }
  if (mode == FitMode::EachAxis) {
    for (int axis = 0; axis < 3; ++axis) fit.scale[axis] = side[axis] > 0.0 ? kFitSpan / side[axis] : 1.0;
    return fit;
  }
  const double largest = std::max({side[0], side[1], side[2]});
  const double factor = largest > 0.0 ? kFitSpan / largest : 1.0;
  for (double& s : fit.scale) s = factor;
  return fit;
}

uint32_t HeightColour(const RobustBox& box, double z) {
  const double range = box.high[2] - box.low[2];
  return MapColour(range > 0.0 ? (z - box.low[2]) / range : 0.5);
}

uint32_t MapColour(double t) {
  if (!(t >= 0.0)) t = 0.0;  // NaN too
  if (t > 1.0) t = 1.0;
  const double at = t * kLastStop;
  const int stop = std::min(static_cast<int>(at), kLastStop - 1);
  const double w = at - stop;
  uint32_t colour = 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    const double a = (kStops[stop] >> shift) & 0xFF, b = (kStops[stop + 1] >> shift) & 0xFF;
    colour |= static_cast<uint32_t>(std::lround(a + (b - a) * w)) << shift;
  }
  return colour;
}

}  // namespace viewer
