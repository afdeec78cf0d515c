// D3DXCreateTextureFromFileExA: reads a texture file, decodes it (image.h) and builds an A8R8G8B8
// texture with the requested mip chain on the given device.
#include <cstdio>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "render/d3dx8.h"
#include "render/image.h"
#include "render/texture.h"

namespace {

// Largest file we read: a full-size uncompressed image with all its levels, and a little more.
constexpr uint64_t kMaxFileBytes = 148 + render::kMaxImageTexels * 4 * 4 / 3 + 4096;

bool ReadFile(const char* path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  if (length < 0 || static_cast<uint64_t>(length) > kMaxFileBytes) return false;
  in.seekg(0, std::ios::beg);
  try {
    bytes.resize(static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return length == 0 || static_cast<bool>(in.read(reinterpret_cast<char*>(bytes.data()), length));
}

// D3DX_FILTER_NONE and POINT keep single texels; every other filter averages.
bool IsPointFilter(DWORD filter) {
  const DWORD kind = filter & 0xFF;
  return filter != D3DX_DEFAULT && (kind == D3DX_FILTER_NONE || kind == D3DX_FILTER_POINT);
}

}  // namespace

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice8* device, const char* srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                     DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY*,
                                     IDirect3DTexture8** texture) {
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  if (!device || !srcFile) return D3DERR_INVALIDCALL;
  std::vector<uint8_t> bytes;
  if (!ReadFile(srcFile, bytes)) return D3DERR_NOTAVAILABLE;
  render::DecodedImage image;
  std::string error;
  if (!render::DecodeImageFile(bytes.data(), bytes.size(), image, error)) return D3DXERR_INVALIDDATA;
  bytes.clear();
  bytes.shrink_to_fit();

  const render::ImageLevel& top = image.levels[0];
  if (srcInfo) {
    *srcInfo = D3DXIMAGE_INFO{top.width, top.height, 1, static_cast<UINT>(image.levels.size()), image.fileFormat,
                              D3DRTYPE_TEXTURE, image.fileType};
  }
  const UINT w = (width == 0 || width == D3DX_DEFAULT) ? top.width : width;
  const UINT h = (height == 0 || height == D3DX_DEFAULT) ? top.height : height;
  if (w > render::kMaxImageSide || h > render::kMaxImageSide) return D3DERR_INVALIDCALL;
  const D3DFORMAT textureFormat = format == D3DFMT_X8R8G8B8 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8;
  const UINT fullChain = render::Texture::FullChainLength(w, h);
  const UINT levels = (mipLevels == 0 || mipLevels == D3DX_DEFAULT || mipLevels > fullChain) ? fullChain : mipLevels;

  try {
    // A requested size other than the file's replaces the file's own levels.
    if (w != top.width || h != top.height) {
      render::ImageLevel resized = render::ResizeLevel(top, w, h, IsPointFilter(filter));
      image.levels.assign(1, std::move(resized));
    }
    if (image.levels.size() > levels) image.levels.resize(levels);
    if (colorKey != 0) {
      for (auto& level : image.levels)
        for (auto& t : level.texels)
          if (t == colorKey) t = 0;
    }
    while (image.levels.size() < levels) {
      render::ImageLevel next = render::HalveLevel(image.levels.back(), IsPointFilter(mipFilter));
      image.levels.push_back(std::move(next));
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }

  IDirect3DTexture8* created = nullptr;
  HRESULT hr = device->CreateTexture(w, h, levels, usage, textureFormat, pool, &created);
  if (FAILED(hr) || !created) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
  for (UINT i = 0; i < levels; ++i) {
    D3DLOCKED_RECT locked;
    if (FAILED(created->LockRect(i, &locked, nullptr, 0))) {
      created->Release();
      return D3DERR_INVALIDCALL;
    }
    const render::ImageLevel& level = image.levels[i];
    for (UINT y = 0; y < level.height; ++y) {
      const uint32_t* from = level.texels.data() + static_cast<size_t>(y) * level.width;
      auto* to =
          reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch);
      std::copy(from, from + level.width, to);
    }
    created->UnlockRect(i);
  }
  *texture = created;
  return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, const char* srcFile, IDirect3DTexture8** texture) {
  return D3DXCreateTextureFromFileExA(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                      D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}
