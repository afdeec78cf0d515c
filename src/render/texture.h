// An A8R8G8B8 texture with its mip chain held in plain memory (texture.cpp). It lives apart from the
// device, so every pool survives a device Reset; the rasterizer samples it directly.
#pragma once

#include <cstdint>
#include <vector>

#include "render/ref_counted.h"

namespace render {

class Texture final : public RefCounted<IDirect3DTexture8> {
 public:
  struct Level {
    UINT width = 0, height = 0;
    std::vector<uint32_t> texels;  // rows of `width` texels, top row first
  };

  // `levels` 0 = the full chain down to 1 × 1. Fails (null) for sizes of 0 or above kMaxSide.
  static Texture* Create(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  static constexpr UINT kMaxSide = 16384;
  static UINT FullChainLength(UINT width, UINT height);

  DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

  UINT LevelCount() const { return static_cast<UINT>(levels_.size()); }
  const Level& LevelAt(UINT i) const { return levels_[i]; }
  Level& LevelAt(UINT i) { return levels_[i]; }
  // X8R8G8B8 textures read with alpha 255 whatever the stored byte.
  bool HasAlpha() const { return format_ != D3DFMT_X8R8G8B8; }

 private:
  Texture() = default;
  std::vector<Level> levels_;
  D3DFORMAT format_ = D3DFMT_A8R8G8B8;
  DWORD usage_ = 0;
  D3DPOOL pool_ = D3DPOOL_MANAGED;
  std::vector<bool> locked_;
};

}  // namespace render
