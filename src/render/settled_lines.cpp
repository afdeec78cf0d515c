// The walk of settled lines (colour writes only: see Rasterizer::WalkSettledLines), eight at a time.
// The scene's segments are a pixel or three long, so a segment costs its set-up: that is worked out
// for eight lines at once in vector lanes, with PlanLine's and the scalar walk's operations in their
// order (so the same bits), and then each line's pixels are written in the order the lines came.
#include <cstddef>
#include <cstdint>

#include "render/rasterizer.h"

namespace render {
namespace {

SV_LANES_INLINE Float8 Abs(Float8 v) { return reinterpret_cast<Float8>(reinterpret_cast<Int8>(v) & 0x7FFFFFFF); }

// d · step for a step of +1 (lanes where `down` is 0) or -1 (lanes where `down` is -1), without a
// multiply (SSE2 has no 32-bit one).
SV_LANES_INLINE Int8 TimesStep(Int8 d, Int8 down) { return (d ^ down) - down; }

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
  const Int8 usable = (Abs(dx) < 1e7f) & (Abs(dy) < 1e7f) & (lane < n);
  auto keep = [usable](Float8 v) SV_LAMBDA_INLINE { return usable ? v : Float8{}; };
  const Int8 xMajor = Abs(dx) >= Abs(dy);
  const Float8 major0 = keep(xMajor ? x0 : y0), minor0 = keep(xMajor ? y0 : x0);
  p.xMajor = xMajor, p.major0 = major0, p.minor0 = minor0;
  const Float8 dMajor = keep(xMajor ? dx : dy), dMinor = keep(xMajor ? dy : dx);
  const Float8 major1 = keep(xMajor ? x1 : y1);
  const Float8 low = Filled<Float8>(-2.0f), high = xMajor ? Filled<Float8>(endHigh[0]) : Filled<Float8>(endHigh[1]);
  auto pulledIn = [&](Float8 v) SV_LAMBDA_INLINE {
    v = v < low ? low : v;
    return v > high ? high : v;
  };
  const Int8 start = LaneCentreIndexNear(pulledIn(major0)), end = LaneCentreIndexNear(pulledIn(major1));
  const Int8 down = end < start;  // -1 where the step is -1
  const Int8 count = TimesStep(end - start, down) + lastPixel;
  const Float8 slope = dMajor != 0.0f ? dMinor / (dMajor != 0.0f ? dMajor : Filled<Float8>(1.0f)) : Float8{};
  const Int8 last = start + TimesStep(count - 1, down);
  const Int8 second = start + TimesStep(count > 1 ? Int8{} + 1 : Int8{}, down);
  const Int8 third = start + TimesStep(count > 2 ? Int8{} + 2 : count - 1, down);
  p.slope = slope, p.down = down, p.count = count, p.third = third;
  // Their minor indices: CentreIndex(minor0 + (m - major0) · slope).
  auto minorOf = [&](Int8 major) SV_LAMBDA_INLINE {
    return LaneCentreIndex(minor0 + (__builtin_convertvector(major, Float8) - major0) * slope);
  };
  const Int8 firstMinor = minorOf(start), lastMinor = minorOf(last);
  // Both ends on the target: the minor index never decreases (or never increases) along a walk, so
  // then all its pixels are, and those between go unchecked.
  const Int8 majorLimit = xMajor ? width : height, minorLimit = xMajor ? height : width;
  auto onTarget = [&](Int8 major, Int8 minor) SV_LAMBDA_INLINE {
    return (major >= 0) & (major < majorLimit) & (minor >= 0) & (minor < minorLimit);
  };
  // In unsigned lanes: lanes off the target or not walked hold anything, and their products must not
  // overflow (their indices go unused).
  auto index = [&](Int8 major, Int8 minor) SV_LAMBDA_INLINE {
    return reinterpret_cast<UInt8>(xMajor ? minor : major) * reinterpret_cast<UInt8>(width) +
           reinterpret_cast<UInt8>(xMajor ? major : minor);
  };
  const Int8 walked = usable & (count > 0);
  const Int8 clear = walked & onTarget(start, firstMinor) & onTarget(last, lastMinor);
  p.walked = LaneBits(walked), p.clear = LaneBits(clear), p.fourOrFewer = LaneBits(clear & (count <= 4));
  p.firstIndex = index(start, firstMinor), p.secondIndex = index(second, minorOf(second));
  p.thirdIndex = index(third, minorOf(third)), p.lastIndex = index(last, lastMinor);
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
