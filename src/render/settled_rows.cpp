// The settled routes: a POINTLIST or LINESTRIP of untransformed, unlit, unfogged vertices in a plain-write
// state whose every depth is the settled 1.0 (SoftwareDevice::RowsRoute), the scene's rows. Eight
// vertices are transformed at a time in vector lanes with FetchVertex's arithmetic term for term,
// clipped and placed on screen as DrawClippedPoint, DrawClippedLine and ToScreen do, on positions
// only, and written in the order they came: the general route's pixels. The lane bodies come before
// their callers, whose clones are chosen within this file. Every function draws into the picture it
// is given, the back buffer or the private picture of a second part (settled_parts.cpp).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/clip_volume.h"
#include "render/software_device.h"
#include "render/vector_lanes.h"

namespace render {
namespace {

// Lanes 0-6 of `v` moved up one into `out`, `first` in lane 0: the starts of eight segments from their ends.
SV_LANES_INLINE void ShiftUpOneLane(float first, const Float8& v, Float8& out) {
  out = __builtin_shufflevector(Float8{} + first, v, 0, 8, 9, 10, 11, 12, 13, 14);
}


}  // namespace

void SoftwareDevice::RenewWvpLanes() {
  if (wvpLanesCurrent_) return;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) wvpLanes_[i][j] = Float8{} + worldViewProjection_[i][j];
  wvpLanesCurrent_ = true;
}

template <bool kSquares>
SV_LANES_INLINE void SoftwareDevice::PointsInLanes(const uint8_t* v, UINT stride, size_t first, size_t last,
                                                   Rasterizer& target) {
  const Int8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
  const unsigned width = static_cast<unsigned>(target.Width()), height = static_cast<unsigned>(target.Height());
  // The data rows' own layout (position, then colour, 16 bytes) is read eight vertices at a time.
  const bool rowLayout = stride == 16 && layout_.diffuse == 12;
  const Int8 alphaForced = Int8{} + static_cast<int>(pixel_.plainAlpha);
  // A square reaches `after` pixels past its centre's, right and down (read once: the stores could alias it).
  [[maybe_unused]] const int side = pixel_.pointSide, after = side - 1 - side / 2;
  GatheredEnds w;
  for (size_t i = first; i < last; i += kBatchLanes) {
    const int n = static_cast<int>(std::min<size_t>(kBatchLanes, last - i));
    ClipLanes c;
    Int8 colour;
    if (rowLayout && n == kBatchLanes) {
      EightRows(v + i * 16, wvpLanes_, c, colour);
    } else {
      for (int j = 0; j < n; ++j) {
        const uint8_t* p = v + (i + static_cast<size_t>(j)) * stride;
        w.Add(p, layout_.DiffuseAt(p));
      }
      int taken = 0;
      c = w.Take(wvpLanes_, taken);
      std::memcpy(&colour, w.colour, sizeof colour);
    }
    // In front of the near plane and within the depth range (a point is not clipped in x or y).
    const Int8 visible = (c.w >= (Float8{} + kMinW)) & (c.z >= Float8{}) & (c.z <= c.w) & (lane < n);
    const ScreenLanes s = ScreenOfLanes(c);
    // The pixel each centre rounds to, and whether it is on the target (unsigned: negatives are far).
    Int8 px, py;
    LaneCentreIndex(s.x, px), LaneCentreIndex(s.y, py);
    // Every depth is the settled one and every result is written as it is: a colour store is all.
    const Int8 result = colour | alphaForced;
    if constexpr (kSquares) {
      // A square is on the target when its last column (and row) lies in [0, width + side - 1): from
      // the target's first column to side - 1 past its last one.
      const UInt8 lastX = reinterpret_cast<UInt8>(px + after), lastY = reinterpret_cast<UInt8>(py + after);
      const Int8 onTarget = (lastX < width + (side - 1)) & (lastY < height + (side - 1));
      for (int bits = LaneBits(visible & onTarget); bits != 0; bits &= bits - 1) {
        const int j = __builtin_ctz(static_cast<unsigned>(bits));
        target.PutSettledSquare(PointSquareStart(px[j], side), PointSquareStart(py[j], side), side,
                                static_cast<uint32_t>(result[j]));
      }
    } else {
      const Int8 onTarget = (reinterpret_cast<UInt8>(px) < width) & (reinterpret_cast<UInt8>(py) < height);
      const UInt8 index = reinterpret_cast<UInt8>(py) * width + reinterpret_cast<UInt8>(px);
      for (int bits = LaneBits(visible & onTarget); bits != 0; bits &= bits - 1) {
        const int j = __builtin_ctz(static_cast<unsigned>(bits));
        target.PutSettled(index[j], static_cast<uint32_t>(result[j]));
      }
    }
  }
}

// The one body built twice, each on its own, so the usual case's code is what it was before squares.
SV_LANE_CLONES void SoftwareDevice::DrawPointsInLanes(const uint8_t* v, UINT stride, size_t first, size_t last,
                                                      Rasterizer& target) {
  PointsInLanes<false>(v, stride, first, last, target);
}

SV_LANE_CLONES void SoftwareDevice::DrawSquaresInLanes(const uint8_t* v, UINT stride, size_t first, size_t last,
                                                       Rasterizer& target) {
  PointsInLanes<true>(v, stride, first, last, target);
}

void SoftwareDevice::DrawSettledPoints(const uint8_t* v, UINT stride, size_t first, size_t last, Rasterizer& target) {
  // The body for the call's point size, chosen once: a pixel a point (the rows' usual case, its store
  // one write) or a square a point.
  if (pixel_.pointSide == 1) DrawPointsInLanes(v, stride, first, last, target);
  else DrawSquaresInLanes(v, stride, first, last, target);
}

SV_LANE_CLONES void SoftwareDevice::DrawSegmentEndsInLanes(SegmentChain& chain, Rasterizer& target) {
  // ClipOf, Inside and ScreenOf for the eight ends at once, an end a lane.
  const GatheredEnds& w = chain.ends;
  LineEnd& lastEnd = chain.end;
  int n = 0;
  const ClipLanes c = chain.ends.Take(wvpLanes_, n);
  const Float8 cx = c.x, cy = c.y, cz = c.z, cw = c.w, zero{};
  const int inside = LaneBits((cw >= (Float8{} + kMinW)) & (cx >= -cw) & (cx <= cw) & (cy >= -cw) & (cy <= cw) &
                              (cz >= zero) & (cz <= cw));
  const ScreenLanes screen = ScreenOfLanes(c);
  const Float8 sx = screen.x, sy = screen.y, sz = screen.z;
  auto clipOf = [&](int j) SV_LAMBDA_INLINE { return Float4{cx[j], cy[j], cz[j], cw[j]}; };
  auto screenOf = [&](int j) SV_LAMBDA_INLINE { return Float4{sx[j], sy[j], sz[j], 0.0f}; };

  // The usual eight: every end inside the volume, the first start too and on screen (every result is
  // written as it is at the settled depth, as Rasterizer::WalkSettledLines asks).
  alignas(32) uint32_t result[kBatchLanes];
  for (int j = 0; j < kBatchLanes; ++j) result[j] = w.colour[j] | pixel_.plainAlpha;
  if (n == kBatchLanes && inside == 0xFF && lastEnd.inside && lastEnd.onScreen) {
    Float8 x0, y0;
    ShiftUpOneLane(lastEnd.screen[0], sx, x0), ShiftUpOneLane(lastEnd.screen[1], sy, y0);
    // From constants, which the walk loads whole (a vector built from the flag went through memory
    // in halves, and the load waited for them).
    static constexpr Int8 kAll = {1, 1, 1, 1, 1, 1, 1, 1}, kNone = {};
    target.WalkSettledLines(x0, y0, sx, sy, result, pixel_.lastPixel ? kAll : kNone, kBatchLanes);
    lastEnd.Keep(clipOf(kBatchLanes - 1), true, true, screenOf(kBatchLanes - 1));
    return;
  }

  // One at a time. Each segment starts where the one before ended: lastEnd for the first, then the
  // lanes in turn; lastEnd is brought up to date where the clipping needs it, and at the end.
  bool startPlaced = lastEnd.inside && lastEnd.onScreen;  // inside the volume and on screen
  float ax = lastEnd.screen[0], ay = lastEnd.screen[1];
  int keptLane = -1;  // the lane lastEnd describes, when not the one before the first
  auto keepLane = [&](int j) {
    lastEnd.Keep(clipOf(j), true, true, screenOf(j));
    keptLane = j;
  };
  for (int j = 0; j < n; ++j) {
    if (!(startPlaced && (inside >> j & 1))) {
      if (j > 0 && keptLane != j - 1) keepLane(j - 1);
      DrawClippedSceneLine(lastEnd, clipOf(j), result[j], target);
      keptLane = j;
      startPlaced = lastEnd.inside && lastEnd.onScreen;
      ax = lastEnd.screen[0], ay = lastEnd.screen[1];
      continue;
    }
    // Nothing to clip, and the start is already on screen.
    const float bx = sx[j], by = sy[j];
    target.PutLine(ax, ay, bx, by, result[j], pixel_.lastPixel);
    ax = bx, ay = by;
  }
  if (keptLane != n - 1) keepLane(n - 1);
}

void SoftwareDevice::DrawSettledStrip(const uint8_t* v, UINT stride, size_t first, size_t last, Rasterizer& target) {
  SegmentChain chain;
  auto startAt = [&](const uint8_t* p) {
    const Float4 clip = ClipOf(p);
    chain.end.Keep(clip, Inside(LoadBytes<ClipPosition>(&clip)), false, Float4{});
  };
  const uint8_t* a = v + first * stride;
  startAt(a);
  bool nearA = NearPosition(a);
  for (size_t i = first; i < last; ++i, a += stride) {
    const uint8_t* b = a + stride;
    const bool nearB = NearPosition(b);
    const uint32_t colour = layout_.DiffuseAt(a);  // flat shading, or one colour throughout
    if (!(nearA & nearB)) [[unlikely]] {
      if (chain.ends.count != 0) DrawSegmentEndsInLanes(chain, target);
      DrawFarSegment(a, b, &target);
      startAt(b);
    } else if (chain.ends.Add(b, colour)) {
      DrawSegmentEndsInLanes(chain, target);
    }
    nearA = nearB;
  }
  if (chain.ends.count != 0) DrawSegmentEndsInLanes(chain, target);
}

void SoftwareDevice::DrawClippedSceneLine(LineEnd& lastEnd, Float4 clipB, uint32_t result, Rasterizer& target) {
  // The start is lastEnd, whose clip position (the same bits) was tested when it was kept.
  const Float4 clipA = LoadBytes<Float4>(&lastEnd.clip);
  const auto pa = LoadBytes<ClipPosition>(&clipA), pb = LoadBytes<ClipPosition>(&clipB);
  const bool insideB = Inside(pb);
  float t0 = 0.0f, t1 = 1.0f;
  const bool visible = (lastEnd.inside && insideB) || ClipSegment(pa, pb, t0, t1);
  auto at = [&](float t) { return clipA + (clipB - clipA) * Splat(t); };  // the clipper's interpolation
  Float4 screenA{}, screenB{};
  if (visible) {
    if (t0 > 0.0f) screenA = ScreenOf(at(t0));
    else if (lastEnd.onScreen) screenA = LoadBytes<Float4>(lastEnd.screen);
    else screenA = ScreenOf(clipA);
    screenB = ScreenOf(t1 < 1.0f ? at(t1) : clipB);
  }
  lastEnd.Keep(clipB, insideB, visible && !(t1 < 1.0f), screenB);
  if (visible) target.PutLine(screenA[0], screenA[1], screenB[0], screenB[1], result, pixel_.lastPixel);
}

void SoftwareDevice::DrawFarSegment(const uint8_t* a, const uint8_t* b, Rasterizer* settledTarget) {
  // The chords' vertices: a's bytes (its colour for the whole segment, as a flat or one-colour line
  // has it) with the chords' positions.
  const double da[3] = {LoadBytes<float>(a), LoadBytes<float>(a + 4), LoadBytes<float>(a + 8)};
  const double db[3] = {LoadBytes<float>(b), LoadBytes<float>(b + 4), LoadBytes<float>(b + 8)};
  double points[3][3] = {{da[0], da[1], da[2]}, {db[0], db[1], db[2]}};
  const int pieces = farEyeKnown_ ? NearChords(farEye_, da, db, points) : 1;
  uint8_t chord[3][32];
  for (int i = 0; i <= pieces; ++i) {
    std::memcpy(chord[i], a, layout_.size);
    for (int k = 0; k < 3; ++k) {
      const float f = static_cast<float>(points[i][k]);
      std::memcpy(chord[i] + 4 * k, &f, 4);
    }
  }
  for (int i = 0; i < pieces; ++i) {
    if (!settledTarget) {
      Emit({chord[i], chord[i + 1]});
      continue;
    }
    LineEnd start;
    const Float4 clip = ClipOf(chord[i]);
    start.Keep(clip, Inside(LoadBytes<ClipPosition>(&clip)), false, Float4{});
    DrawClippedSceneLine(start, ClipOf(chord[i + 1]), layout_.DiffuseAt(a) | pixel_.plainAlpha, *settledTarget);
  }
}

}  // namespace render
