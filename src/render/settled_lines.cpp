// The walk of settled lines (colour writes only: see Rasterizer::WalkSettledLines), eight at a time.
// The scene's segments are a pixel or three long, so a segment costs its set-up: that is worked out
// for eight lines at once in vector lanes, with PlanLine's and the scalar walk's operations in their
// order (so the same bits), and then each line's pixels are written in the order the lines came.
#include <cstddef>
#include <cstdint>

#include "render/rasterizer.h"

namespace render {
namespace {

// |v| of each lane into `out`: the sign bit cleared.
SV_LANES_INLINE void Abs(const Float8& v, Float8& out) {
  out = reinterpret_cast<Float8>(reinterpret_cast<Int8>(v) & 0x7FFFFFFF);
}

// start + d · step into `out`, for a step of +1 (lanes where `down` is 0) or -1 (lanes where `down`
// is -1), without a multiply (SSE2 has no 32-bit one).
SV_LANES_INLINE void StepsFrom(const Int8& start, const Int8& d, const Int8& down, Int8& out) {
  out = start + ((d ^ down) - down);
}

// PlanLine for eight lines, lane by lane, with the major index of each line's third pixel and where
// its first three pixels and its last lie in the buffer (a line of fewer repeats its last: writing a
// pixel twice with one colour changes nothing).
struct EightLines {
  int walked, clear, fourOrFewer;  // a bit a lane: lines with pixels, wholly on the target, and of four or fewer
  Int8 xMajor, down, count, third;
  Float8 major0, minor0, slope;
  UInt8 firstIndex, secondIndex, thirdIndex, lastIndex;
};

SV_LANES_INLINE void PlanEight(EightLines& p, const Float8& x0, const Float8& y0, const Float8& x1, const Float8& y1,
                               const Int8& lastPixel, int n, Float4 endHigh, const Int8& width, const Int8& height) {
  const Float8 dx = x1 - x0, dy = y1 - y0;
  const Int8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
  // NaN or absurd coordinates draw nothing, like lanes no line was put in; their inputs are zeroed so
  // that no conversion below meets them.
  Float8 absDx, absDy;
  Abs(dx, absDx), Abs(dy, absDy);
  const Int8 usable = (absDx < 1e7f) & (absDy < 1e7f) & (lane < n);
  const Float8 zero{};
  const Int8 xMajor = absDx >= absDy;
  const Float8 major0 = usable ? (xMajor ? x0 : y0) : zero, minor0 = usable ? (xMajor ? y0 : x0) : zero;
  p.xMajor = xMajor, p.major0 = major0, p.minor0 = minor0;
  const Float8 dMajor = usable ? (xMajor ? dx : dy) : zero, dMinor = usable ? (xMajor ? dy : dx) : zero;
  const Float8 major1 = usable ? (xMajor ? x1 : y1) : zero;
  const Float8 low = Float8{} + -2.0f, high = xMajor ? Float8{} + endHigh[0] : Float8{} + endHigh[1];
  auto pulledIn = [&](const Float8& v, Float8& out) SV_LAMBDA_INLINE {
    out = v < low ? low : v;
    out = out > high ? high : out;
  };
  Float8 major0In, major1In;
  pulledIn(major0, major0In), pulledIn(major1, major1In);
  Int8 start, end;
  LaneCentreIndexNear(major0In, start), LaneCentreIndexNear(major1In, end);
  const Int8 down = end < start;  // -1 where the step is -1
  Int8 count, last, second, third;
  StepsFrom(lastPixel, end - start, down, count);
  const Float8 slope = dMajor != 0.0f ? dMinor / (dMajor != 0.0f ? dMajor : Float8{} + 1.0f) : Float8{};
  StepsFrom(start, count - 1, down, last);
  StepsFrom(start, count > 1 ? Int8{} + 1 : Int8{}, down, second);
  StepsFrom(start, count > 2 ? Int8{} + 2 : count - 1, down, third);
  p.slope = slope, p.down = down, p.count = count, p.third = third;
  // Their minor indices: CentreIndex(minor0 + (m - major0) · slope).
  auto minorOf = [&](const Int8& major, Int8& minor) SV_LAMBDA_INLINE {
    LaneCentreIndex(minor0 + (__builtin_convertvector(major, Float8) - major0) * slope, minor);
  };
  Int8 firstMinor, secondMinor, thirdMinor, lastMinor;
  minorOf(start, firstMinor), minorOf(second, secondMinor), minorOf(third, thirdMinor), minorOf(last, lastMinor);
  // Both ends on the target: the minor index never decreases (or never increases) along a walk, so
  // then all its pixels are, and those between go unchecked.
  const Int8 majorLimit = xMajor ? width : height, minorLimit = xMajor ? height : width;
  const Int8 walked = usable & (count > 0);
  const Int8 clear = walked & (start >= 0) & (start < majorLimit) & (firstMinor >= 0) & (firstMinor < minorLimit) &
                     (last >= 0) & (last < majorLimit) & (lastMinor >= 0) & (lastMinor < minorLimit);
  p.walked = LaneBits(walked), p.clear = LaneBits(clear), p.fourOrFewer = LaneBits(clear & (count <= 4));
  // In unsigned lanes: lanes off the target or not walked hold anything, and their products must not
  // overflow (their indices go unused).
  auto index = [&](const Int8& major, const Int8& minor, UInt8& out) SV_LAMBDA_INLINE {
    out = reinterpret_cast<UInt8>(xMajor ? minor : major) * reinterpret_cast<UInt8>(width) +
          reinterpret_cast<UInt8>(xMajor ? major : minor);
  };
  index(start, firstMinor, p.firstIndex), index(second, secondMinor, p.secondIndex);
  index(third, thirdMinor, p.thirdIndex), index(last, lastMinor, p.lastIndex);
}

}  // namespace

SV_LANE_CLONES void Rasterizer::WalkSettledLinesInLanes(const Float8& x0, const Float8& y0, const Float8& x1,
                                                         const Float8& y1, const uint32_t colour[8],
                                                         const Int8& lastPixel, int n) {
  EightLines p;
  PlanEight(p, x0, y0, x1, y1, lastPixel, n, endHigh_, widthLanes_, heightLanes_);
  uint32_t* const pixels = colour_.data();
  auto putFour = [&](int i) SV_LAMBDA_INLINE {
    pixels[p.firstIndex[i]] = pixels[p.secondIndex[i]] = pixels[p.thirdIndex[i]] = pixels[p.lastIndex[i]] = colour[i];
  };
  if (p.fourOrFewer == 0xFF) {
    // The usual set: eight lines, each of four pixels or fewer and wholly on the target. Unrolled, so
    // that no lane is picked by a loop counter (which would go through memory).
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) putFour(i);
    return;
  }
  // The others in turn: a line on the target goes on from its third pixel unchecked, the lanes'
  // arithmetic a pixel at a time; one that leaves it takes the scalar walk.
  for (int i = 0; i < n; ++i) {
    if (!(p.clear >> i & 1)) {
      if (p.walked >> i & 1) PutLine(x0[i], y0[i], x1[i], y1[i], colour[i], lastPixel[i] != 0);
      continue;
    }
    putFour(i);
    const size_t width = static_cast<size_t>(width_), majorStride = p.xMajor[i] ? 1 : width;
    const size_t minorStride = p.xMajor[i] ? width : 1;
    const float m0 = p.major0[i], n0 = p.minor0[i], k = p.slope[i];
    const int step = p.down[i] ? -1 : 1, pixelsInLine = p.count[i];
    for (int j = 3, m = p.third[i]; j < pixelsInLine - 1; ++j) {
      m += step;
      const int minor = CentreIndexNear(n0 + (static_cast<float>(m) - m0) * k);
      pixels[static_cast<size_t>(m) * majorStride + static_cast<size_t>(minor) * minorStride] = colour[i];
    }
  }
}

void Rasterizer::WalkSettledLines(const Float8& x0, const Float8& y0, const Float8& x1, const Float8& y1,
                                  const uint32_t colour[8], const Int8& lastPixel, int n) {
  WalkSettledLinesInLanes(x0, y0, x1, y1, colour, lastPixel, n);
}

}  // namespace render
