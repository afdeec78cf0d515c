// A vertex buffer in plain memory (vertex_buffer.cpp); independent of the device, so it survives Reset.
#pragma once

#include <cstdint>
#include <vector>

#include "render/ref_counted.h"

namespace render {

class VertexBuffer final : public RefCounted<IDirect3DVertexBuffer8> {
 public:
  static constexpr UINT kMaxLength = 256u << 20;
  // Null for a zero or oversized length.
  static VertexBuffer* Create(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

  HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

  const uint8_t* Bytes() const { return bytes_.data(); }
  UINT Length() const { return static_cast<UINT>(bytes_.size()); }

 private:
  VertexBuffer() = default;
  std::vector<uint8_t> bytes_;
  DWORD usage_ = 0, fvf_ = 0;
  D3DPOOL pool_ = D3DPOOL_MANAGED;
  int locks_ = 0;
};

}  // namespace render
