// The back buffer's format: a 16-bit R5G6B5 buffer holds every colour on its 5/6/5 levels, blends over
// what it holds and presents that; the 32-bit formats keep every colour as it is.
#include <cmath>
#include <functional>

#include "platform/null/null_backend.h"
#include "render_test_util.h"

namespace rendertest {
namespace {

constexpr uint32_t kBackground = 0xFF140000;  // the scene's clear colour

// What a 5/6/5 buffer shows for a colour: each channel at its nearest level, read back with the
// level's bits repeated to fill eight.
uint32_t On565(uint32_t c) {
  auto channel = [](uint32_t v, int bits) {
    const uint32_t top = (1u << bits) - 1;
    const auto level = static_cast<uint32_t>(std::lround(v * top / 255.0));
    return (level << (8 - bits)) | (level >> (2 * bits - 8));
  };
  return 0xFF000000u | channel((c >> 16) & 0xFF, 5) << 16 | channel((c >> 8) & 0xFF, 6) << 8 | channel(c & 0xFF, 5);
}

// A 4 × 4 device of `format` with the program's drawing states, presenting into `window` (or nowhere).
struct Device {
  explicit Device(D3DFORMAT format, HWND window = nullptr) {
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = Params(4, 4, window);
    pp.BackBufferFormat = format;
    pp.Windowed = FALSE;
    pp.SwapEffect = D3DSWAPEFFECT_COPY_VSYNC;
    EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                                &device),
              D3D_OK);
    SetBlendedModulateStates(device);
    device->SetVertexShader(kScreenFvf);
  }
  ~Device() {
    if (texture) texture->Release();
    device->Release();
    d3d->Release();
  }
  void Clear(uint32_t colour) { device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0); }
  uint32_t Pixel(int x, int y) {
    int w = 0, h = 0;
    const uint32_t* p = device->BackBufferPixels(&w, &h);
    return p[y * w + x];
  }
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  IDirect3DTexture8* texture = nullptr;
};

// Translucent drawing over pixel (1, 1) by the rasterizer's different routes, in dark colours whose
// blends over a colour and over its 5/6/5 level end on different levels.
using Draw = std::function<void(Device&)>;
void Quad(Device& d, D3DCOLOR colour) {
  const ScreenVertex v[4] = {{0, 0, 0, 1, colour, 0, 0}, {4, 0, 0, 1, colour, 1, 0}, {4, 4, 0, 1, colour, 1, 1},
                             {0, 4, 0, 1, colour, 0, 1}};
  d.device->BeginScene();
  d.device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof v[0]);
  d.device->EndScene();
}
const Draw kTexturedQuad = [](Device& d) {  // the text's route: texture times diffuse
  if (!d.texture) {
    ASSERT_EQ(d.device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &d.texture), D3D_OK);
    D3DLOCKED_RECT r;
    ASSERT_EQ(d.texture->LockRect(0, &r, nullptr, 0), D3D_OK);
    const uint32_t texel = 0x50160609;
    std::memcpy(r.pBits, &texel, 4);
    d.texture->UnlockRect(0);
    d.device->SetTexture(0, d.texture);
  }
  Quad(d, 0xFFFFFFFF);
};
const Draw kPlainQuad = [](Device& d) { Quad(d, 0x4018080C); };
const Draw kPoint = [](Device& d) {
  const ScreenVertex v{1, 1, 0, 1, 0x301A0A10, 0, 0};
  d.device->BeginScene();
  d.device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v);
  d.device->EndScene();
};

TEST(BackBufferFormat, A16BitBufferHoldsItsLevelsBlendsOverThemAndPresentsThem) {
  {
    Device d(D3DFMT_R5G6B5);
    d.Clear(kBackground);
    EXPECT_EQ(d.Pixel(0, 0), 0xFF100000u) << "red 20 is nearest to level 2 of 31, which reads as 16";
  }
  for (const auto& [name, draw] : std::vector<std::pair<const char*, Draw>>{
           {"textured quad", kTexturedQuad}, {"plain quad", kPlainQuad}, {"point", kPoint}}) {
    SCOPED_TRACE(name);
    // A 32-bit buffer given only 5/6/5 colours, each result cut to 5/6/5 before the next draw.
    auto blendOnce = [&draw](uint32_t under) {
      Device reference(D3DFMT_X8R8G8B8);
      reference.Clear(under);
      draw(reference);
      return reference.Pixel(1, 1) | 0xFF000000u;
    };
    const uint32_t expected = On565(blendOnce(On565(blendOnce(On565(kBackground)))));

    platform::ScopedNullBackend null;
    auto* window = static_cast<platform::NullWindow*>(null->CreateMainWindow("16-bit", 4, 4, true));
    Device sixteen(D3DFMT_R5G6B5, window);
    sixteen.Clear(kBackground);
    draw(sixteen);
    draw(sixteen);
    ASSERT_EQ(sixteen.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(window->Pixel(1, 1) | 0xFF000000u, expected);
    EXPECT_EQ(sixteen.Pixel(1, 1) | 0xFF000000u, expected);
  }
}

TEST(BackBufferFormat, ThirtyTwoBitBuffersKeepEveryColour) {
  for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}) {
    Device d(format);
    d.Clear(kBackground);
    EXPECT_EQ(d.Pixel(3, 3), kBackground) << format;
  }
}

}  // namespace
}  // namespace rendertest
