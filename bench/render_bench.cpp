// The software device's hot paths against the floor of a bare transform-and-plot loop:
//   BM_IdealPointKernel     one loop: 150 000 points × fixed world·view·projection, one pixel each;
//   BM_DrawPointBuffer      the same points as one DrawPrimitive of a vertex buffer of 16-byte rows (0x042);
//   BM_DrawPointSquares     the same with D3DRS_POINTSIZE 3: each point a 3 × 3 square;
//   BM_DrawStripBuffer      a Lorenz trajectory of 150 000 rows as one flat-shaded LINESTRIP of such a buffer;
//   BM_DrawText             a screen of 16 × 16 glyph quads (textured, MODULATE, alpha blended, as the text).
// Each reports `allocs`: heap allocations per iteration inside the timed draw loop (must be 0).
// bench/README.md explains the ratios to watch.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#include "render/d3d8.h"
#include "render/d3dx8.h"

namespace {

size_t g_allocations = 0;  // counted by the replaced operator new below

struct SceneVertex {
  float x, y, z;
  D3DCOLOR colour;
  float u, v;
};
constexpr int kWidth = 640, kHeight = 480;

// The viewer's default camera: eye at 45 degrees, radius 250, height 150, looking at the origin.
D3DXMATRIX ViewProjection() {
  const double a = 45 * 3.141592 / 180;
  D3DXVECTOR3 eye(static_cast<float>(std::cos(a) * 250), static_cast<float>(std::sin(a) * 250), 150), at(0, 0, 0),
      up(0, 0, 1);
  D3DXMATRIX view, proj, vp;
  D3DXMatrixLookAtRH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovRH(&proj, 1.0471976f, 640.0f / 480.0f, 0.0f, 1000.0f);
  return *D3DXMatrixMultiply(&vp, &view, &proj);
}

std::vector<SceneVertex> CloudPoints(size_t n) {
  std::mt19937 rng(42);
  std::uniform_real_distribution<float> d(-100.0f, 100.0f);
  std::vector<SceneVertex> v(n);
  for (auto& p : v) p = {d(rng), d(rng), d(rng), 0xFFFFFFFF, 0, 0};
  return v;
}

std::vector<SceneVertex> LorenzCurve(size_t n) {
  std::vector<SceneVertex> v(n + 1);
  double x = 1, y = 1, z = 1;
  const double dt = 0.002;
  for (auto& p : v) {
    const double dx = 10 * (y - x), dy = x * (28 - z) - y, dz = x * y - 8.0 / 3.0 * z;
    x += dx * dt;
    y += dy * dt;
    z += dz * dt;
    // Scaled to span the view of the default camera.
    p = {static_cast<float>(x * 4), static_cast<float>(y * 4), static_cast<float>((z - 25) * 4), 0xFFFFFFFF, 0, 0};
  }
  return v;
}

struct Device {
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  Device() {
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = kWidth;
    pp.BackBufferHeight = kHeight;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_COPY;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                                 &device)))
      std::abort();
    // The scene's per-frame states: unlit, alpha blending, depth test, no texture.
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    // View and projection as the scene sets them; the product is what the device caches.
    const double a = 45 * 3.141592 / 180;
    D3DXVECTOR3 eye(static_cast<float>(std::cos(a) * 250), static_cast<float>(std::sin(a) * 250), 150), at(0, 0, 0),
        up(0, 0, 1);
    D3DXMATRIX view, proj;
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovRH(&proj, 1.0471976f, 640.0f / 480.0f, 0.0f, 1000.0f);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &proj);
    device->SetTransform(D3DTS_WORLD, &identity);
  }
  ~Device() {
    device->Release();
    d3d->Release();
  }
  void BeginFrame() {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF140000, 1.0f, 0);
    device->BeginScene();
  }
};

void BM_IdealPointKernel(benchmark::State& state) {
  const auto points = CloudPoints(static_cast<size_t>(state.range(0)));
  const D3DXMATRIX m = ViewProjection();
  std::vector<uint32_t> pixels(kWidth * kHeight);
  for (auto _ : state) {
    std::fill(pixels.begin(), pixels.end(), 0xFF140000u);
    for (const SceneVertex& p : points) {
      const float x = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
      const float y = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
      const float w = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
      if (!(w > 1e-5f)) continue;
      const float sx = (1.0f + x / w) * (kWidth / 2.0f), sy = (1.0f - y / w) * (kHeight / 2.0f);
      const int px = static_cast<int>(std::ceil(sx - 0.5f)), py = static_cast<int>(std::ceil(sy - 0.5f));
      if (px < 0 || py < 0 || px >= kWidth || py >= kHeight) continue;
      pixels[static_cast<size_t>(py) * kWidth + px] = 0xFFFFFFFF;
    }
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_IdealPointKernel)->Arg(150000)->Unit(benchmark::kMillisecond);

// The vertices as the scene's rows (16 bytes: position and colour) in a write-only vertex buffer, set
// as the stream of `d`.
void SetRowStream(Device& d, const std::vector<SceneVertex>& vertices) {
  IDirect3DVertexBuffer8* vb = nullptr;
  const UINT bytes = static_cast<UINT>(vertices.size() * 16);
  d.device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DPOOL_MANAGED, &vb);
  BYTE* data = nullptr;
  vb->Lock(0, 0, &data, 0);
  for (size_t i = 0; i < vertices.size(); ++i) std::memcpy(data + i * 16, &vertices[i], 16);
  vb->Unlock();
  d.device->SetStreamSource(0, vb, 16);
  d.device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  vb->Release();  // the stream keeps it
}

// One DrawPrimitive of the whole buffer a frame, as the scene draws its rows (`type`: points, or the
// polyline flat-shaded) at D3DRS_POINTSIZE `pointSize`; the first frame, which makes the second part's
// picture, is not timed.
void DrawBufferFrames(benchmark::State& state, const std::vector<SceneVertex>& vertices, D3DPRIMITIVETYPE type,
                      float pointSize = 1.0f) {
  Device d;
  SetRowStream(d, vertices);
  d.device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
  d.device->SetRenderState(D3DRS_POINTSIZE, std::bit_cast<DWORD>(pointSize));
  const UINT primitives = static_cast<UINT>(type == D3DPT_POINTLIST ? vertices.size() : vertices.size() - 1);
  d.BeginFrame();
  d.device->DrawPrimitive(type, 0, primitives);
  d.device->EndScene();
  size_t allocations = 0;
  for (auto _ : state) {
    d.BeginFrame();
    const size_t before = g_allocations;
    d.device->DrawPrimitive(type, 0, primitives);
    allocations += g_allocations - before;
    d.device->EndScene();
  }
  state.counters["allocs"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DrawPointBuffer(benchmark::State& state) {
  DrawBufferFrames(state, CloudPoints(static_cast<size_t>(state.range(0))), D3DPT_POINTLIST);
}
BENCHMARK(BM_DrawPointBuffer)->Arg(150000)->Unit(benchmark::kMillisecond);

void BM_DrawPointSquares(benchmark::State& state) {
  DrawBufferFrames(state, CloudPoints(static_cast<size_t>(state.range(0))), D3DPT_POINTLIST, 3.0f);
}
BENCHMARK(BM_DrawPointSquares)->Arg(150000)->Unit(benchmark::kMillisecond);

void BM_DrawStripBuffer(benchmark::State& state) {
  DrawBufferFrames(state, LorenzCurve(static_cast<size_t>(state.range(0))), D3DPT_LINESTRIP);
}
BENCHMARK(BM_DrawStripBuffer)->Arg(150000)->Unit(benchmark::kMillisecond);

// A font-like texture: 16 × 16 cells of opaque, clear and half-covered texels.
IDirect3DTexture8* FontTexture(IDirect3DDevice8* device) {
  IDirect3DTexture8* texture = nullptr;
  D3DLOCKED_RECT locked{};
  if (FAILED(device->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture)) ||
      FAILED(texture->LockRect(0, &locked, nullptr, 0)))
    std::abort();
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const uint32_t alpha = (x * 7 + y * 3) % 5 == 0 ? 0x80u : ((x ^ y) & 4 ? 0xFFu : 0u);
      static_cast<uint32_t*>(locked.pBits)[y * (locked.Pitch / 4) + x] = alpha << 24 | 0xFFFFFF;
    }
  texture->UnlockRect(0);
  return texture;
}

void BM_DrawText(benchmark::State& state) {
  struct GlyphVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
  };
  Device d;
  IDirect3DTexture8* font = FontTexture(d.device);
  d.device->SetTexture(0, font);
  d.device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  d.device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  d.device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  d.device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  size_t glyphs = 0;
  for (auto _ : state) {
    d.BeginFrame();
    for (int row = 0; row < kHeight / 16; ++row)
      for (int column = 0; column < kWidth / 16; ++column, ++glyphs) {
        const float x = static_cast<float>(column * 16), y = static_cast<float>(row * 16);
        const float u = static_cast<float>(glyphs % 16) / 16, v = static_cast<float>(glyphs / 16 % 16) / 16;
        const D3DCOLOR colour = row % 2 ? 0xFFFFFF00 : 0xFFFFFFFF;
        const GlyphVertex quad[4] = {{x, y, 0, 1, colour, u, v},
                                     {x + 16, y, 0, 1, colour, u + 0.0625f, v},
                                     {x + 16, y + 16, 0, 1, colour, u + 0.0625f, v + 0.0625f},
                                     {x, y + 16, 0, 1, colour, u, v + 0.0625f}};
        d.device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof quad[0]);
      }
    d.device->EndScene();
  }
  d.device->SetTexture(0, nullptr);
  font->Release();
  state.SetItemsProcessed(static_cast<int64_t>(glyphs));
}
BENCHMARK(BM_DrawText)->Unit(benchmark::kMicrosecond);

}  // namespace

// Counting replacements of the global allocation functions: every operator new of the program goes
// through here, so an allocation inside a draw call shows in the `allocs` counter.
// GCC pairs the inlined malloc/free below with new/delete and warns; the pairing is ours and correct.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

BENCHMARK_MAIN();
