// A vertex buffer in plain memory (vertex_buffer.cpp); independent of the device, so it survives Reset.
#pragma once

#include <cstdint>
#include <memory>

#include "render/ref_counted.h"

namespace render {

class VertexBuffer final : public RefCounted<IDirect3DVertexBuffer8> {
 public:
  // Null for a zero length, or when the memory cannot be had.
  static VertexBuffer* Create(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

  HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

  const uint8_t* Bytes() const { return bytes_.get(); }
  UINT Length() const { return length_; }

  // What the diffuse colours (at byte `diffuse` of each `stride`-byte vertex, or none when -1: opaque
  // white) of the whole buffer are: every one opaque, and all one colour. Worked out at the first
  // question after a Lock and kept: a vertex buffer is static geometry, written rarely and drawn often.
  struct Colours {
    bool opaque, oneColour;
  };
  Colours ColoursOf(int diffuse, UINT stride) const;

 private:
  VertexBuffer() = default;
  // Not cleared: what a Lock gives is the caller's to fill (as on Direct3D), so ten million rows
  // take one pass, not a clearing pass and then the filling one.
  std::unique_ptr<uint8_t[]> bytes_;
  UINT length_ = 0;
  DWORD usage_ = 0, fvf_ = 0;
  D3DPOOL pool_ = D3DPOOL_MANAGED;
  int locks_ = 0;
  // The last answer of ColoursOf and what it was asked; forgotten at every Lock.
  mutable struct {
    bool known = false;
    int diffuse = 0;
    UINT stride = 0;
    Colours colours{};
  } colours_;
};

}  // namespace render
