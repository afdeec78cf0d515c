// Vertex buffers in plain memory.
#include "render/vertex_buffer.h"

#include <cstring>
#include <new>

namespace render {

VertexBuffer* VertexBuffer::Create(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) {
  if (length == 0) return nullptr;
  VertexBuffer* vb = new (std::nothrow) VertexBuffer();
  if (!vb) return nullptr;
  vb->bytes_.reset(new (std::nothrow) uint8_t[length]);
  if (!vb->bytes_) {
    vb->Release();
    return nullptr;
  }
  vb->length_ = length;
  vb->usage_ = usage;
  vb->fvf_ = fvf;
  vb->pool_ = pool;
  return vb;
}

HRESULT VertexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD) {
  if (!data) return D3DERR_INVALIDCALL;
  // Size 0 means "to the end"; a range past the end is refused rather than handing out a wild pointer.
  const uint64_t end = sizeToLock == 0 ? uint64_t{length_} : uint64_t{offsetToLock} + sizeToLock;
  if (offsetToLock > uint64_t{length_} || end > uint64_t{length_}) {
    *data = nullptr;
    return D3DERR_INVALIDCALL;
  }
  ++locks_;
  colours_.known = false;  // the caller may write any colour
  *data = bytes_.get() + offsetToLock;
  return D3D_OK;
}

VertexBuffer::Colours VertexBuffer::ColoursOf(int diffuse, UINT stride) const {
  if (diffuse < 0) return {true, true};
  if (colours_.known && colours_.diffuse == diffuse && colours_.stride == stride) return colours_.colours;
  Colours c{true, true};
  const size_t end = static_cast<size_t>(diffuse) + 4;
  if (stride != 0 && end <= uint64_t{length_}) {
    uint32_t first, all = 0xFFFFFFFFu;
    std::memcpy(&first, bytes_.get() + diffuse, 4);
    bool same = true;
    for (size_t at = static_cast<size_t>(diffuse); at + 4 <= uint64_t{length_}; at += stride) {
      uint32_t colour;
      std::memcpy(&colour, bytes_.get() + at, 4);
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
  desc->Size = length_;
  desc->FVF = fvf_;
  return D3D_OK;
}

}  // namespace render
