// Segments with very far ends, clipped in world space before they reach the device: the device's
// own clipping (clip_volume.h) works in float, in clip space: a segment whose ends lie a billion units out
// and which crosses the view would be clipped with errors of many pixels, or lost, and ends beyond
// float's range would not even reach it. Seen from the eye, though, a segment covers exactly the
// directions between the rays through its two ends, and so does any chord between those rays. Such
// a segment is therefore replaced, in double, by chords at a moderate distance from the eye: one,
// or two through the middle direction when the rays are more than a right angle apart (a single
// chord would then pass too close to the eye for float). The device then clips and projects
// ordinary values and lights the pixels the far segment covers. Depth along the chords differs,
// which the scene does not see: its near plane is 0, so every depth it draws is 1.0.
// Segments whose coordinates all stay within kExactReach go to the device untouched, as always.
// Paired with clip_far_segments.cpp.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "render/d3d8.h"

namespace render {

// World coordinates up to this size clip exactly enough in float (a small fraction of a pixel).
inline constexpr double kExactReach = 1e4;


// Whether every coordinate of the float position at `p` (a vertex's first 12 bytes) lies within kExactReach.
inline bool NearPosition(const uint8_t* p) {
  float f[3];
  std::memcpy(f, p, sizeof f);
  return std::fabs(f[0]) <= static_cast<float>(kExactReach) && std::fabs(f[1]) <= static_cast<float>(kExactReach) &&
         std::fabs(f[2]) <= static_cast<float>(kExactReach);
}

// The eye of the device's current world × view × projection, worked out again only when one of the
// three transforms has changed since the last call that met a far segment.
class FarLineEye {
 public:
  // False under a projection without an eye (a parallel projection): segments are then left as they are.
  bool Of(IDirect3DDevice8& device, double eye[3]);

 private:
  D3DMATRIX matrices_[3] = {};  // world, view, projection, as last read
  double eye_[3] = {0, 0, 0};
  bool known_ = false, found_ = false;
};

// The chords that stand for the segment a–b (world space) seen from `eye`: `points` receives their
// ends, a polyline of `return value` + 1 points (0 pieces: nothing of it can be seen, as for a segment
// through the eye). A segment with an end that is not finite or at the eye comes back as it is (1 piece).
int NearChords(const double eye[3], const double a[3], const double b[3], double points[3][3]);

}  // namespace render
