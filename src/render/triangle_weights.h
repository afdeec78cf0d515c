// The per-pixel arithmetic of a triangle's scan, eight pixels of a row at once: which pixels are
// inside, their depth and the perspective-correct weights of the three corners. Every lane does the
// scalar scan's single-precision operations in the same order, so the results are the same bits.
#pragma once

#include <cstdint>

#include "render/vector_lanes.h"

namespace render {

// A triangle set up for the lanes. Edge values are those of the scan (twice the signed area of the
// pixel centre with each edge, in 1/256 pixels squared); they must fit in 31 bits over the triangle's
// bounding box widened by eight pixels, which holds for triangles up to a few dozen pixels across.
struct TriangleLanes {
  Int8 laneStep[3];  // what edge i loses from lane 0 to lane j: j × its step per pixel
  int32_t bias[3];   // 0 on top and left edges, -1 elsewhere
  float inv;         // 1 / twice the area
  float z[3], rhw[3];
};

// A row's eight pixels from the one whose edge values are `e`: their depth and corner weights.
struct RowWeights {
  alignas(32) float z[8], k0[8], k1[8], k2[8];
};

// Fills `out` for the first `count` (1..8) pixels and returns a bit per pixel inside the triangle.
int TriangleRowWeights(const TriangleLanes& t, const int32_t e[3], int count, RowWeights& out);

}  // namespace render
