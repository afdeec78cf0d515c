// The scene's polyline, a segment a call: unlit, unfogged world-space segments of one flat colour in a
// plain-write state, clipped and placed on screen as DrawClippedLine and ToScreen do, on positions
// only. A segment usually starts where the last one ended: its end is added to the batch, pending, to be transformed
// with seven more in vector lanes, and is kept for the next segment.
#include <cstring>

#include "render/clip_volume.h"
#include "render/vector_lanes.h"
#include "render/software_device.h"

namespace render {
namespace {

// Lanes 0-6 of `v` moved up one into `out`, `first` in lane 0: the starts of eight segments from their ends.
SV_LANES_INLINE void ShiftUpOneLane(float first, const Float8& v, Float8& out) {
  out = __builtin_shufflevector(Float8{} + first, v, 0, 8, 9, 10, 11, 12, 13, 14);
}

}  // namespace

void SoftwareDevice::DrawSegmentAlone(const uint8_t* a, const uint8_t* b) {
  EndBatch();
  const uint32_t colourA = layout_.DiffuseAt(a);
  // Both ends of one colour (or flat shading): then every interpolated colour, a clipped end's
  // included, is that colour.
  if (!OneColour(colourA, b)) return Emit({a, b});
  // The start as a segment's end off screen: its screen position is worked out where it is needed.
  LineEnd& end = batch_.segments.end;
  const Float4 clipA = ClipOf(a);
  end.Keep(clipA, Inside(LoadBytes<ClipPosition>(&clipA)), false, Float4{});
  DrawClippedSceneLine(end, ClipOf(b), colourA);
  CopyPosition(chain_.key, b);
  chain_.valid = true;
}

SV_LANE_CLONES void SoftwareDevice::DrawPendingSegmentsInLanes(SegmentChain& chain) {
  // ClipOf, Inside and ScreenOf for the eight ends at once, an end a lane.
  const PendingPositions& w = chain.ends;
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

  // The usual eight: every end inside the volume, the first start too and on screen, and each
  // segment settled (what Rasterizer::WalkSettledLines asks, lane by lane).
  if (n == kBatchLanes && inside == 0xFF && lastEnd.inside && lastEnd.onScreen) {
    Float8 z0;
    ShiftUpOneLane(lastEnd.screen[2], sz, z0);
    const Float8 dz = sz - z0;
    Int8 bits, endBits;
    DepthBits(z0, bits);
    DepthBits(z0 + dz, endBits);
    const Int8 sameBits = (z0 == sz) | ((dz >= (Float8{} + -3.4028235e38f)) & (dz <= (Float8{} + 3.4028235e38f)) &
                                        (bits == endBits));
    alignas(32) uint32_t result[kBatchLanes];
    for (int j = 0; j < kBatchLanes; ++j) result[j] = w.colour[j] | pixel_.plainAlpha;
    Int8 resultLanes;
    std::memcpy(&resultLanes, result, sizeof resultLanes);
    const Int8 opaque = (resultLanes >> 24) == Int8{} - 1;  // alpha 0xFF, shifted in
    const Int8 passes = pixel_.blend ? opaque : Int8{} - 1;
    const Route eight = LaneBits(sameBits & (bits == raster_.SettledDepth(pixel_)) & passes) == 0xFF
                            ? Route::SettledLineWalk
                            : Route::SceneSegment;
    if (eight == Route::SettledLineWalk) {
      Float8 x0, y0;
      ShiftUpOneLane(lastEnd.screen[0], sx, x0), ShiftUpOneLane(lastEnd.screen[1], sy, y0);
      // From constants, which the walk loads whole (a vector built from the flag went through memory
      // in halves, and the load waited for them).
      static constexpr Int8 kAll = {1, 1, 1, 1, 1, 1, 1, 1}, kNone = {};
      raster_.WalkSettledLines(x0, y0, sx, sy, result, pixel_.lastPixel ? kAll : kNone, kBatchLanes);
      lastEnd.Keep(clipOf(kBatchLanes - 1), true, true, screenOf(kBatchLanes - 1));
      return;
    }
  }

  // One at a time. Each segment starts where the one before ended: lastEnd for the first, then the
  // lanes in turn; lastEnd is brought up to date where the clipping route needs it, and at the end.
  bool startPlaced = lastEnd.inside && lastEnd.onScreen;  // inside the volume and on screen
  float ax = lastEnd.screen[0], ay = lastEnd.screen[1], az = lastEnd.screen[2];
  int keptLane = -1;  // the lane lastEnd describes, when not the one before the first
  auto keepLane = [&](int j) {
    lastEnd.Keep(clipOf(j), true, true, screenOf(j));
    keptLane = j;
  };
  for (int j = 0; j < n; ++j) {
    if (!(startPlaced && (inside >> j & 1))) {
      if (j > 0 && keptLane != j - 1) keepLane(j - 1);
      DrawClippedSceneLine(lastEnd, clipOf(j), w.colour[j]);
      keptLane = j;
      startPlaced = lastEnd.inside && lastEnd.onScreen;
      ax = lastEnd.screen[0], ay = lastEnd.screen[1], az = lastEnd.screen[2];
      continue;
    }
    // Nothing to clip, and the start is already on screen.
    const float bx = sx[j], by = sy[j], bz = sz[j];
    raster_.DrawPlainLine(ax, ay, az, bx, by, bz, w.colour[j], pixel_);
    ax = bx, ay = by, az = bz;
  }
  if (keptLane != n - 1) keepLane(n - 1);
}

// Kept beside the lanes it draws with: their clones are chosen within this file.
void SoftwareDevice::DrawStripSegments(size_t first, size_t last) {
  const HandedRun& s = run_;
  SegmentChain chain;
  const uint8_t* a = s.vertices + first * s.stride;
  const Float4 clipA = ClipOf(a);
  chain.end.Keep(clipA, Inside(LoadBytes<ClipPosition>(&clipA)), false, Float4{});
  for (size_t i = first; i < last; ++i, a += s.stride) {
    const uint32_t colour = s.colourPerVertex ? layout_.DiffuseAt(a) : s.colour;
    if (chain.ends.Add(a + s.stride, colour)) DrawPendingSegmentsInLanes(chain);
  }
  if (chain.ends.count != 0) DrawPendingSegmentsInLanes(chain);
}

void SoftwareDevice::DrawPendingSegments() {
  WaitForPendingWriting();  // a run being written comes first
  RenewWvpLanes();
  DrawPendingSegmentsInLanes(batch_.segments);
}

void SoftwareDevice::RenewWvpLanes() {
  if (wvpLanesCurrent_) return;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) wvpLanes_[i][j] = Float8{} + worldViewProjection_[i][j];
  wvpLanesCurrent_ = true;
}

void SoftwareDevice::DrawClippedSceneLine(LineEnd& lastEnd, Float4 clipB, uint32_t colour) {
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
  if (visible)
    raster_.DrawPlainLine(screenA[0], screenA[1], screenA[2], screenB[0], screenB[1], screenB[2], colour, pixel_);
}

}  // namespace render
