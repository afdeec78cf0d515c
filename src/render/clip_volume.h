// The clip volume of the software device: -w <= x <= w, -w <= y <= w, 0 <= z <= w, and w at least
// kMinW, tested before the divide on clip positions (ClipVertex or ClipPosition). Segments too far out
// for float are first replaced by near chords in world space (clip_far_segments.h).
#pragma once

#include <algorithm>

namespace render {

// Points closer to the eye plane than this (in clip w) are clipped away, so the divide stays finite
// even for lines that pass through the eye.
constexpr float kMinW = 1e-5f;

// Signed distances to the clip planes -w <= x, x <= w, -w <= y, y <= w, 0 <= z, z <= w, w >= kMinW.
constexpr int kPlanes = 7;
template <class V>  // ClipVertex or ClipPosition
inline float PlaneDistance(const V& v, int plane) {
  switch (plane) {
    case 0: return v.w + v.x;
    case 1: return v.w - v.x;
    case 2: return v.w + v.y;
    case 3: return v.w - v.y;
    case 4: return v.z;
    case 5: return v.w - v.z;
    default: return v.w - kMinW;
  }
}

template <class V>
inline bool Inside(const V& v) {
  // Written so that NaN counts as outside.
  return v.w >= kMinW && v.x >= -v.w && v.x <= v.w && v.y >= -v.w && v.y <= v.w && v.z >= 0.0f && v.z <= v.w;
}

// The part [t0, t1] of the segment from a to b inside the volume, for ends not both inside: false
// when none of it is. (t0 > 0 or t1 < 1 tells which end was cut.)
template <class V>
inline bool ClipSegment(const V& a, const V& b, float& t0, float& t1) {
  t0 = 0.0f, t1 = 1.0f;
  for (int p = 0; p < kPlanes; ++p) {
    const float da = PlaneDistance(a, p), db = PlaneDistance(b, p);
    if (da >= 0.0f && db >= 0.0f) continue;
    if (!(da >= 0.0f) && !(db >= 0.0f)) return false;  // both outside (or NaN)
    const float t = da / (da - db);
    if (da < 0.0f) t0 = std::max(t0, t);
    else t1 = std::min(t1, t);
    if (t0 > t1) return false;
  }
  return true;
}

}  // namespace render
