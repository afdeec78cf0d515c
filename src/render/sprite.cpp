// The D3DX sprite: draws a rectangle of a texture as a screen-space quad (the same two-triangle fan the
// program draws itself), with the states it needs set around the draw and the caller's states put back.
#include <cmath>
#include <cstdio>

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

// The device states a sprite draw changes; saved before and restored after.
struct SavedStates {
  IDirect3DBaseTexture8* texture = nullptr;
  DWORD fvf = 0;
  DWORD rs[6] = {};
  DWORD ts[6] = {};
};
constexpr D3DRENDERSTATETYPE kRenderStates[6] = {D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND,
                                                 D3DRS_CULLMODE,         D3DRS_ZENABLE,  D3DRS_ALPHATESTENABLE};
constexpr DWORD kRenderValues[6] = {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DCULL_NONE, D3DZB_FALSE, FALSE};
constexpr D3DTEXTURESTAGESTATETYPE kStageStates[6] = {D3DTSS_COLOROP,  D3DTSS_COLORARG1, D3DTSS_COLORARG2,
                                                      D3DTSS_ALPHAOP,  D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2};
constexpr DWORD kStageValues[6] = {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE,
                                   D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE};

class Sprite final : public RefCounted<ID3DXSprite> {
 public:
  explicit Sprite(IDirect3DDevice8* device) : device_(device) { device_->AddRef(); }

  HRESULT GetDevice(IDirect3DDevice8** device) override {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
  }

  HRESULT Begin() override {
    if (begun_) return D3DERR_INVALIDCALL;
    device_->NoteCall("Sprite.Begin()");
    Save();
    begun_ = true;
    return D3D_OK;
  }

  HRESULT End() override {
    if (!begun_) return D3DERR_INVALIDCALL;
    device_->NoteCall("Sprite.End()");
    Restore();
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
    char note[160];
    std::snprintf(note, sizeof note, "Sprite.Draw((%d,%d,%d,%d), (%g,%g), 0x%08x)", src.left, src.top, src.right,
                  src.bottom, static_cast<double>(t.x), static_cast<double>(t.y), colour);
    device_->NoteCall(note);

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

    IDirect3DDevice8* d = device_->DrawingDevice();
    if (!begun_) Save();
    d->SetTexture(0, texture);
    d->SetVertexShader(kQuadFvf);
    for (int i = 0; i < 6; ++i) d->SetRenderState(kRenderStates[i], kRenderValues[i]);
    for (int i = 0; i < 6; ++i) d->SetTextureStageState(0, kStageStates[i], kStageValues[i]);
    HRESULT hr = d->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(QuadVertex));
    if (!begun_) Restore();
    return hr;
  }

  HRESULT OnLostDevice() override { return D3D_OK; }
  HRESULT OnResetDevice() override { return D3D_OK; }

 private:
  ~Sprite() override {
    if (saved_.texture) saved_.texture->Release();
    device_->Release();
  }

  void Save() {
    IDirect3DDevice8* d = device_->DrawingDevice();
    if (saved_.texture) saved_.texture->Release();
    saved_.texture = nullptr;
    d->GetTexture(0, &saved_.texture);
    d->GetVertexShader(&saved_.fvf);
    for (int i = 0; i < 6; ++i) d->GetRenderState(kRenderStates[i], &saved_.rs[i]);
    for (int i = 0; i < 6; ++i) d->GetTextureStageState(0, kStageStates[i], &saved_.ts[i]);
  }

  void Restore() {
    IDirect3DDevice8* d = device_->DrawingDevice();
    d->SetTexture(0, saved_.texture);
    if (saved_.texture) saved_.texture->Release();
    saved_.texture = nullptr;
    if (saved_.fvf) d->SetVertexShader(saved_.fvf);
    for (int i = 0; i < 6; ++i) d->SetRenderState(kRenderStates[i], saved_.rs[i]);
    for (int i = 0; i < 6; ++i) d->SetTextureStageState(0, kStageStates[i], saved_.ts[i]);
  }

  IDirect3DDevice8* device_;
  SavedStates saved_;
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
