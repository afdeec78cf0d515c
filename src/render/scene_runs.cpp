// Runs of the scene's rows on two threads: a POINTLIST or LINESTRIP call of many vertices on the
// scene routes (untransformed, unlit, unfogged, plain write) whose every pixel is settled (its depth
// is the one every pixel holds and passes, so only colours are written). The run is placed in two
// halves at once, each thread taking one: transformed, clipped and put on screen, with the arithmetic
// of the one-thread routes. Then the picture is written in two bands of rows, each thread taking
// every point or segment in the run's order but writing only its own rows; a pixel is written by one
// thread only, in the order one thread writes it, so the bytes are the one-thread bytes. A run that
// is not wholly settled is drawn by the one-thread routes instead.
#include <algorithm>

#include "platform/worker.h"
#include "render/clip_volume.h"
#include "render/software_device.h"
#include "render/vector_lanes.h"

namespace render {
namespace {

// Runs part(0) and part(1) at once, on the caller and the worker.
template <class Part>
void InTwoParts(platform::Worker& worker, Part& part) {
  worker.ForEachPart(2, [](void* context, std::size_t index) { (*static_cast<Part*>(context))(static_cast<int>(index)); },
                     &part);
}

}  // namespace

bool SoftwareDevice::TakesRunInBands(UINT primitives) {
  if (!worker_ || primitives < kRunInBandsFrom || raster_.SettledDepth(pixel_) < 0) return false;
  if (!batch_.Empty()) DrawBatch();  // what waits was called for first
  return true;
}

int SoftwareDevice::BandSplit() const {
  // At a tile row, so that no 8 × 8 depth tile is shared between the bands.
  return std::max(8, raster_.Height() / 2 / 8 * 8);
}

SV_LANE_CLONES void SoftwareDevice::PlacePointsInLanes(const uint8_t* v, UINT stride, UINT first, UINT last,
                                                       bool& unsettled) {
  SettledPixel* const out = runPoints_.data();
  const int settled = raster_.SettledDepth(pixel_);
  const uint32_t width = static_cast<uint32_t>(raster_.Width());
  const Int8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
  WaitingPositions w;
  for (UINT i = first; i < last; i += kBatchLanes) {
    const int n = static_cast<int>(std::min<UINT>(kBatchLanes, last - i));
    for (int j = 0; j < n; ++j) {
      const uint8_t* p = v + static_cast<size_t>(i + j) * stride;
      w.Add(p, layout_.DiffuseAt(p));
    }
    // DrawWaitingPointsInLanes' placing, lane for lane.
    int taken = 0;
    const ClipLanes c = w.Take(wvpLanes_, taken);
    const Int8 visible = (c.w >= Filled<Float8>(kMinW)) & (c.z >= Float8{}) & (c.z <= c.w) & (lane < n);
    const ScreenLanes s = ScreenOfLanes(c);
    const Int8 px = LaneCentreIndex(s.x), py = LaneCentreIndex(s.y);
    const Int8 onTarget = (reinterpret_cast<UInt8>(px) < static_cast<unsigned>(raster_.Width())) &
                          (reinterpret_cast<UInt8>(py) < static_cast<unsigned>(raster_.Height()));
    const int plotted = LaneBits(visible & onTarget);
    const Int8 depth = DepthBits(s.z);
    for (int j = 0; j < n; ++j) {
      const uint32_t result = w.colour[j] | pixel_.plainAlpha;
      SettledPixel& point = out[i + j];
      point.colour = result;
      point.index = SettledPixel::kNoPixel;
      if (!(plotted >> j & 1)) continue;
      point.index = static_cast<uint32_t>(py[j]) * width + static_cast<uint32_t>(px[j]);
      unsettled |= depth[j] != settled || !Rasterizer::WrittenAsIs(result, pixel_);
    }
  }
}

bool SoftwareDevice::DrawPointsInBands(const uint8_t* v, UINT count, UINT stride) {
  if (!TakesRunInBands(count)) return false;
  RenewWvpLanes();
  if (runPoints_.size() < count) runPoints_.resize(count);
  bool unsettled[2] = {false, false};
  const UINT half = count / 2;
  auto place = [&](int part) {
    PlacePointsInLanes(v, stride, part == 0 ? 0 : half, part == 0 ? half : count, unsettled[part]);
  };
  InTwoParts(*worker_, place);
  if (unsettled[0] || unsettled[1]) return false;
  const int split = BandSplit();
  auto write = [&](int band) {
    raster_.PutPixelsInRows(runPoints_.data(), count, band == 0 ? 0 : split, band == 0 ? split : raster_.Height());
  };
  InTwoParts(*worker_, write);
  return true;
}

void SoftwareDevice::PlaceSegments(const uint8_t* v, UINT stride, UINT first, UINT last, bool& unsettled) {
  SettledSegment* const out = runSegments_.data();
  const int settled = raster_.SettledDepth(pixel_);
  const uint8_t* a = v + static_cast<size_t>(first) * stride;
  Float4 clipA = ClipOf(a), screenA = ScreenOf(clipA);
  bool insideA = Inside(LoadBytes<ClipPosition>(&clipA));
  for (UINT i = first; i < last; ++i, a += stride) {
    const uint8_t* b = a + stride;
    const uint32_t colour = layout_.DiffuseAt(a);
    const Float4 clipB = ClipOf(b), screenB = ScreenOf(clipB);
    const bool insideB = Inside(LoadBytes<ClipPosition>(&clipB));
    SettledSegment& segment = out[i];
    segment.y0 = __builtin_nanf("");  // nothing to draw, unless placed below
    // A segment of two colours interpolates them: the general route's.
    unsettled |= !OneColour(colour, b);
    // DrawClippedSceneLine's clipping and placing, term for term.
    float t0 = 0.0f, t1 = 1.0f;
    const auto pa = LoadBytes<ClipPosition>(&clipA), pb = LoadBytes<ClipPosition>(&clipB);
    if ((insideA && insideB) || ClipSegment(pa, pb, t0, t1)) {
      auto at = [&](float t) { return clipA + (clipB - clipA) * Splat(t); };
      const Float4 from = t0 > 0.0f ? ScreenOf(at(t0)) : screenA, to = t1 < 1.0f ? ScreenOf(at(t1)) : screenB;
      const uint32_t result = colour | pixel_.plainAlpha;
      segment = {from[0], from[1], to[0], to[1], result};
      unsettled |= !Rasterizer::WrittenAsIs(result, pixel_) || !Rasterizer::SameDepthBits(from[2], to[2]) ||
                   Rasterizer::DepthToBits(from[2]) != settled;
    }
    clipA = clipB, screenA = screenB, insideA = insideB;
  }
}

bool SoftwareDevice::DrawStripInBands(const uint8_t* v, UINT segments, UINT stride) {
  if (!TakesRunInBands(segments)) return false;
  if (runSegments_.size() < segments) runSegments_.resize(segments);
  bool unsettled[2] = {false, false};
  const UINT half = segments / 2;
  auto place = [&](int part) {
    PlaceSegments(v, stride, part == 0 ? 0 : half, part == 0 ? half : segments, unsettled[part]);
  };
  InTwoParts(*worker_, place);
  if (unsettled[0] || unsettled[1]) return false;
  const int split = BandSplit();
  const bool lastPixel = pixel_.lastPixel;
  auto write = [&](int band) {
    raster_.WalkSettledLinesInRows(runSegments_.data(), segments, lastPixel, band == 0 ? 0 : split,
                                   band == 0 ? split : raster_.Height());
  };
  InTwoParts(*worker_, write);
  chain_.valid = false;  // the next segment starts afresh: lastEnd_ is not this run's end
  return true;
}

}  // namespace render
