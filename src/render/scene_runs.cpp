// Long runs of the scene's rows on two threads.
//
// Points: a POINTLIST call of many vertices on the batched-point route (untransformed, unlit,
// unfogged, plain write) whose every pixel is settled (its depth is the one every pixel holds and
// passes, so only colours are written). The run is placed in two halves at once, the caller and the
// worker each taking one: transformed, clipped and put on screen with the arithmetic of the one-thread
// routes. Then its writing is pending: the worker alone writes the placed run into the picture, in the
// run's order, while the call returns and the caller makes the next run; the next run's writing follows
// it, and every other call that draws or reads waits for it (WaitForPendingWriting). The pixels are
// written by one thread in one thread's order, so the bytes are the one-thread bytes. A run that is
// not wholly settled is drawn by the one-thread routes instead.
//
// Strips: a LINESTRIP whose segments each have one colour is drawn as one chain of pending ends. When
// every pixel it can write takes one and the same colour and nothing else (OrderFree), the order of
// its segments cannot show, and both threads draw parts of it at once.
#include <algorithm>
#include <chrono>

#include "platform/worker.h"
#include "render/clip_volume.h"
#include "render/software_device.h"
#include "render/vector_lanes.h"

namespace render {
namespace {

// Runs part(0) and part(1) at once, on the caller and the worker.
template <class Part>
void InTwoParts(platform::Worker& worker, Part& part) {
  worker.ForEachPart(
      2, [](void* context, std::size_t index) { (*static_cast<Part*>(context))(static_cast<int>(index)); }, &part);
}

// Draws a run of `primitives` by draw(two), on the way `choice` picks, and tells it what that took.
template <class Draw>
void TimedRun(RunThreads& choice, std::size_t primitives, Draw draw) {
  const bool two = choice.TwoNext();
  const auto start = std::chrono::steady_clock::now();
  draw(two);
  const auto took = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
  choice.Took(two, static_cast<uint64_t>(took.count()), primitives);
}

}  // namespace

bool SoftwareDevice::TakesRunOnTwoThreads() {
  if (raster_.SettledDepth(pixel_) < 0) return false;
  if (!batch_.Empty()) DrawBatch();  // what is pending was called for first
  return true;
}

void SoftwareDevice::WriteOnWorker(PlacedRun run) {
  WaitForPendingWriting();  // the run before this one first: the worker may not have taken it yet
  placed_ = run;
  writing_ = worker_->Hand(
      [](void* device, std::size_t) {
        auto& d = *static_cast<SoftwareDevice*>(device);
        const PlacedRun& r = d.placed_;
        d.raster_.PutSettledPixels(r.points, r.count);
      },
      this, 1);
  writingPending_ = true;
  runBuffer_ ^= 1;  // the next run is placed beside this one while it is written
}

SV_LANE_CLONES void SoftwareDevice::PlacePointsInLanes(const uint8_t* v, UINT stride, UINT first, UINT last,
                                                       SettledPixel* out, bool& unsettledOut) {
  bool unsettled = false;  // kept here: the other thread writes the flag beside the caller's
  const int settled = raster_.SettledDepth(pixel_);
  const uint32_t width = static_cast<uint32_t>(raster_.Width());
  const Int8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
  PendingPositions w;
  for (UINT i = first; i < last; i += kBatchLanes) {
    const int n = static_cast<int>(std::min<UINT>(kBatchLanes, last - i));
    for (int j = 0; j < n; ++j) {
      const uint8_t* p = v + static_cast<size_t>(i + j) * stride;
      w.Add(p, layout_.DiffuseAt(p));
    }
    // DrawPendingPointsInLanes' placing, lane for lane.
    int taken = 0;
    const ClipLanes c = w.Take(wvpLanes_, taken);
    const Int8 visible = (c.w >= (Float8{} + kMinW)) & (c.z >= Float8{}) & (c.z <= c.w) & (lane < n);
    const ScreenLanes s = ScreenOfLanes(c);
    Int8 px, py;
    LaneCentreIndex(s.x, px), LaneCentreIndex(s.y, py);
    const Int8 onTarget = (reinterpret_cast<UInt8>(px) < static_cast<unsigned>(raster_.Width())) &
                          (reinterpret_cast<UInt8>(py) < static_cast<unsigned>(raster_.Height()));
    const int plotted = LaneBits(visible & onTarget);
    Int8 depth;
    DepthBits(s.z, depth);
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
  if (!TakesRunOnTwoThreads()) return false;
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
  WriteOnWorker({placed.data(), count});
  return true;
}

bool SoftwareDevice::OrderFree(uint32_t colour) const {
  // Clip z equal to clip w (a near plane at 0) puts every position, and every point the clipper cuts
  // between two of them, at a depth within an ulp of 1.0: the bits 0xFFFF, settled after a clear.
  const float(*m)[4] = worldViewProjection_;
  return m[0][2] == m[0][3] && m[1][2] == m[1][3] && m[2][2] == m[2][3] && m[3][2] == m[3][3] &&
         vpScale_[2] == 1.0f && raster_.SettledDepth(pixel_) == Rasterizer::DepthToBits(1.0f) &&
         Rasterizer::WrittenAsIs(colour | pixel_.plainAlpha, pixel_);
}

bool SoftwareDevice::AllOfColour(const uint8_t* v, UINT vertices, UINT stride, uint32_t colour) const {
  if (layout_.diffuse < 0) return true;
  bool same = true;
  for (UINT i = 0; i < vertices; ++i) same &= LoadBytes<uint32_t>(v + size_t{i} * stride + layout_.diffuse) == colour;
  return same;
}

void SoftwareDevice::DrawRunInParts(void (SoftwareDevice::*part)(size_t first, size_t last)) {
  // Any primitive may be drawn before any other: both threads take parts until none is left.
  struct Parts {
    SoftwareDevice* device;
    void (SoftwareDevice::*part)(size_t, size_t);
  } parts{this, part};
  worker_->ForEachPart(
      (run_.count + kRunPart - 1) / kRunPart,
      [](void* context, std::size_t index) {
        const Parts& p = *static_cast<Parts*>(context);
        (p.device->*p.part)(index * kRunPart, std::min<size_t>(p.device->run_.count, (index + 1) * kRunPart));
      },
      &parts);
}

void SoftwareDevice::DrawPoints(const uint8_t* v, UINT count, UINT stride) {
  if (PointRunRoute(count) == Route::RunOnTwoThreads) {
    // A run found unsettled on two threads is drawn in order within the timing: the try is its cost.
    TimedRun(pointRunThreads_, count, [&](bool two) {
      if (!two || !DrawPointsOnTwoThreads(v, count, stride)) DrawPointsInOrder(v, count, stride);
    });
    return;
  }
  DrawPointsInOrder(v, count, stride);
}

void SoftwareDevice::DrawPointsInOrder(const uint8_t* v, UINT count, UINT stride) {
  if (batch_.segments.ends.count != 0) DrawPendingSegments();
  WaitForPendingWriting();
  RenewWvpLanes();
  AddPendingPoints(v, count, stride);  // the last few stay pending, as points a call each would
}

void SoftwareDevice::DrawStrip(const uint8_t* v, UINT count, UINT stride, uint32_t colour, bool oneColour) {
  if (!batch_.Empty()) DrawBatch();  // what is pending was called for first
  WaitForPendingWriting();
  RenewWvpLanes();
  run_ = {v, stride, count, colour, !oneColour};
  if (LongEnoughForTwoThreads(count) && oneColour && OrderFree(colour)) {
    TimedRun(stripThreads_, count, [&](bool two) {
      if (two) DrawRunInParts(&SoftwareDevice::DrawStripSegments);
      else DrawStripSegments(0, count);
    });
  } else {
    DrawStripSegments(0, count);
  }
  chain_.valid = false;  // the next segment starts afresh: this strip's last end was kept by a part
}

}  // namespace render
