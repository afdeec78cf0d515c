// The per-frame device set-up of DirectGraphics: fixed render states and the optional light, the blend
// function, texture binding behind a one-entry cache, camera, world translation, fog, clear, present.
#include <cmath>
#include <cstring>
#include <limits>

#include "graphics/direct_graphics.h"
#include "platform/backend.h"

namespace {

// The texture the last effective BindTexture bound. One value for the whole process (not per object),
// so a repeated texture costs one comparison; it starts null, so binding null first sets nothing.
IDirect3DTexture8* lastBoundTexture = nullptr;

// 60 degrees, as the float the camera has always used.
constexpr float kFieldOfView = 1.0471976f;

// Direct3D takes float render states as the raw bits of the float.
DWORD FloatBits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

void ResetTextureBindingCache() { lastBoundTexture = nullptr; }

void DirectGraphics::SetRenderStates(bool lighting) {
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  device->SetRenderState(D3DRS_DITHERENABLE, TRUE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  if (lighting) {
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF000000u);
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  } else {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  }
  SetBlendFunc(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
}

void DirectGraphics::SetBlendFunc(int32_t sourceBlend, int32_t destinationBlend) {
  device->SetRenderState(D3DRS_SRCBLEND, static_cast<DWORD>(sourceBlend));
  device->SetRenderState(D3DRS_DESTBLEND, static_cast<DWORD>(destinationBlend));
}

void DirectGraphics::BindTexture(uint32_t stage, IDirect3DTexture8* texture, DWORD vertexFormat) {
  // A repeated texture skips the vertex format too: untextured drawing sets its format itself first.
  if (texture != lastBoundTexture) BindNewTexture(stage, texture, vertexFormat);
}

void DirectGraphics::BindNewTexture(uint32_t stage, IDirect3DTexture8* texture, DWORD vertexFormat) {
  lastBoundTexture = texture;
  device->SetTexture(stage, texture);
  device->SetVertexShader(vertexFormat);
  // Texture times vertex colour, for colour and alpha; nearest texel everywhere.
  device->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(stage, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(stage, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(stage, D3DTSS_MIPFILTER, D3DTEXF_POINT);
  device->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_POINT);
  device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_POINT);
}

void DirectGraphics::SetCamera(float eyeX, float eyeY, float eyeZ, float atX, float atY, float atZ, float upX,
                               float upY, float upZ, int32_t nearPlane, int32_t farPlane, bool leftHanded) {
  const D3DXVECTOR3 eye(eyeX, eyeY, eyeZ), at(atX, atY, atZ), up(upX, upY, upZ);
  // The aspect comes from the configured size (the window's own once a resizable window's back buffer
  // follows it), not from the client area the window happens to have.
  const float aspect = static_cast<float>(config.Width) / static_cast<float>(config.Height);
  const float zn = static_cast<float>(nearPlane), zf = static_cast<float>(farPlane);
  D3DXMATRIX view, projection;
  if (leftHanded) {
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, kFieldOfView, aspect, zn, zf);
  } else {
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovRH(&projection, kFieldOfView, aspect, zn, zf);
  }
  device->SetTransform(D3DTS_VIEW, &view);
  device->SetTransform(D3DTS_PROJECTION, &projection);
}

void DirectGraphics::TranslateWorld(float x, float y, float z) {
  // The scene moves its buffer point from an identity world 150 000 times a frame. Identity ×
  // translation, summed term by term as the product does, is the translation itself with two
  // twists: row 3 comes out as 0 + offset (so -0 becomes +0), and rows 0-2 pick up 0 × offset, which
  // is NaN for an infinite or NaN offset. Finite offsets on an identity (by its bits) therefore give
  // exactly D3DXMatrixTranslation(0 + x, 0 + y, 0 + z); everything else takes the product.
  static constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  constexpr float kMax = std::numeric_limits<float>::max();
  if (std::fabs(x) <= kMax && std::fabs(y) <= kMax && std::fabs(z) <= kMax &&
      std::memcmp(worldMatrix.m, kIdentity, sizeof kIdentity) == 0) {
    D3DXMatrixTranslation(&worldMatrix, x + 0.0f, y + 0.0f, z + 0.0f);
    return;
  }
  D3DXMATRIX translation;
  D3DXMatrixTranslation(&translation, x, y, z);
  D3DXMatrixMultiply(&worldMatrix, &worldMatrix, &translation);
}

void DirectGraphics::SetFog(bool enable, float start, float end, D3DCOLOR colour) {
  if (config.FOG == 0) return;
  device->SetRenderState(D3DRS_FOGENABLE, enable ? TRUE : FALSE);
  device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
  device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
  device->SetRenderState(D3DRS_FOGSTART, FloatBits(start));
  device->SetRenderState(D3DRS_FOGEND, FloatBits(end));
  device->SetRenderState(D3DRS_FOGCOLOR, colour);
}

void DirectGraphics::Clear(DWORD flags, D3DCOLOR colour) { device->Clear(0, nullptr, flags, colour, 1.0f, 0); }

void DirectGraphics::Present(RECT source, RECT destination) {
  // A lost device is reset once; this frame is not shown again, the next one presents anew.
  if (FAILED(device->Present(&source, &destination, nullptr, nullptr))) ResetDevice();
}

HRESULT DirectGraphics::ResetDevice() { return device->Reset(&presentParams); }

bool DirectGraphics::RetracePacesPresents() const {
  return config.FullScreen != 0 && config.VSYNC_WAIT != 0 && platform::CurrentBackend().PresentWaitsForRetrace(window);
}

void DirectGraphics::SetupLight() {
  light = D3DLIGHT8{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = D3DCOLORVALUE{1.5f, 1.5f, 1.5f, 0.0f};
  light.Specular = D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 0.0f};
  light.Ambient = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
  const D3DXVECTOR3 direction(-1.0f, -1.0f, -1.0f);
  D3DXVECTOR3 unit;
  D3DXVec3Normalize(&unit, &direction);
  light.Direction = unit;
}
