// Texel lookup: point or bilinear, wrap, mirror or clamp.
#include "render/texture_sampler.h"

#include <cmath>

#include "render/texture.h"

namespace render {
namespace {

using sampling::Address;
using sampling::FloorToInt;

uint32_t Lerp(uint32_t a, uint32_t b, int w256) {
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) {
    int ca = (a >> s) & 0xFF, cb = (b >> s) & 0xFF;
    int c = ca + (((cb - ca) * w256 + 128) >> 8);
    out |= static_cast<uint32_t>(c & 0xFF) << s;
  }
  return out;
}

}  // namespace

uint32_t SampleTexture(const Texture& texture, unsigned level, float u, float v, bool linear, DWORD addressU,
                       DWORD addressV) {
  if (level >= texture.LevelCount()) level = texture.LevelCount() - 1;
  const Texture::Level& l = texture.LevelAt(level);
  const int w = static_cast<int>(l.width), h = static_cast<int>(l.height);
  if (!linear) return PointSampler(texture, level, addressU, addressV).At(u, v);
  const uint32_t alphaOr = texture.HasAlpha() ? 0u : 0xFF000000u;
  float fx = u * static_cast<float>(w), fy = v * static_cast<float>(h);
  fx -= 0.5f;
  fy -= 0.5f;
  int x0 = FloorToInt(fx), y0 = FloorToInt(fy);
  int wx = static_cast<int>((fx - std::floor(fx)) * 256.0f), wy = static_cast<int>((fy - std::floor(fy)) * 256.0f);
  if (!(fx > -1e8f && fx < 1e8f)) wx = 0;
  if (!(fy > -1e8f && fy < 1e8f)) wy = 0;
  int xa = Address(x0, w, addressU), xb = Address(x0 + 1, w, addressU);
  int ya = Address(y0, h, addressV), yb = Address(y0 + 1, h, addressV);
  const uint32_t* row0 = &l.texels[static_cast<size_t>(ya) * w];
  const uint32_t* row1 = &l.texels[static_cast<size_t>(yb) * w];
  uint32_t top = Lerp(row0[xa], row0[xb], wx), bottom = Lerp(row1[xa], row1[xb], wx);
  return Lerp(top, bottom, wy) | alphaOr;
}

PointSampler::PointSampler(const Texture& texture, unsigned level, DWORD addressU, DWORD addressV)
    : addressU_(addressU), addressV_(addressV) {
  if (level >= texture.LevelCount()) level = texture.LevelCount() - 1;
  const Texture::Level& l = texture.LevelAt(level);
  texels_ = l.texels.data();
  w_ = static_cast<int>(l.width), h_ = static_cast<int>(l.height);
  width_ = static_cast<float>(w_), height_ = static_cast<float>(h_);
  alphaOr_ = texture.HasAlpha() ? 0u : 0xFF000000u;
}

}  // namespace render
