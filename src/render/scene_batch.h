// The scene's pending draws: positions held back to be transformed eight at a time in vector lanes
// (points, and the ends of segments that chain), drawn before any other device call
// (SoftwareDevice::EndBatch). The device's side is scene_points.cpp and scene_lines.cpp.
#pragma once

#include <cstdint>
#include <cstring>

#include "render/vector_lanes.h"

namespace render {

// How many draws are pending before they are done together: a vector lane each.
constexpr int kBatchLanes = 8;

// A field read by itself. Left alone, the compiler reads neighbouring fields that were just stored
// one by one with a single wide load, which stalls until every one of those stores has finished.
SV_LANES_INLINE float ReadAlone(float f) {
#if defined(__x86_64__)
  __asm__("" : "+x"(f));
#endif
  return f;
}
SV_LANES_INLINE uint32_t ReadAlone(uint32_t word) {
#if defined(__GNUC__)
  __asm__("" : "+r"(word));
#endif
  return word;
}

// A vertex position's 12 bytes copied and compared a 32-bit word at a time (the caller has just
// written its vertices a field at a time).
SV_LANES_INLINE uint32_t PositionWord(const uint8_t* p, int i) { return ReadAlone(LoadBytes<uint32_t>(p + 4 * i)); }
SV_LANES_INLINE void CopyPosition(uint8_t* to, const uint8_t* from) {
  for (int i = 0; i < 3; ++i) {
    const uint32_t word = PositionWord(from, i);
    std::memcpy(to + 4 * i, &word, 4);
  }
}
SV_LANES_INLINE bool SamePosition(const uint8_t* a, const uint8_t* b) {
  return PositionWord(a, 0) == PositionWord(b, 0) && PositionWord(a, 1) == PositionWord(b, 1) &&
         PositionWord(a, 2) == PositionWord(b, 2);
}

// Rasterizer::DepthToBits lane by lane, into `bits`.
SV_LANES_INLINE void DepthBits(const Float8& z, Int8& bits) {
  const Float8 zero{}, one = Float8{} + 1.0f;
  const Int8 between = (z > zero) & (z < one);
  const Int8 scaled = __builtin_convertvector((between ? z : zero) * (Float8{} + 65535.0f) + (Float8{} + 0.5f), Int8);
  bits = between ? scaled : (z >= one ? Int8{} + 0xFFFF : Int8{});
}

// Eight positions in clip space and on screen, a position a lane.
struct ClipLanes {
  Float8 x, y, z, w;
};
struct ScreenLanes {
  Float8 x, y, z;
};

// World-space positions pending the lane transform: x, y, z as given and a colour each.
struct PendingPositions {
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
  // Takes the `n` pending positions (lanes past n hold old ones, left unused) through `m`, world ×
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

// A position in clip space: what the scene-segment route carries instead of a whole vertex.
struct ClipPosition {
  float x, y, z, w;
};

// The end of the last scene line: its clip position and, when it was not clipped, its screen
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

// Segments that each start where the one before ended: the end before the first pending one, and the
// pending ends. Kept by the thread that draws them.
struct SegmentChain {
  LineEnd end{};
  PendingPositions ends;
};

// Everything pending. Segments and points are never pending together: a draw of one kind
// draws the other's first.
struct SceneBatch {
  SegmentChain segments;   // the scene's polyline
  PendingPositions points;  // points in a plain-write state
  bool Empty() const { return (segments.ends.count | points.count) == 0; }
};

}  // namespace render
