// The Direct3D object and device: creation rules, scenes, presenting into a window, sprite and font.
#include <cstring>

#include "platform/null/null_backend.h"
#include "render_test_util.h"

namespace rendertest {
namespace {

TEST(Direct3DCreate, OnlyVersion220GivesAnObject) {
  EXPECT_EQ(Direct3DCreate8(219), nullptr);
  EXPECT_EQ(Direct3DCreate8(0), nullptr);
  IDirect3D8* d3d = Direct3DCreate8(220);
  ASSERT_NE(d3d, nullptr);
  D3DDISPLAYMODE mode{};
  EXPECT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
  EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(d3d->Release(), 0u);
}

TEST(CreateDevice, HalAndRefWithEitherVertexProcessingWork) {
  IDirect3D8* d3d = Direct3DCreate8(220);
  for (D3DDEVTYPE type : {D3DDEVTYPE_HAL, D3DDEVTYPE_REF}) {
    for (DWORD flags : {D3DCREATE_SOFTWARE_VERTEXPROCESSING, D3DCREATE_HARDWARE_VERTEXPROCESSING}) {
      D3DPRESENT_PARAMETERS pp = Params(32, 24);
      IDirect3DDevice8* device = nullptr;
      EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, type, nullptr, flags, &pp, &device), D3D_OK);
      ASSERT_NE(device, nullptr);
      int w = 0, h = 0;
      EXPECT_NE(device->BackBufferPixels(&w, &h), nullptr);
      EXPECT_EQ(w, 32);
      EXPECT_EQ(h, 24);
      device->Release();
    }
  }
  d3d->Release();
}

TEST(CreateDevice, BadRequestsFailWithNoDevice) {
  IDirect3D8* d3d = Direct3DCreate8(220);
  IDirect3DDevice8* device = nullptr;
  D3DPRESENT_PARAMETERS pp = Params(32, 24);
  EXPECT_LT(d3d->CreateDevice(1, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device), 0);
  EXPECT_LT(d3d->CreateDevice(0, D3DDEVTYPE_SW, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device), 0);
  EXPECT_LT(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, &device), 0);
  EXPECT_LT(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, nullptr, &device), 0);
  pp = Params(0, 24);  // no size and no window to take it from
  EXPECT_LT(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device), 0);
  pp = Params(100000, 100000);
  EXPECT_LT(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device), 0);
  EXPECT_EQ(device, nullptr);
  d3d->Release();
}

class Drawing : public DeviceFixture {
 protected:
  void SetUp() override { Open(8, 4); }
};

TEST_F(Drawing, DrawsOnlyInsideAScene) {
  device->EndScene();
  ScreenVertex v{1, 1, 0, 1, kWhite, 0, 0};
  device->SetVertexShader(kScreenFvf);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v), D3DERR_INVALIDCALL);
  EXPECT_EQ(CountNot(kBlack), 0);
  EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
}

TEST_F(Drawing, VertexFormatsAreReadWhereTheyLieOrRefused) {
  // Screen points of the formats the device reads: a colour, when there is one, follows the position,
  // and texture coordinates may follow that; a stride shorter than the format is refused.
  const struct { DWORD fvf; bool colour; UINT size; } kRead[] = {
      {D3DFVF_XYZRHW, false, 16}, {D3DFVF_XYZRHW | D3DFVF_DIFFUSE, true, 20},
      {D3DFVF_XYZRHW | D3DFVF_TEX1, false, 24}, {kScreenFvf, true, 28}};
  for (int x = 0; x < 4; ++x) {
    const float position[4] = {static_cast<float>(x), 1, 0.5f, 1};
    const uint32_t colour = 0xFF102030u + static_cast<uint32_t>(x);
    uint8_t vertex[28] = {};
    std::memcpy(vertex, position, sizeof position);
    std::memcpy(vertex + 16, &colour, kRead[x].colour ? 4 : 0);
    ASSERT_EQ(device->SetVertexShader(kRead[x].fvf), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, vertex, kRead[x].size - 4), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, vertex, kRead[x].size), D3D_OK);
    EXPECT_EQ(Pixel(x, 1) | 0xFF000000u, kRead[x].colour ? colour : kWhite) << kRead[x].fvf;
  }
  // No position, normals, point sizes, specular colours, blend weights, a second coordinate set or
  // coordinates of another size: refused, and the format in force stays.
  for (DWORD fvf : {DWORD{0}, D3DFVF_XYZ | D3DFVF_NORMAL, D3DFVF_XYZ | D3DFVF_PSIZE, D3DFVF_XYZ | D3DFVF_SPECULAR,
                    DWORD{0x006}, D3DFVF_XYZ | D3DFVF_TEX2, kSceneFvf | (DWORD{3} << 16)})
    EXPECT_EQ(device->SetVertexShader(fvf), D3DERR_INVALIDCALL) << fvf;
  DWORD inForce = 0;
  device->GetVertexShader(&inForce);
  EXPECT_EQ(inForce, kScreenFvf);
}

TEST_F(Drawing, CountsThatReachPastTheVerticesAreRefusedEvenWhereTheirSizeWouldWrap) {
  // 2 863 311 531 triangles are 2^33 + 1 vertices: at a stride of 2^31 the last one starts 2^64 bytes
  // in, which wraps to 0 in 64 bits. Both calls must be refused without reading, whatever lies after.
  ScreenVertex three[3] = {{1, 1, 0, 1, kWhite, 0, 0}, {6, 1, 0, 1, kWhite, 0, 0}, {1, 3, 0, 1, kWhite, 0, 0}};
  const UINT kTriangles = 2863311531u, kStride = 0x80000000u;
  IDirect3DVertexBuffer8* vb = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(sizeof three, 0, kScreenFvf, D3DPOOL_MANAGED, &vb), D3D_OK);
  BYTE* bytes = nullptr;
  ASSERT_EQ(vb->Lock(0, 0, &bytes, 0), D3D_OK);
  std::memcpy(bytes, three, sizeof three);
  vb->Unlock();
  device->SetVertexShader(kScreenFvf);
  device->SetStreamSource(0, vb, kStride);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, kTriangles), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, kTriangles, three, kStride), D3DERR_INVALIDCALL);
  // The same buffer at its own stride still draws.
  device->SetStreamSource(0, vb, sizeof(ScreenVertex));
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
  device->SetStreamSource(0, nullptr, 0);
  vb->Release();
}

TEST_F(Drawing, SpriteDrawsTheSourceRectangleAtTheTranslationAndRestoresStates) {
  // A 4×1 texture; the sprite draws texels 1..2 at x = 5.
  IDirect3DTexture8* t = MakeTexture(4, 1, {0xFF111111, 0xFF222222, 0xFF333333, 0xFF444444});
  ID3DXSprite* sprite = nullptr;
  ASSERT_EQ(D3DXCreateSprite(device, &sprite), D3D_OK);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  ASSERT_EQ(sprite->Begin(), D3D_OK);
  const RECT src{1, 0, 3, 1};
  const D3DXVECTOR2 at(5, 2);
  ASSERT_EQ(sprite->Draw(t, &src, nullptr, nullptr, 0.0f, &at, 0xFFFFFFFF), D3D_OK);
  ASSERT_EQ(sprite->End(), D3D_OK);
  EXPECT_EQ(Picture({{0xFF222222, '2'}, {0xFF333333, '3'}}),
            "........\n"
            "........\n"
            ".....23.\n"
            "........\n");
  DWORD cull = 0;
  device->GetRenderState(D3DRS_CULLMODE, &cull);
  EXPECT_EQ(cull, D3DCULL_CW);
  IDirect3DBaseTexture8* bound = reinterpret_cast<IDirect3DBaseTexture8*>(1);
  device->GetTexture(0, &bound);
  EXPECT_EQ(bound, nullptr);
  sprite->Release();
  t->Release();
}

TEST_F(Drawing, QuadsOfTheCallerBetweenSpriteBeginAndEndDrawWithTheSpriteStatesAndKeepTheirTexture) {
  IDirect3DTexture8* t = MakeTexture(2, 1, {0xFF222222, 0xFF333333});
  ID3DXSprite* sprite = nullptr;
  ASSERT_EQ(D3DXCreateSprite(device, &sprite), D3D_OK);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);  // would cull the quad below
  ASSERT_EQ(sprite->Begin(), D3D_OK);
  device->SetTexture(0, t);
  ScreenQuad(1, 1, 3, 2, kWhite);
  ASSERT_EQ(sprite->End(), D3D_OK);
  EXPECT_EQ(Picture({{0xFF222222, '2'}, {0xFF333333, '3'}}),
            "........\n"
            ".23.....\n"
            "........\n"
            "........\n");
  // End put back the cull mode Begin changed, and left the caller's texture and format bound.
  DWORD cull = 0, fvf = 0;
  device->GetRenderState(D3DRS_CULLMODE, &cull);
  EXPECT_EQ(cull, D3DCULL_CW);
  IDirect3DBaseTexture8* bound = nullptr;
  device->GetTexture(0, &bound);
  EXPECT_EQ(bound, t);
  if (bound) bound->Release();
  device->GetVertexShader(&fvf);
  EXPECT_EQ(fvf, kScreenFvf);
  sprite->Release();
  t->Release();
}

TEST(GdiFont, FontObjectHoldsItsGdiFont) {
  HFONT f = CreateFontA(16, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS UI Gothic");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->height, 16);
  IDirect3D8* d3d = Direct3DCreate8(220);
  D3DPRESENT_PARAMETERS pp = Params(8, 8);
  IDirect3DDevice8* device = nullptr;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device), D3D_OK);
  ID3DXFont* font = nullptr;
  ASSERT_EQ(D3DXCreateFont(device, f, &font), D3D_OK);
  EXPECT_EQ(font->GetGdiFont(), f);
  ID3DXFont* none = reinterpret_cast<ID3DXFont*>(1);
  EXPECT_LT(D3DXCreateFont(device, nullptr, &none), 0);
  EXPECT_EQ(none, nullptr);
  font->Release();
  device->Release();
  d3d->Release();
  EXPECT_TRUE(DeleteObject(f));
  EXPECT_FALSE(DeleteObject(nullptr));
}

// Presenting into a scripted window of the null platform backend.
class Presenting : public ::testing::Test {
 protected:
  void SetUp() override {
    window = static_cast<platform::NullWindow*>(null->CreateMainWindow("t", 6, 4, false));
    ASSERT_NE(window, nullptr);
    d3d = Direct3DCreate8(220);
    D3DPRESENT_PARAMETERS pp = Params(4, 3, window);
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device), D3D_OK);
    // Back buffer columns 0..3 in four colours.
    for (LONG x = 0; x < 4; ++x) {
      D3DRECT r{x, 0, x + 1, 3};
      device->Clear(1, &r, D3DCLEAR_TARGET, 0xFF000000u | static_cast<uint32_t>(x + 1), 1.0f, 0);
    }
    std::fill(window->pixels.begin(), window->pixels.end(), 0xFFEEEEEEu);
  }
  void TearDown() override {
    if (device) device->Release();
    if (d3d) d3d->Release();
  }
  std::string Window() {
    std::string s;
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 6; ++x) {
        const uint32_t p = window->Pixel(x, y);
        s += p == 0xFFEEEEEEu ? '-' : static_cast<char>('0' + (p & 0xFF));
      }
      s += '\n';
    }
    return s;
  }
  platform::ScopedNullBackend null;
  platform::NullWindow* window = nullptr;
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
};

TEST_F(Presenting, RectanglesAreCutToTheSizeTheyShareAndClippedByTheSameAmounts) {
  const struct {
    RECT src, dst;
    bool null;  // no rectangles: the whole back buffer onto the whole client area
    const char* window;
  } kCases[] = {
      {{}, {}, true, "1234--\n1234--\n1234--\n------\n"},  // at the corner, unstretched
      {{0, 0, 640, 480}, {0, 0, 640, 480}, false, "1234--\n1234--\n1234--\n------\n"},  // clipped, not refused
      {{1, 0, 4, 2}, {4, 3, 7, 5}, false, "------\n------\n------\n----23\n"},  // one column and row land
      {{-2, 0, 2, 1}, {0, 0, 4, 1}, false, "--12--\n------\n------\n------\n"},  // left of the buffer: dropped
      {{1, 0, 4, 2}, {2, 1, 6, 2}, false, "------\n--234-\n------\n------\n"},  // two rows into one
  };
  for (const auto& c : kCases) {
    std::fill(window->pixels.begin(), window->pixels.end(), 0xFFEEEEEEu);
    ASSERT_EQ(device->Present(c.null ? nullptr : &c.src, c.null ? nullptr : &c.dst, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(Window(), c.window) << c.src.left << "," << c.src.top << " to " << c.dst.left << "," << c.dst.top;
  }
}

TEST_F(Presenting, BackBufferIsKeptAfterPresent) {
  device->Present(nullptr, nullptr, nullptr, nullptr);
  int w = 0, h = 0;
  const uint32_t* p = device->BackBufferPixels(&w, &h);
  EXPECT_EQ(p[3], 0xFF000004u);
}

TEST_F(Presenting, AFailingWindowReportsFailure) {
  window->failPresent = true;
  EXPECT_LT(device->Present(nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(Presenting, InsideASceneIsRefused) {
  device->BeginScene();
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
  device->EndScene();
}

TEST(HeadlessPresent, SucceedsAndCopiesNothing) {
  IDirect3D8* d3d = Direct3DCreate8(220);
  D3DPRESENT_PARAMETERS pp = Params(8, 8);
  IDirect3DDevice8* device = nullptr;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device), D3D_OK);
  const RECT r{0, 0, 640, 480};
  EXPECT_EQ(device->Present(&r, &r, nullptr, nullptr), D3D_OK);
  device->Release();
  d3d->Release();
}

}  // namespace
}  // namespace rendertest
