// The scene's polyline, a segment a call: unlit, unfogged world-space segments of one flat colour in
// a plain-write state. Clipping and the viewport transform are DrawClippedLine's and ToScreen's, on
// positions only (a flat colour interpolates to itself, and plain writes ignore texture coordinates
// and fog), worked on the four coordinates at once. A segment usually starts where the last one
// ended, so each end is transformed once and kept for the next segment.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/clip_volume.h"
#include "render/float4.h"
#include "render/software_device.h"

namespace render {
namespace {

// Inside(c) for a finite w; false for an infinite one, which the clipping route then looks at.
inline bool InsideClipVolume(Float4 c) {
  const Float4 w = Splat(c[3]);
  const Float4 low = w * Float4{-1, -1, 0, 0} + Float4{0, 0, 0, kMinW};
  const Float4 high = w * Float4{1, 1, 1, 0} + Float4{0, 0, 0, INFINITY};
  return LaneBits((c >= low) & (c <= high)) == 0xF;
}

}  // namespace

inline void SoftwareDevice::KeepLineEnd(const uint8_t* b, Float4 clip, bool inside, bool onScreen, Float4 screen) {
  std::memcpy(lastEnd_.key, b, sizeof lastEnd_.key);
  std::memcpy(&lastEnd_.clip, &clip, sizeof lastEnd_.clip);
  std::memcpy(lastEnd_.screen, &screen, sizeof lastEnd_.screen);
  lastEnd_.inside = inside;
  lastEnd_.onScreen = onScreen;
  lastEndValid_ = true;
}

void SoftwareDevice::DrawSceneLine(const uint8_t* a, const uint8_t* b) {
  const uint32_t colourA = layout_.diffuse >= 0 ? LoadBytes<uint32_t>(a + layout_.diffuse) : 0xFFFFFFFFu;
  const uint32_t colourB = layout_.diffuse >= 0 ? LoadBytes<uint32_t>(b + layout_.diffuse) : 0xFFFFFFFFu;
  // Both ends of one colour: then every interpolated colour, a clipped end's included, is that colour.
  if (!pixel_.plainWrite || colourA != colourB) {
    EmitLine(a, b);
    return;
  }
  const Float4 clipB = ClipOf(b);
  const bool reuse = lastEndValid_ && std::memcmp(a, lastEnd_.key, sizeof lastEnd_.key) == 0;
  if (!(reuse && lastEnd_.inside && lastEnd_.onScreen && InsideClipVolume(clipB))) {
    DrawClippedSceneLine(a, b, reuse, clipB, colourA);
    return;
  }
  // The polyline's usual segment: nothing to clip, and the start is already on screen.
  const Float4 screenB = ScreenOf(clipB);
  const float ax = lastEnd_.screen[0], ay = lastEnd_.screen[1], az = lastEnd_.screen[2];
  const float bx = screenB[0], by = screenB[1], bz = screenB[2];
  KeepLineEnd(b, clipB, true, true, screenB);
  const uint32_t result = colourA | pixel_.plainAlpha;
  if ((!pixel_.blend || (result >> 24) == 0xFF) && Rasterizer::SameDepthBits(az, bz) &&
      raster_.DepthSettled(Rasterizer::DepthToBits(az), pixel_))
    raster_.DrawSettledLine(ax, ay, bx, by, result, pixel_.lastPixel);
  else
    raster_.DrawPlainLine(ax, ay, az, bx, by, bz, colourA, pixel_);
}

void SoftwareDevice::DrawClippedSceneLine(const uint8_t* a, const uint8_t* b, bool reuse, Float4 clipB,
                                          uint32_t colour) {
  // A reused start was the last segment's end, whose clip position (the same bits) was tested then.
  const Float4 clipA = reuse ? LoadBytes<Float4>(&lastEnd_.clip) : ClipOf(a);
  const auto pa = LoadBytes<ClipPosition>(&clipA), pb = LoadBytes<ClipPosition>(&clipB);
  const bool insideB = Inside(pb);
  float t0 = 0.0f, t1 = 1.0f;
  bool visible = true;
  if (!((reuse ? lastEnd_.inside : Inside(pa)) && insideB)) {
    for (int p = 0; p < kPlanes && visible; ++p) {
      const float da = PlaneDistance(pa, p), db = PlaneDistance(pb, p);
      if (da >= 0.0f && db >= 0.0f) continue;
      if (!(da >= 0.0f) && !(db >= 0.0f)) {  // both outside (or NaN)
        visible = false;
        break;
      }
      const float t = da / (da - db);
      if (da < 0.0f) t0 = std::max(t0, t);
      else t1 = std::min(t1, t);
      visible = !(t0 > t1);
    }
  }
  auto at = [&](float t) { return clipA + (clipB - clipA) * Splat(t); };  // the clipper's interpolation
  Float4 screenA{}, screenB{};
  if (visible) {
    if (t0 > 0.0f) screenA = ScreenOf(at(t0));
    else if (reuse && lastEnd_.onScreen) screenA = LoadBytes<Float4>(lastEnd_.screen);
    else screenA = ScreenOf(clipA);
    screenB = ScreenOf(t1 < 1.0f ? at(t1) : clipB);
  }
  KeepLineEnd(b, clipB, insideB, visible && !(t1 < 1.0f), screenB);
  if (visible)
    raster_.DrawPlainLine(screenA[0], screenA[1], screenA[2], screenB[0], screenB[1], screenB[2], colour, pixel_);
}

}  // namespace render
