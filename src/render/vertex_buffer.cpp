// Vertex buffers in plain memory.
#include "render/vertex_buffer.h"

#include <cstring>
#include <new>

namespace render {

VertexBuffer* VertexBuffer::Create(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) {
  if (length == 0 || length > kMaxLength) return nullptr;
  VertexBuffer* vb = new (std::nothrow) VertexBuffer();
  if (!vb) return nullptr;
  try {
    vb->bytes_.assign(length, 0);
  } catch (const std::bad_alloc&) {
    vb->Release();
    return nullptr;
  }
  vb->usage_ = usage;
  vb->fvf_ = fvf;
  vb->pool_ = pool;
  return vb;
}

HRESULT VertexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD) {
  if (!data) return D3DERR_INVALIDCALL;
  // Size 0 means "to the end"; a range past the end is refused rather than handing out a wild pointer.
  uint64_t end = sizeToLock == 0 ? bytes_.size() : uint64_t{offsetToLock} + sizeToLock;
  if (offsetToLock > bytes_.size() || end > bytes_.size()) {
    *data = nullptr;
    return D3DERR_INVALIDCALL;
  }
  ++locks_;
  colours_.known = false;  // the caller may write any colour
  *data = bytes_.data() + offsetToLock;
  return D3D_OK;
}

VertexBuffer::Colours VertexBuffer::ColoursOf(int diffuse, UINT stride) const {
  if (diffuse < 0) return {true, true};
  if (colours_.known && colours_.diffuse == diffuse && colours_.stride == stride) return colours_.colours;
  Colours c{true, true};
  const size_t end = static_cast<size_t>(diffuse) + 4;
  if (stride != 0 && end <= bytes_.size()) {
    uint32_t first, all = 0xFFFFFFFFu;
    std::memcpy(&first, bytes_.data() + diffuse, 4);
    bool same = true;
    for (size_t at = static_cast<size_t>(diffuse); at + 4 <= bytes_.size(); at += stride) {
      uint32_t colour;
      std::memcpy(&colour, bytes_.data() + at, 4);
      all &= colour;
      same &= colour == first;
    }
    c = {(all >> 24) == 0xFF, same};
  }
  colours_ = {true, diffuse, stride, c};
  return c;
}

HRESULT VertexBuffer::Unlock() {
  if (locks_ == 0) return D3DERR_INVALIDCALL;
  --locks_;
  return D3D_OK;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  desc->Format = D3DFMT_VERTEXDATA;
  desc->Type = D3DRTYPE_VERTEXBUFFER;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->Size = static_cast<UINT>(bytes_.size());
  desc->FVF = fvf_;
  return D3D_OK;
}

}  // namespace render
