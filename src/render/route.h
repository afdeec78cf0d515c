// The routes a primitive can be drawn by, each chosen once per call. A route other than the general
// one is a shorter body for one common case that does the general route's arithmetic term for term,
// lane by lane, so every route draws the general route's pixels. src/render/README.md has a row for
// each value: when it is taken, where its code is and the test that holds it to the general route.
#pragma once

#include <cstdint>

namespace render {

enum class Route : uint8_t {
  General,        // anything below does not take: fetch, transform, light, clip, rasterize
  SettledPoints,  // a buffer's point list at the settled depth with a plain write, eight points in lanes
  SettledStrip,   // a buffer's line strip likewise, each segment of one colour, eight ends in lanes
  TriangleLanes,  // a small triangle whose pixels are weighed eight at a time
};

}  // namespace render
