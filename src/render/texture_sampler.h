// Texel lookup for the pixel stage: point sampling (the program's only filter), wrap, mirror or clamp
// addressing.
#pragma once

#include <cstdint>

#include "render/rasterizer.h"

namespace render {

namespace sampling {

constexpr float kEdgeBias = 1.0f / 1024.0f;  // in texels

inline int Address(int i, int size, DWORD mode) {
  // Inside the texture every mode leaves the index as it is; only the others need the division.
  if (static_cast<unsigned>(i) < static_cast<unsigned>(size)) return i;
  if (mode == D3DTADDRESS_CLAMP || mode == D3DTADDRESS_BORDER) return i < 0 ? 0 : (i >= size ? size - 1 : i);
  if (mode == D3DTADDRESS_MIRROR) {
    int period = 2 * size;
    int m = i % period;
    if (m < 0) m += period;
    return m < size ? m : period - 1 - m;
  }
  int m = i % size;
  return m < 0 ? m + size : m;
}

// Floor that survives NaN and huge coordinates (both read as texel 0 after addressing).
inline int FloorToInt(float f) {
  if (!(f > -1e8f && f < 1e8f)) return 0;
  // floor as truncation plus one correction, without the library call floorf is without SSE4.1:
  // exact here, as a float of 2^24 or more is whole and converts both ways unchanged.
  const int t = static_cast<int>(f);
  return t - (static_cast<float>(t) > f ? 1 : 0);
}

}  // namespace sampling

// The A8R8G8B8 texels of mip `level` (clamped to the chain), point-sampled: At(u, v) picks texel
// floor(u × W); a tiny bias keeps coordinates that land exactly on a texel edge (u = i / W, as
// unshifted 1:1 quads give) on texel i despite float rounding. The level's lookups are made once, for
// a triangle's worth of texels (the program's text).
class PointSampler {
 public:
  PointSampler(const Texture& texture, unsigned level, DWORD addressU, DWORD addressV);
  uint32_t At(float u, float v) const {
    const int x = sampling::Address(sampling::FloorToInt(u * width_ + sampling::kEdgeBias), w_, addressU_);
    const int y = sampling::Address(sampling::FloorToInt(v * height_ + sampling::kEdgeBias), h_, addressV_);
    return texels_[static_cast<size_t>(y) * w_ + x] | alphaOr_;
  }

 private:
  const uint32_t* texels_;
  int w_, h_;
  float width_, height_;
  uint32_t alphaOr_;
  DWORD addressU_, addressV_;
};

}  // namespace render
