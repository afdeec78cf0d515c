// The routes a primitive can be drawn by. A route other than the general one is a shorter body for
// one common case that does the general route's arithmetic term for term, lane by lane, so every
// route draws the general route's pixels. src/render/README.md has a row for each value: when it is
// taken, where its code is and the test that holds it to the general route.
#pragma once

#include <cstdint>

namespace render {

enum class Route : uint8_t {
  General,          // anything below does not take: fetch, transform, light, clip, rasterize
  BatchedPoint,     // a scene point pending in the batch, transformed and placed with seven more in lanes
  SceneSegment,     // a scene polyline segment: its end pending in the batch, or drawn alone
  SettledLineWalk,  // eight pending segments inside the volume whose every pixel is settled, walked in lanes
  RunOnTwoThreads,  // a long settled point run placed by both threads and written by the worker
  Strip,            // a line strip whose segments each have one colour, drawn as one chain of pending ends
  BufferPoint,      // one untransformed, unlit, unfogged point from the vertex buffer
  TriangleLanes,    // a small triangle whose pixels are weighed eight at a time
};

}  // namespace render
