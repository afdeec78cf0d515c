// Texel lookup for the pixel stage: point or bilinear filtering, wrap or clamp addressing (sampler.cpp).
#pragma once

#include <cstdint>

#include "render/rasterizer.h"

namespace render {

// Returns the A8R8G8B8 texel colour at (u, v) of mip `level` (clamped to the chain). Point sampling
// picks texel floor(u × W); a tiny bias keeps coordinates that land exactly on a texel edge (u = i / W,
// as unshifted 1:1 quads give) on texel i despite float rounding.
uint32_t SampleTexture(const Texture& texture, unsigned level, float u, float v, bool linear, DWORD addressU,
                       DWORD addressV);

}  // namespace render
