// A8R8G8B8 textures in plain memory.
#include "render/texture.h"

#include <cstddef>
#include <new>

namespace render {

UINT Texture::FullChainLength(UINT width, UINT height) {
  UINT n = 1;
  while (width > 1 || height > 1) {
    width = width > 1 ? width / 2 : 1;
    height = height > 1 ? height / 2 : 1;
    ++n;
  }
  return n;
}

Texture* Texture::Create(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool) {
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  // Every texture is stored as A8R8G8B8; X8R8G8B8 only changes how alpha reads.
  if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) return nullptr;
  UINT full = FullChainLength(width, height);
  if (levels == 0 || levels > full) levels = full;
  Texture* t = new (std::nothrow) Texture();
  if (!t) return nullptr;
  try {
    t->levels_.resize(levels);
    UINT w = width, h = height;
    for (UINT i = 0; i < levels; ++i) {
      t->levels_[i].width = w;
      t->levels_[i].height = h;
      t->levels_[i].texels.assign(static_cast<size_t>(w) * h, 0u);
      w = w > 1 ? w / 2 : 1;
      h = h > 1 ? h / 2 : 1;
    }
  } catch (const std::bad_alloc&) {
    t->Release();
    return nullptr;
  }
  t->locked_.assign(levels, false);
  t->format_ = format;
  t->usage_ = usage;
  t->pool_ = pool;
  return t;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (!desc || level >= levels_.size()) return D3DERR_INVALIDCALL;
  const Level& l = levels_[level];
  desc->Format = format_;
  desc->Type = D3DRTYPE_SURFACE;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->Size = l.width * l.height * 4;
  desc->MultiSampleType = D3DMULTISAMPLE_NONE;
  desc->Width = l.width;
  desc->Height = l.height;
  return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD) {
  if (!lockedRect || level >= levels_.size() || locked_[level]) return D3DERR_INVALIDCALL;
  Level& l = levels_[level];
  size_t offset = 0;
  if (rect) {
    if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
        static_cast<UINT>(rect->right) > l.width || static_cast<UINT>(rect->bottom) > l.height)
      return D3DERR_INVALIDCALL;
    offset = static_cast<size_t>(rect->top) * l.width + static_cast<size_t>(rect->left);
  }
  locked_[level] = true;
  lockedRect->Pitch = static_cast<INT>(l.width * 4);
  lockedRect->pBits = l.texels.data() + offset;
  return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
  if (level >= levels_.size() || !locked_[level]) return D3DERR_INVALIDCALL;
  locked_[level] = false;
  return D3D_OK;
}

}  // namespace render
