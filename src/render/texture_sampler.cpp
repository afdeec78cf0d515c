// Point sampling of one mip level.
#include "render/texture_sampler.h"

#include "render/texture.h"

namespace render {

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
