// The walk of settled lines (colour writes only: see Rasterizer::PlainLineSettled), eight at a time.
// The scene's polyline segments are a pixel or three long, so what a segment costs is its set-up: the
// major axis, the ends' pixel indices, the slope and the first and last pixels. Those are worked out
// for eight lines at once in vector lanes, with the same single-precision operations, in the same
// order, as PlanLine and the scalar walk, so every lane gives the bits the scalar code would; then the
// pixels of each line are written in the order the lines came.
#include <cstddef>
#include <cstdint>

#include "render/rasterizer.h"
#include "render/scene_batch.h"

namespace render {
namespace {

SV_LANES_INLINE Float8 Abs(Float8 v) { return reinterpret_cast<Float8>(reinterpret_cast<Int8>(v) & 0x7FFFFFFF); }

// d · step for a step of +1 (lanes where `down` is 0) or -1 (lanes where `down` is -1), without a
// multiply (SSE2 has no 32-bit one).
SV_LANES_INLINE Int8 TimesStep(Int8 d, Int8 down) { return (d ^ down) - down; }

// PlanLine for eight lines, lane by lane, with the major and minor indices of each line's first
// three pixels and its last (a line of fewer repeats its last: writing a pixel twice with one colour
// changes nothing), and where those lie in the buffer.
struct EightLines {
  Int8 xMajor, down, count, walked, clear;
  Int8 start, second, third, last;
  Int8 majorLimit, minorLimit;
  Float8 major0, minor0, slope;
  UInt8 firstIndex, secondIndex, thirdIndex, lastIndex;
};

SV_LANES_INLINE void PlanEight(EightLines& p, const Float8& x0, const Float8& y0, const Float8& x1, const Float8& y1,
                               const Int8& lastPixel, int n, Float4 endHigh, const Int8& width, const Int8& height) {
  const Float8 dx = x1 - x0, dy = y1 - y0;
  const Int8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
  // NaN or absurd coordinates draw nothing, like lanes no line was put in; their inputs are zeroed so
  // that no conversion below meets them.
  const Int8 usable = (Abs(dx) < 1e7f) & (Abs(dy) < 1e7f) & (lane < n);
  auto keep = [usable](Float8 v) SV_LAMBDA_INLINE { return usable ? v : Float8{}; };
  const Int8 xMajor = Abs(dx) >= Abs(dy);
  p.xMajor = xMajor;
  p.major0 = keep(xMajor ? x0 : y0), p.minor0 = keep(xMajor ? y0 : x0);
  const Float8 dMajor = keep(xMajor ? dx : dy), dMinor = keep(xMajor ? dy : dx);
  const Float8 major1 = keep(xMajor ? x1 : y1);
  const Float8 low = Filled<Float8>(-2.0f), high = xMajor ? Filled<Float8>(endHigh[0]) : Filled<Float8>(endHigh[1]);
  auto pulledIn = [&](Float8 v) SV_LAMBDA_INLINE {
    v = v < low ? low : v;
    return v > high ? high : v;
  };
  const Int8 start = LaneCentreIndexNear(pulledIn(p.major0)), end = LaneCentreIndexNear(pulledIn(major1));
  const Int8 down = end < start;  // -1 where the step is -1
  const Int8 count = TimesStep(end - start, down) + lastPixel;
  p.slope = dMajor != 0.0f ? dMinor / (dMajor != 0.0f ? dMajor : Filled<Float8>(1.0f)) : Float8{};
  p.start = start, p.down = down, p.count = count;
  p.last = start + TimesStep(count - 1, down);
  p.second = start + TimesStep(count > 1 ? Int8{} + 1 : Int8{}, down);
  p.third = start + TimesStep(count > 2 ? Int8{} + 2 : count - 1, down);
  // Their minor indices: CentreIndex(minor0 + (m - major0) · slope).
  auto minorOf = [&](Int8 major) SV_LAMBDA_INLINE {
    return LaneCentreIndex(p.minor0 + (__builtin_convertvector(major, Float8) - p.major0) * p.slope);
  };
  const Int8 firstMinor = minorOf(start), secondMinor = minorOf(p.second), thirdMinor = minorOf(p.third),
             lastMinor = minorOf(p.last);
  // Both ends on the target: the minor index never decreases (or never increases) along a walk, so
  // then all its pixels are, and those between go unchecked.
  p.majorLimit = xMajor ? width : height, p.minorLimit = xMajor ? height : width;
  auto onTarget = [&](Int8 major, Int8 minor) SV_LAMBDA_INLINE {
    return (major >= 0) & (major < p.majorLimit) & (minor >= 0) & (minor < p.minorLimit);
  };
  // In unsigned lanes: lanes off the target or not walked hold anything, and their products must not
  // overflow (their indices go unused).
  auto index = [&](Int8 major, Int8 minor) SV_LAMBDA_INLINE {
    return reinterpret_cast<UInt8>(xMajor ? minor : major) * reinterpret_cast<UInt8>(width) +
           reinterpret_cast<UInt8>(xMajor ? major : minor);
  };
  p.walked = usable & (count > 0);
  p.clear = onTarget(start, firstMinor) & onTarget(p.last, lastMinor);
  p.firstIndex = index(start, firstMinor), p.secondIndex = index(p.second, secondMinor);
  p.thirdIndex = index(p.third, thirdMinor), p.lastIndex = index(p.last, lastMinor);
}

}  // namespace

SV_LANE_CLONES void Rasterizer::WalkSettledLines(const Float8& x0, const Float8& y0, const Float8& x1, const Float8& y1,
                                                  const uint32_t colour[8], const Int8& lastPixel, int n) {
  EightLines p;
  PlanEight(p, x0, y0, x1, y1, lastPixel, n, endHigh_, widthLanes_, heightLanes_);
  const int unchecked = LaneBits(p.walked & p.clear), checked = LaneBits(p.walked & ~p.clear);
  uint32_t* const pixels = colour_.data();
  auto putFour = [&](int i) SV_LAMBDA_INLINE {
    pixels[p.firstIndex[i]] = pixels[p.secondIndex[i]] = pixels[p.thirdIndex[i]] = pixels[p.lastIndex[i]] = colour[i];
  };
  if (unchecked == 0xFF && LaneBits(p.count > 4) == 0) {
    // The usual set: eight lines, each of four pixels or fewer and wholly on the target. Unrolled, so
    // that no lane is picked by a loop counter (which would go through memory).
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) putFour(i);
    return;
  }
  for (int i = 0; i < n; ++i) {
    const int bit = 1 << i;
    if (!((unchecked | checked) & bit)) continue;
    const uint32_t lineColour = colour[i];
    if (unchecked & bit) {
      putFour(i);
      if (p.count[i] <= 4) continue;
    }
    const bool alongX = p.xMajor[i] != 0;
    const size_t majorStride = alongX ? 1 : static_cast<size_t>(width_);
    const size_t minorStride = alongX ? static_cast<size_t>(width_) : 1;
    const float m0 = p.major0[i], n0 = p.minor0[i], k = p.slope[i];
    const int step = p.down[i] ? -1 : 1, pixelsInLine = p.count[i];
    auto minorAt = [=](int m) { return n0 + (static_cast<float>(m) - m0) * k; };
    auto put = [=](int m, int n) {
      pixels[static_cast<size_t>(m) * majorStride + static_cast<size_t>(n) * minorStride] = lineColour;
    };
    if (unchecked & bit) {
      for (int j = 3, m = p.third[i]; j < pixelsInLine - 1; ++j) {
        m += step;
        put(m, CentreIndexNear(minorAt(m)));
      }
      continue;
    }
    for (int j = 0, m = p.start[i]; j < pixelsInLine; ++j, m += step) {
      const int minor = CentreIndex(minorAt(m));
      if ((static_cast<unsigned>(m) < static_cast<unsigned>(p.majorLimit[i])) &
          (static_cast<unsigned>(minor) < static_cast<unsigned>(p.minorLimit[i])))
        put(m, minor);
    }
  }
}

void WaitingLines::Walk(Rasterizer& raster, Set& s) {
  const int n = s.count;
  if (n == 0) return;
  s.count = 0;
  waiting_ -= n;
  const Float8 x0 = LoadBytes<Float8>(s.x0), y0 = LoadBytes<Float8>(s.y0), x1 = LoadBytes<Float8>(s.x1),
               y1 = LoadBytes<Float8>(s.y1);
  const Int8 lastPixel = LoadBytes<Int8>(s.lastPixel);
  raster.WalkSettledLines(x0, y0, x1, y1, s.colour, lastPixel, n);
}

void WaitingLines::WalkEight(Rasterizer& raster, const Float8& x0, const Float8& y0, const Float8& x1,
                             const Float8& y1, const uint32_t colour[8], bool lastPixel) {
  WalkAll(raster);
  // From constants: built here, in the baseline instruction set, the vector would be stored in two
  // halves that a whole-vector load in the walk has to wait for.
  static constexpr Int8 kOnes = {1, 1, 1, 1, 1, 1, 1, 1}, kZeros = {};
  raster.WalkSettledLines(x0, y0, x1, y1, colour, lastPixel ? kOnes : kZeros, 8);
}

}  // namespace render
