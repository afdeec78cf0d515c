#include "render/triangle_weights.h"

namespace render {

SV_LANE_CLONES int TriangleRowWeights(const TriangleLanes& t, const int32_t e[3], int count, RowWeights& out) {
  const Int8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
  const Int8 e0 = (Int8{} + e[0]) - t.laneStep[0], e1 = (Int8{} + e[1]) - t.laneStep[1],
             e2 = (Int8{} + e[2]) - t.laneStep[2];
  const int inside = LaneBits((e0 + t.bias[0] >= 0) & (e1 + t.bias[1] >= 0) & (e2 + t.bias[2] >= 0) & (lane < count));
  if (inside == 0) return 0;
  // The scan's l0, l1, l2, its z and its weights k = p / (p0 + p1 + p2), p the l's times rhw (k = l
  // where that sum is 0).
  const Float8 l0 = __builtin_convertvector(e0, Float8) * t.inv, l1 = __builtin_convertvector(e1, Float8) * t.inv;
  const Float8 l2 = (Float8{} + 1.0f) - l0 - l1;
  const Float8 z = l0 * t.z[0] + l1 * t.z[1] + l2 * t.z[2];
  const Float8 p0 = l0 * t.rhw[0], p1 = l1 * t.rhw[1], p2 = l2 * t.rhw[2], sum = p0 + p1 + p2;
  const Int8 weighted = sum != 0.0f;
  const Float8 divisor = weighted ? sum : (Float8{} + 1.0f);
  const Float8 k0 = weighted ? p0 / divisor : l0, k1 = weighted ? p1 / divisor : l1, k2 = weighted ? p2 / divisor : l2;
  std::memcpy(out.z, &z, sizeof out.z);
  std::memcpy(out.k0, &k0, sizeof out.k0);
  std::memcpy(out.k1, &k1, sizeof out.k1);
  std::memcpy(out.k2, &k2, sizeof out.k2);
  return inside;
}

}  // namespace render
