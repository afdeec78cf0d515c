// Helpers for the renderer's tests: a headless software device of a chosen size, vertex records in the
// program's two layouts, and the back buffer as a text picture ('.' = the clear colour, '#' = white,
// other colours by a legend) so expected pixels can be drawn in the test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "graphics/vertex_types.h"  // ScreenVertex, the program's pre-transformed vertex (0x144)
#include "render/d3d8.h"
#include "render/d3dx8.h"

namespace rendertest {

struct SceneVertex {  // FVF 0x142
  float x, y, z;
  D3DCOLOR colour;
  float u, v;
};

// Unlit, alpha blended (source alpha over the rest), stage 0 modulating texture and vertex colour:
// the states the text and the test pictures draw with.
inline void SetBlendedModulateStates(IDirect3DDevice8* device) {
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
}

constexpr DWORD kSceneFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr D3DCOLOR kBlack = 0xFF000000;
constexpr D3DCOLOR kWhite = 0xFFFFFFFF;

inline D3DPRESENT_PARAMETERS Params(UINT width, UINT height, HWND window = nullptr) {
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_COPY;
  pp.hDeviceWindow = window;
  pp.Windowed = TRUE;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  return pp;
}

// A headless device cleared to black, inside a scene, with the program's unlit drawing states.
class DeviceFixture : public ::testing::Test {
 protected:
  void Open(UINT width, UINT height) {
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp = Params(width, height);
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                                &device),
              D3D_OK);
    SetBlendedModulateStates(device);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0);
    device->BeginScene();
  }
  void TearDown() override {
    if (device) device->Release();
    if (d3d) d3d->Release();
  }

  uint32_t Pixel(int x, int y) {
    int w = 0, h = 0;
    const uint32_t* p = device->BackBufferPixels(&w, &h);
    return p[static_cast<size_t>(y) * w + x];
  }

  // The back buffer as rows of characters: '.' black, '#' white, legend entries, '?' anything else.
  std::string Picture(const std::map<uint32_t, char>& legend = {}) {
    int w = 0, h = 0;
    const uint32_t* p = device->BackBufferPixels(&w, &h);
    std::string out;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint32_t c = p[static_cast<size_t>(y) * w + x] | 0xFF000000u;
        auto it = legend.find(c);
        out += it != legend.end() ? it->second : c == kBlack ? '.' : c == kWhite ? '#' : '?';
      }
      out += '\n';
    }
    return out;
  }

  int CountNot(uint32_t colour) {
    int w = 0, h = 0, n = 0;
    const uint32_t* p = device->BackBufferPixels(&w, &h);
    for (int i = 0; i < w * h; ++i) n += (p[i] | 0xFF000000u) != (colour | 0xFF000000u);
    return n;
  }

  void ScreenPoint(float x, float y, D3DCOLOR c = kWhite) {
    ScreenVertex v{x, y, 0, 1, c, 0, 0};
    device->SetVertexShader(kScreenFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v), D3D_OK);
  }
  void ScreenLine(float x0, float y0, float x1, float y1, D3DCOLOR c = kWhite) {
    ScreenVertex v[2] = {{x0, y0, 0, 1, c, 0, 0}, {x1, y1, 0, 1, c, 0, 0}};
    device->SetVertexShader(kScreenFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 1, v, sizeof v[0]), D3D_OK);
  }
  // The program's screen quad: a triangle fan from (x0, y0) to (x1, y1), texture coordinates 0..1.
  void ScreenQuad(float x0, float y0, float x1, float y1, D3DCOLOR c, float u0 = 0, float v0 = 0, float u1 = 1,
                  float v1 = 1) {
    ScreenVertex v[4] = {{x0, y0, 0, 1, c, u0, v0}, {x1, y0, 0, 1, c, u1, v0}, {x1, y1, 0, 1, c, u1, v1},
                         {x0, y1, 0, 1, c, u0, v1}};
    device->SetVertexShader(kScreenFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof v[0]), D3D_OK);
  }

  // A texture of the given texels (row-major), one level.
  IDirect3DTexture8* MakeTexture(UINT w, UINT h, const std::vector<uint32_t>& texels) {
    IDirect3DTexture8* t = nullptr;
    EXPECT_EQ(device->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
    D3DLOCKED_RECT r;
    EXPECT_EQ(t->LockRect(0, &r, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < h; ++y) std::memcpy(static_cast<uint8_t*>(r.pBits) + y * r.Pitch, &texels[y * w], w * 4);
    t->UnlockRect(0);
    return t;
  }

  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
};

}  // namespace rendertest
