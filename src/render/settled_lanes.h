// Eight vertices at a time: the values the settled routes carry in vector lanes (positions in clip
// space and on screen), and the ends of a strip's segments gathered eight at a time.
// The device's side is settled_rows.cpp.
#pragma once

#include <cstdint>
#include <cstring>

#include "render/vector_lanes.h"

namespace render {

// Vertices transformed together: a vector lane each.
constexpr int kBatchLanes = 8;

// A field read by itself. Left alone, the compiler reads neighbouring fields that were just stored
// one by one with a single wide load, which stalls until every one of those stores has finished.
SV_LANES_INLINE float ReadAlone(float f) {
#if defined(__x86_64__)
  __asm__("" : "+x"(f));
#endif
  return f;
}

// Eight positions in clip space and on screen, a position a lane.
struct ClipLanes {
  Float8 x, y, z, w;
};
struct ScreenLanes {
  Float8 x, y, z;
};

// Eight 16-byte vertices of position and colour at `p`, transposed into lanes, their positions through
// `m` (world × view × projection an element to all lanes): GatheredEnds::Take's arithmetic, term for term.
// The row picker of the viewer projects the row buffer with it too, so a row is found where it is drawn.
SV_LANES_INLINE void EightRows(const uint8_t* p, const Float8 (&m)[4][4], ClipLanes& c, Int8& colour) {
  Float8 v01, v23, v45, v67;  // copied in place: an eight-lane value never crosses a call
  std::memcpy(&v01, p, 32), std::memcpy(&v23, p + 32, 32), std::memcpy(&v45, p + 64, 32), std::memcpy(&v67, p + 96, 32);
  // x0-x3 y0-y3, z0-z3 c0-c3, and the same for vertices 4-7.
  const Float8 xy03 = __builtin_shufflevector(v01, v23, 0, 4, 8, 12, 1, 5, 9, 13);
  const Float8 zc03 = __builtin_shufflevector(v01, v23, 2, 6, 10, 14, 3, 7, 11, 15);
  const Float8 xy47 = __builtin_shufflevector(v45, v67, 0, 4, 8, 12, 1, 5, 9, 13);
  const Float8 zc47 = __builtin_shufflevector(v45, v67, 2, 6, 10, 14, 3, 7, 11, 15);
  const Float8 px = __builtin_shufflevector(xy03, xy47, 0, 1, 2, 3, 8, 9, 10, 11);
  const Float8 py = __builtin_shufflevector(xy03, xy47, 4, 5, 6, 7, 12, 13, 14, 15);
  const Float8 pz = __builtin_shufflevector(zc03, zc47, 0, 1, 2, 3, 8, 9, 10, 11);
  colour = reinterpret_cast<Int8>(__builtin_shufflevector(zc03, zc47, 4, 5, 6, 7, 12, 13, 14, 15));
  c = {px * m[0][0] + py * m[1][0] + pz * m[2][0] + m[3][0], px * m[0][1] + py * m[1][1] + pz * m[2][1] + m[3][1],
       px * m[0][2] + py * m[1][2] + pz * m[2][2] + m[3][2], px * m[0][3] + py * m[1][3] + pz * m[2][3] + m[3][3]};
}

// World-space positions gathered for the lane transform: x, y, z as given and a colour each.
struct GatheredEnds {
  float x[kBatchLanes] = {}, y[kBatchLanes] = {}, z[kBatchLanes] = {};
  uint32_t colour[kBatchLanes] = {};
  int count = 0;

  // Adds the position at `p` with `colour`; true when the lanes are full.
  bool Add(const uint8_t* p, uint32_t c) {
    const int i = count;
    x[i] = LoadBytes<float>(p), y[i] = LoadBytes<float>(p + 4), z[i] = LoadBytes<float>(p + 8);
    colour[i] = c;
    return ++count == kBatchLanes;
  }
  // Takes the `n` gathered positions (lanes past n hold old ones, left unused) through `m`, world ×
  // view × projection an element to all lanes: FetchVertex's arithmetic, term for term.
  SV_LANES_INLINE ClipLanes Take(const Float8 (&m)[4][4], int& n) {
    n = count;
    count = 0;
    auto lanes = [](const float* f, Float8& out) SV_LAMBDA_INLINE {
      out = Float8{ReadAlone(f[0]), ReadAlone(f[1]), ReadAlone(f[2]), ReadAlone(f[3]),
                   ReadAlone(f[4]), ReadAlone(f[5]), ReadAlone(f[6]), ReadAlone(f[7])};
    };
    Float8 px, py, pz;
    lanes(x, px), lanes(y, py), lanes(z, pz);
    return {px * m[0][0] + py * m[1][0] + pz * m[2][0] + m[3][0], px * m[0][1] + py * m[1][1] + pz * m[2][1] + m[3][1],
            px * m[0][2] + py * m[1][2] + pz * m[2][2] + m[3][2], px * m[0][3] + py * m[1][3] + pz * m[2][3] + m[3][3]};
  }
};

// A position in clip space: what the settled strip carries instead of a whole vertex.
struct ClipPosition {
  float x, y, z, w;
};

// The end of the last segment of a strip: its clip position and, when it was not clipped, its screen
// position. The next segment of a polyline starts there.
struct LineEnd {
  ClipPosition clip;
  float screen[4];        // x, y, z (and an unused fourth)
  bool onScreen, inside;  // inside: Inside(clip)

  void Keep(Float4 clipAt, bool isInside, bool isOnScreen, Float4 screenAt) {
    std::memcpy(&clip, &clipAt, sizeof clip);
    std::memcpy(screen, &screenAt, sizeof screen);
    inside = isInside;
    onScreen = isOnScreen;
  }
};

// Segments that each start where the one before ended: the end before the first gathered one, and the
// gathered ends. Kept by the thread that draws them.
struct SegmentChain {
  LineEnd end{};
  GatheredEnds ends;
};

}  // namespace render
