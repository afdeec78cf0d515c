// Vertex buffers in plain memory.
#include "render/vertex_buffer.h"

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
  *data = bytes_.data() + offsetToLock;
  return D3D_OK;
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
