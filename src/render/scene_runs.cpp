// Runs of the scene's rows on two threads: a POINTLIST or LINESTRIP call of many vertices on the
// scene routes (untransformed, unlit, unfogged, plain write) whose every pixel is settled (its depth
// is the one every pixel holds and passes, so only colours are written). The run is placed in two
// halves at once, the caller and the worker each taking one: transformed, clipped and put on screen
// with the arithmetic of the one-thread routes. Then the worker alone writes the placed run into the
// picture, in the run's order, while the call returns and the caller makes the next run; the next
// run's writing follows it, and every other call that draws or reads waits for it (EndBatch). The
// pixels are written by one thread in one thread's order, so the bytes are the one-thread bytes. A
// run that is not wholly settled is drawn by the one-thread routes instead.
#include <algorithm>
#include <cstring>

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

bool SoftwareDevice::TakesRunOnTwoThreads(UINT primitives) {
  if (!worker_ || primitives < kRunOnTwoThreadsFrom || raster_.SettledDepth(pixel_) < 0) return false;
  if (!batch_.Empty()) DrawBatch();  // what waits was called for first
  return true;
}

void SoftwareDevice::WriteLater(PlacedRun run) {
  FinishWriting();  // the run before this one first: the worker may not have taken it yet
  placed_ = run;
  writing_ = worker_->Hand(
      [](void* device, std::size_t) {
        auto& d = *static_cast<SoftwareDevice*>(device);
        const PlacedRun& r = d.placed_;
        if (r.points) d.raster_.PutPixelsInRows(r.points, r.count, 0, d.raster_.Height());
        else d.raster_.WalkSettledEightsInRows(r.eights, r.count, r.lastPixel, 0, d.raster_.Height());
      },
      this, 1);
  inFlight_ = true;
  runBuffer_ ^= 1;  // the next run is placed beside this one while it is written
}

SV_LANE_CLONES void SoftwareDevice::PlacePointsInLanes(const uint8_t* v, UINT stride, UINT first, UINT last,
                                                       SettledPixel* out, bool& unsettledOut) {
  bool unsettled = false;  // kept here: the other thread writes the flag beside the caller's
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
  unsettledOut = unsettled;
}

bool SoftwareDevice::DrawPointsOnTwoThreads(const uint8_t* v, UINT count, UINT stride) {
  if (!TakesRunOnTwoThreads(count)) return false;
  RenewWvpLanes();
  std::vector<SettledPixel>& placed = runPoints_[runBuffer_];
  if (placed.size() < count) placed.resize(count);
  bool unsettled[2] = {false, false};
  const UINT half = count / 2 / kBatchLanes * kBatchLanes;
  auto place = [&](int part) {
    PlacePointsInLanes(v, stride, part == 0 ? 0 : half, part == 0 ? half : count, placed.data(), unsettled[part]);
  };
  InTwoParts(*worker_, place);
  if (unsettled[0] || unsettled[1]) return false;
  WriteLater({placed.data(), nullptr, count, false});
  return true;
}

SV_LANE_CLONES void SoftwareDevice::PlaceSegmentsInLanes(const uint8_t* v, UINT stride, UINT first, UINT last,
                                                         SettledEight* out, bool& unsettledOut) {
  const int settled = raster_.SettledDepth(pixel_);
  bool unsettled = false;  // kept here: the other thread writes the flag beside the caller's
  // The start of the next segment: its clip and screen positions, and whether it is inside the volume.
  const Float4 clip0 = ClipOf(v + static_cast<size_t>(first) * stride);
  ClipPosition clipA = LoadBytes<ClipPosition>(&clip0);
  Float4 screenA = ScreenOf(clip0);
  bool insideA = Inside(clipA);
  WaitingPositions w;
  for (UINT s = first; s < last; s += kBatchLanes) {
    // Segments s .. s + n - 1: their ends are the next n vertices, in lanes; each takes its start's colour.
    const int n = static_cast<int>(std::min<UINT>(kBatchLanes, last - s));
    for (int j = 0; j < n; ++j) {
      const uint8_t* a = v + static_cast<size_t>(s + j) * stride;
      const uint32_t colour = layout_.DiffuseAt(a);
      unsettled |= !OneColour(colour, a + stride);  // two colours interpolate: the general route's
      w.Add(a + stride, colour);
    }
    // DrawWaitingSegmentsInLanes' transform, test and placing, lane for lane.
    int taken = 0;
    const ClipLanes c = w.Take(wvpLanes_, taken);
    const Float8 zero{};
    const int inside = LaneBits((c.w >= Filled<Float8>(kMinW)) & (c.x >= -c.w) & (c.x <= c.w) & (c.y >= -c.w) &
                                (c.y <= c.w) & (c.z >= zero) & (c.z <= c.w));
    const ScreenLanes screen = ScreenOfLanes(c);
    SettledEight& e = out[s / kBatchLanes];
    e.n = n;
    const int lanes = (1 << n) - 1;
    if (insideA && (inside & lanes) == lanes) {
      // Nothing to clip: each segment runs from the end before it to its own.
      const Float8 x0 = ShiftUpOneLane(screenA[0], screen.x), y0 = ShiftUpOneLane(screenA[1], screen.y);
      const Float8 z0 = ShiftUpOneLane(screenA[2], screen.z), dz = screen.z - z0;
      const Int8 bits = DepthBits(z0);
      const Int8 sameBits = (z0 == screen.z) | ((dz >= Filled<Float8>(-3.4028235e38f)) &
                                                (dz <= Filled<Float8>(3.4028235e38f)) & (bits == DepthBits(z0 + dz)));
      Int8 result;
      for (int j = 0; j < kBatchLanes; ++j) result[j] = static_cast<int>(w.colour[j] | pixel_.plainAlpha);
      const Int8 asIs = pixel_.blend ? (result >> 24) == Int8{} - 1 : Int8{} - 1;  // alpha 0xFF, shifted in
      unsettled |= (LaneBits(sameBits & (bits == settled) & asIs) & lanes) != lanes;
      std::memcpy(e.x0, &x0, sizeof e.x0), std::memcpy(e.y0, &y0, sizeof e.y0);
      std::memcpy(e.x1, &screen.x, sizeof e.x1), std::memcpy(e.y1, &screen.y, sizeof e.y1);
      std::memcpy(e.colour, &result, sizeof e.colour);
    } else {
      // One at a time, clipped as DrawClippedSceneLine clips them, term for term.
      for (int j = 0; j < n; ++j) {
        const ClipPosition clipB{c.x[j], c.y[j], c.z[j], c.w[j]};
        const Float4 screenB{screen.x[j], screen.y[j], screen.z[j], 0.0f};
        const bool insideB = inside >> j & 1;
        float t0 = 0.0f, t1 = 1.0f;
        e.y0[j] = __builtin_nanf("");  // nothing to draw, unless placed below
        if ((insideA && insideB) || ClipSegment(clipA, clipB, t0, t1)) {
          const Float4 a = LoadBytes<Float4>(&clipA), b = LoadBytes<Float4>(&clipB);
          auto at = [&](float t) { return a + (b - a) * Splat(t); };
          const Float4 from = t0 > 0.0f ? ScreenOf(at(t0)) : screenA, to = t1 < 1.0f ? ScreenOf(at(t1)) : screenB;
          const uint32_t result = w.colour[j] | pixel_.plainAlpha;
          e.x0[j] = from[0], e.y0[j] = from[1], e.x1[j] = to[0], e.y1[j] = to[1], e.colour[j] = result;
          unsettled |= !Rasterizer::WrittenAsIs(result, pixel_) || !Rasterizer::SameDepthBits(from[2], to[2]) ||
                       Rasterizer::DepthToBits(from[2]) != settled;
        }
        clipA = clipB, screenA = screenB, insideA = insideB;
      }
      continue;
    }
    const int j = n - 1;
    clipA = {c.x[j], c.y[j], c.z[j], c.w[j]};
    screenA = Float4{screen.x[j], screen.y[j], screen.z[j], 0.0f};
    insideA = inside >> j & 1;
  }
  unsettledOut = unsettled;
}

bool SoftwareDevice::DrawStripOnTwoThreads(const uint8_t* v, UINT segments, UINT stride) {
  if (!TakesRunOnTwoThreads(segments)) return false;
  RenewWvpLanes();
  const size_t eights = (segments + kBatchLanes - 1) / kBatchLanes;
  std::vector<SettledEight>& placed = runEights_[runBuffer_];
  if (placed.size() < eights) placed.resize(eights);
  bool unsettled[2] = {false, false};
  const UINT half = segments / 2 / kBatchLanes * kBatchLanes;  // each half's eights whole
  auto place = [&](int part) {
    PlaceSegmentsInLanes(v, stride, part == 0 ? 0 : half, part == 0 ? half : segments, placed.data(),
                         unsettled[part]);
  };
  InTwoParts(*worker_, place);
  if (unsettled[0] || unsettled[1]) return false;
  WriteLater({nullptr, placed.data(), eights, pixel_.lastPixel});
  chain_.valid = false;  // the next segment starts afresh: lastEnd_ is not this run's end
  return true;
}

}  // namespace render
