// The scene's points, eight at a time: unlit, unfogged world-space points in a plain-write state are
// transformed, depth-clipped and placed on screen in vector lanes, with the general path's operations
// in its order, then plotted in the order they came.
#include "render/clip_volume.h"
#include "render/software_device.h"
#include "render/vector_lanes.h"

namespace render {

SV_LANE_CLONES void SoftwareDevice::DrawPendingPointsInLanes(PendingPositions& w) {
  int n = 0;
  const ClipLanes c = w.Take(wvpLanes_, n);
  const Int8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
  // In front of the near plane and within the depth range (a point is not clipped in x or y).
  const Int8 visible = (c.w >= (Float8{} + kMinW)) & (c.z >= Float8{}) & (c.z <= c.w) & (lane < n);
  const ScreenLanes s = ScreenOfLanes(c);
  // The pixel each centre rounds to, and whether it is on the target (unsigned: negatives are far).
  Int8 px, py;
  LaneCentreIndex(s.x, px), LaneCentreIndex(s.y, py);
  const Int8 onTarget = (reinterpret_cast<UInt8>(px) < static_cast<unsigned>(raster_.Width())) &
                        (reinterpret_cast<UInt8>(py) < static_cast<unsigned>(raster_.Height()));
  for (int plotted = LaneBits(visible & onTarget); plotted != 0; plotted &= plotted - 1) {
    const int j = __builtin_ctz(static_cast<unsigned>(plotted));
    raster_.PlotPlain(px[j], py[j], s.z[j], w.colour[j], pixel_);
  }
}

void SoftwareDevice::DrawPendingPoints() {
  WaitForPendingWriting();  // a run being written comes first
  RenewWvpLanes();
  DrawPendingPointsInLanes(batch_.points);
}

// Kept beside the lanes it draws with: their clones are chosen within this file.
void SoftwareDevice::AddPendingPoints(const uint8_t* p, UINT count, UINT stride) {
  for (UINT i = 0; i < count; ++i, p += stride)
    if (batch_.points.Add(p, layout_.DiffuseAt(p))) DrawPendingPointsInLanes(batch_.points);
}

}  // namespace render
