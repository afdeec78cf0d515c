#include "viewer/data_fit.h"

#include <algorithm>
#include <cmath>
#include <new>
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

// Rows from which the box is found from candidates near its ends rather than from a copy of every row.
constexpr std::size_t kCandidatesFrom = std::size_t{1} << 16;
// Rows looked at to set the candidates' limits, at about three times the share left out, which the
// true percentile lies well inside.
constexpr std::size_t kSampleRows = std::size_t{1} << 15;
constexpr double kLowLimitShare = 0.003, kHighLimitShare = 0.997;

bool FiniteRow(const double* const columns[3], std::size_t i) {
  return std::isfinite(columns[0][i]) && std::isfinite(columns[1][i]) && std::isfinite(columns[2][i]);
}

// Every finite row's value on `axis`, into `values`.
void FiniteValues(const double* const columns[3], std::size_t n, int axis, std::vector<double>& values) {
  values.clear();
  for (std::size_t i = 0; i != n; ++i)
    if (FiniteRow(columns, i)) values.push_back(columns[axis][i]);
}

// The box from a copy of every finite row, an axis at a time.
RobustBox BoxFromEveryRow(const double* const columns[3], std::size_t n) {
  RobustBox box;
  std::vector<double> values;
  for (int axis = 0; axis < 3; ++axis) {
    FiniteValues(columns, n, axis, values);
    if (values.empty()) return RobustBox();
    Bounds(values, box.low[axis], box.high[axis]);
  }
  return box;
}

// The box of every finite row, ends included: what needs no memory.
RobustBox WholeBox(const double* const columns[3], std::size_t n) {
  RobustBox box;
  bool any = false;
  for (std::size_t i = 0; i != n; ++i) {
    if (!FiniteRow(columns, i)) continue;
    for (int axis = 0; axis < 3; ++axis) {
      const double v = columns[axis][i];
      box.low[axis] = any ? std::min(box.low[axis], v) : v;
      box.high[axis] = any ? std::max(box.high[axis], v) : v;
    }
    any = true;
  }
  return box;
}

RobustBox RobustBoxFrom(const double* const columns[3], std::size_t n) {
  if (n < kCandidatesFrom) return BoxFromEveryRow(columns, n);
  // Millions of rows: the values at the box's ends are among the few beyond limits set from a sample,
  // found in one pass over the rows, and picked from those alone. Where the sample misled (a count of
  // candidates too small to hold the end, or too large to be few), that axis takes every row.
  std::vector<double> sample[3];
  for (std::size_t i = 0; i < n; i += n / kSampleRows)
    if (FiniteRow(columns, i))
      for (int axis = 0; axis < 3; ++axis) sample[axis].push_back(columns[axis][i]);
  if (sample[0].size() < kSampleRows / 2) return BoxFromEveryRow(columns, n);
  double lowLimit[3], highLimit[3];
  for (int axis = 0; axis < 3; ++axis) {
    std::vector<double>& s = sample[axis];
    std::sort(s.begin(), s.end());
    lowLimit[axis] = s[static_cast<std::size_t>(kLowLimitShare * static_cast<double>(s.size() - 1))];
    highLimit[axis] = s[static_cast<std::size_t>(std::ceil(kHighLimitShare * static_cast<double>(s.size() - 1)))];
  }
  const std::size_t most = n / 64;
  std::vector<double> lows[3], highs[3];
  std::size_t finite = 0;
  for (std::size_t i = 0; i != n; ++i) {
    if (!FiniteRow(columns, i)) continue;
    ++finite;
    for (int axis = 0; axis < 3; ++axis) {
      const double v = columns[axis][i];
      if (v <= lowLimit[axis] && lows[axis].size() <= most) lows[axis].push_back(v);
      if (v >= highLimit[axis] && highs[axis].size() <= most) highs[axis].push_back(v);
    }
  }
  const std::size_t lowAt = static_cast<std::size_t>(std::floor(kLowShare * static_cast<double>(finite - 1)));
  const std::size_t highAt = static_cast<std::size_t>(std::ceil(kHighShare * static_cast<double>(finite - 1)));
  const std::size_t aboveHigh = finite - 1 - highAt;  // finite rows after the high end in order
  RobustBox box;
  std::vector<double> every;
  for (int axis = 0; axis < 3; ++axis) {
    std::vector<double>&low = lows[axis], &high = highs[axis];
    if (low.size() > most || high.size() > most || low.size() <= lowAt || high.size() <= aboveHigh) {
      FiniteValues(columns, n, axis, every);
      Bounds(every, box.low[axis], box.high[axis]);
      continue;
    }
    // Every row below the limit is a candidate, so the low end's place among them is its place among all.
    std::nth_element(low.begin(), low.begin() + static_cast<std::ptrdiff_t>(lowAt), low.end());
    box.low[axis] = low[lowAt];
    const std::size_t highIndex = high.size() - 1 - aboveHigh;
    std::nth_element(high.begin(), high.begin() + static_cast<std::ptrdiff_t>(highIndex), high.end());
    box.high[axis] = high[highIndex];
  }
  return box;
}

}  // namespace

RobustBox RobustBoxOf(const double* x, const double* y, const double* z, std::size_t n) {
  // A row that read as infinity (a number too large for a double) has no place in the box.
  const double* const columns[3] = {x, y, z};
  try {
    return RobustBoxFrom(columns, n);
  } catch (const std::bad_alloc&) {
    return WholeBox(columns, n);  // the rows already fill the memory: no copy of a column fits
  }
}

RowsOutside RowsOutsideOf(const RobustBox& box, const double* x, const double* y, const double* z, std::size_t n) {
  const double* const columns[3] = {x, y, z};
  RowsOutside outside{0, WholeBox(columns, n)};
  for (std::size_t i = 0; i != n; ++i) {
    bool beyond = false;
    for (int axis = 0; axis < 3; ++axis) {
      const double v = columns[axis][i];
      beyond = beyond || v < box.low[axis] || v > box.high[axis];
    }
    outside.count += beyond && FiniteRow(columns, i);
  }
  return outside;
}

FitTransform FitOf(const RobustBox& box, FitMode mode) {
  FitTransform fit;
  if (mode == FitMode::Off) return fit;
  // Halves are exact: a box from -1.7e308 to 1.7e308 has a finite half side, and a finite centre
  // where the usual sum overflows.
  double halfSide[3];
  for (int axis = 0; axis < 3; ++axis) {
    const double low = box.low[axis], high = box.high[axis], centre = low + (high - low) / 2.0;
    fit.centre[axis] = std::isfinite(centre) ? centre : low / 2.0 + high / 2.0;
    halfSide[axis] = high / 2.0 - low / 2.0;
  }
  // The factor that takes a half side to half the span; for a side too small for it (1e-318), a power
  // of two first. No extent keeps the factor 1.
  auto setFactor = [&fit](int axis, double half) {
    if (!(half > 0.0 && std::isfinite(half))) return;
    fit.scale[axis] = kFitSpan / 2.0 / half;
    if (std::isfinite(fit.scale[axis])) return;
    fit.shift[axis] = -std::ilogb(half);
    fit.scale[axis] = kFitSpan / 2.0 / std::ldexp(half, fit.shift[axis]);
  };
  const double largest = std::max({halfSide[0], halfSide[1], halfSide[2]});
  for (int axis = 0; axis < 3; ++axis) setFactor(axis, mode == FitMode::EachAxis ? halfSide[axis] : largest);
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
