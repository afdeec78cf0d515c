// Fitting data of any scale and place to the view the default camera frames (about ±100 around the
// origin), and colouring rows by their height. Both work from a robust box of the drawn rows: per
// axis, the rows between the 0.1st and the 99.9th percentile, so a header line read as (0, 0, 0) or a
// few stray points do not squash the picture. Paired with data_fit.cpp.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace viewer {

// The span the fitted data's largest side (or each side, fitting each axis) takes: what the default
// camera frames.
inline constexpr double kFitSpan = 200.0;

// The F6 states, as the view key FIT stores them.
enum class FitMode : int32_t { Off = 0, Uniform = 1, EachAxis = 2 };

struct RobustBox {
  double low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
};

// The robust box of rows 0 .. n-1 of the three columns, rows with a non-finite value left out (all
// zero when no row is left); without the memory for a copy of a column, the whole box of those rows.
RobustBox RobustBoxOf(const double* x, const double* y, const double* z, std::size_t n);

// The rows among 0 .. n-1 that lie outside `box` on some axis (rows with a non-finite value are not
// counted), and the box of every finite row, ends included.
struct RowsOutside {
  std::size_t count = 0;
  RobustBox whole;
};
RowsOutside RowsOutsideOf(const RobustBox& box, const double* x, const double* y, const double* z, std::size_t n);

// A row's fitted position: (value - centre) × 2^shift × scale, per axis. The shift is 0 but for
// sides so small (1e-318) that their factor alone would overflow.
struct FitTransform {
  double centre[3] = {0, 0, 0}, scale[3] = {1, 1, 1};
  int shift[3] = {0, 0, 0};
  double Apply(int axis, double value) const {
    const double offset = value - centre[axis];
    return (shift[axis] == 0 ? offset : std::ldexp(offset, shift[axis])) * scale[axis];
  }
};

// Off: the identity. Uniform: centred on the box's centre, one factor so that its largest side spans
// kFitSpan (shapes keep their proportions). EachAxis: every side spans kFitSpan on its own. A side of
// no extent keeps the factor 1 (EachAxis) or, when every side is flat, the whole box does.
FitTransform FitOf(const RobustBox& box, FitMode mode);

// The colour of a row at `z` on a perceptual map (violet, through blue and green, to yellow; every
// colour at least 3 : 1 against the background) over the box's z range; values outside it take the
// end colours. Opaque A8R8G8B8.
uint32_t HeightColour(const RobustBox& box, double z);
// The map's colour at `t` from 0 (the low end) to 1 (the high end), clamped: HeightColour's colours, by
// position on the map (the colour bar's rows).
uint32_t MapColour(double t);

}  // namespace viewer
