// The D3DX sprite: draws a rectangle of a texture as a screen-space quad (the same two-triangle fan the
// program draws itself). Begin sets the states sprites draw with and End puts back what the sprite
// changed; a Draw outside the pair puts back its own changes at once. What the caller sets in between
// (its own texture for quads of its own, say) stays the caller's.
#include <cmath>

#include "render/d3dx8.h"
#include "render/ref_counted.h"

namespace render {
namespace {

struct QuadVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
  float u, v;
};
constexpr DWORD kQuadFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The states a sprite draws with, and their values.
constexpr D3DRENDERSTATETYPE kRenderStates[6] = {D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND,
                                                 D3DRS_CULLMODE,         D3DRS_ZENABLE,  D3DRS_ALPHATESTENABLE};
constexpr DWORD kRenderValues[6] = {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DCULL_NONE, D3DZB_FALSE, FALSE};
constexpr D3DTEXTURESTAGESTATETYPE kStageStates[6] = {D3DTSS_COLOROP,  D3DTSS_COLORARG1, D3DTSS_COLORARG2,
                                                      D3DTSS_ALPHAOP,  D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2};
constexpr DWORD kStageValues[6] = {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE,
                                   D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE};

// The device states the sprite has changed since its Begin (or within one Draw outside Begin and
// End), each with the value it had before the sprite first changed it. States the caller changes in
// between are the caller's: only what the sprite itself changed goes back.
struct ChangedStates {
  bool texture = false, fvf = false, rs[6] = {}, ts[6] = {};
  IDirect3DBaseTexture8* oldTexture = nullptr;
  DWORD oldFvf = 0, oldRs[6] = {}, oldTs[6] = {};
};

class Sprite final : public RefCounted<ID3DXSprite> {
 public:
  explicit Sprite(IDirect3DDevice8* device) : device_(device) { device_->AddRef(); }

  HRESULT GetDevice(IDirect3DDevice8** device) override {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
  }

  // Sets the states sprites draw with, keeping the caller's values for End.
  HRESULT Begin() override {
    if (begun_) return D3DERR_INVALIDCALL;
    SetDrawingStates();
    begun_ = true;
    return D3D_OK;
  }

  // Puts back every state the sprite changed since Begin, and nothing else.
  HRESULT End() override {
    if (!begun_) return D3DERR_INVALIDCALL;
    PutBack();
    begun_ = false;
    return D3D_OK;
  }

  HRESULT Draw(IDirect3DTexture8* texture, const RECT* srcRect, const D3DXVECTOR2* scaling,
               const D3DXVECTOR2* rotationCenter, float rotation, const D3DXVECTOR2* translation,
               D3DCOLOR colour) override {
    if (!texture) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    if (FAILED(texture->GetLevelDesc(0, &desc))) return D3DERR_INVALIDCALL;
    const RECT src = srcRect ? *srcRect : RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    const D3DXVECTOR2 t = translation ? *translation : D3DXVECTOR2(0, 0);
    const float w = static_cast<float>(src.right - src.left), h = static_cast<float>(src.bottom - src.top);
    const float tw = static_cast<float>(desc.Width), th = static_cast<float>(desc.Height);
    const D3DXVECTOR2 s = scaling ? *scaling : D3DXVECTOR2(1, 1);
    const D3DXVECTOR2 c = rotationCenter ? *rotationCenter : D3DXVECTOR2(0, 0);
    const float cs = std::cos(rotation), sn = std::sin(rotation);
    // Corner (x, y) of the rectangle: scaled, rotated about the centre, then moved.
    auto place = [&](float x, float y, float u, float v) {
      const float sx = x * s.x - c.x, sy = y * s.y - c.y;
      return QuadVertex{sx * cs - sy * sn + c.x + t.x, sx * sn + sy * cs + c.y + t.y, 0.0f, 1.0f, colour, u, v};
    };
    const QuadVertex quad[4] = {
        place(0, 0, src.left / tw, src.top / th), place(w, 0, src.right / tw, src.top / th),
        place(w, h, src.right / tw, src.bottom / th), place(0, h, src.left / tw, src.bottom / th)};

    // The caller may have changed the drawing states since Begin: set them again for each sprite.
    SetTexture(texture);
    if (!changed_.fvf) {
      changed_.fvf = true;
      device_->GetVertexShader(&changed_.oldFvf);
    }
    device_->SetVertexShader(kQuadFvf);
    SetDrawingStates();
    HRESULT hr = device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(QuadVertex));
    if (!begun_) PutBack();
    return hr;
  }

  HRESULT OnLostDevice() override { return D3D_OK; }
  HRESULT OnResetDevice() override { return D3D_OK; }

 private:
  ~Sprite() override {
    if (changed_.oldTexture) changed_.oldTexture->Release();
    device_->Release();
  }

  void SetTexture(IDirect3DTexture8* texture) {
    if (!changed_.texture) {
      changed_.texture = true;
      device_->GetTexture(0, &changed_.oldTexture);  // holds a reference until PutBack
    }
    device_->SetTexture(0, texture);
  }

  void SetDrawingStates() {
    for (int i = 0; i < 6; ++i) {
      if (!changed_.rs[i]) {
        changed_.rs[i] = true;
        device_->GetRenderState(kRenderStates[i], &changed_.oldRs[i]);
      }
      device_->SetRenderState(kRenderStates[i], kRenderValues[i]);
    }
    for (int i = 0; i < 6; ++i) {
      if (!changed_.ts[i]) {
        changed_.ts[i] = true;
        device_->GetTextureStageState(0, kStageStates[i], &changed_.oldTs[i]);
      }
      device_->SetTextureStageState(0, kStageStates[i], kStageValues[i]);
    }
  }

  void PutBack() {
    if (changed_.texture) {
      device_->SetTexture(0, changed_.oldTexture);
      if (changed_.oldTexture) changed_.oldTexture->Release();
    }
    if (changed_.fvf && changed_.oldFvf) device_->SetVertexShader(changed_.oldFvf);
    for (int i = 0; i < 6; ++i)
      if (changed_.rs[i]) device_->SetRenderState(kRenderStates[i], changed_.oldRs[i]);
    for (int i = 0; i < 6; ++i)
      if (changed_.ts[i]) device_->SetTextureStageState(0, kStageStates[i], changed_.oldTs[i]);
    changed_ = ChangedStates{};
  }

  IDirect3DDevice8* device_;
  ChangedStates changed_;
  bool begun_ = false;
};

}  // namespace
}  // namespace render

HRESULT D3DXCreateSprite(IDirect3DDevice8* device, ID3DXSprite** sprite) {
  if (!sprite) return D3DERR_INVALIDCALL;
  *sprite = nullptr;
  if (!device) return D3DERR_INVALIDCALL;
  *sprite = new render::Sprite(device);
  return D3D_OK;
}
