// The device draws a vertex buffer's point list and line strip (the scene's rows) by shorter routes, on
// two threads in two parts when it has them. These tests hold them to the pixels of the general route
// that a call per row takes, under the states where the short routes apply and where they do not.
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "render_test_util.h"

namespace rendertest {
namespace {

// A 640 × 480 device; its thread count is SCATTERVIEW_THREADS's when it is made.
struct Device {
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  Device() {
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = Params(640, 480);
    d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device);
  }
  ~Device() {
    if (device) device->Release();
    if (d3d) d3d->Release();
  }
  std::vector<uint32_t> Pixels() {
    int w = 0, h = 0;
    const uint32_t* p = device->BackBufferPixels(&w, &h);
    return std::vector<uint32_t>(p, p + static_cast<size_t>(w) * h);
  }
};

// How a case sets the device up beyond the camera.
enum class Stage { Program, DeviceDefault };
struct Case {
  const char* name;
  Stage stage;
  bool blend;
  float nearPlane;  // 0: every depth 1.0, as in the viewer; else depths vary along a line
  DWORD depthFunc;
  bool flatShade;
};

void Configure(IDirect3DDevice8* d, const Case& c) {
  // The program's stage 0 as the graphics layer sets it when it unbinds the texture; else the device's
  // own: alpha from the (missing, so opaque) texture.
  if (c.stage == Stage::Program) SetBlendedModulateStates(d);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, c.blend);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d->SetRenderState(D3DRS_ZFUNC, c.depthFunc);
  d->SetRenderState(D3DRS_SHADEMODE, c.flatShade ? D3DSHADE_FLAT : D3DSHADE_GOURAUD);
  // The viewer's kind of camera, close enough that some of the data lies behind the eye.
  D3DXVECTOR3 eye(70, 50, 40), at(0, 0, 0), up(0, 0, 1);
  D3DXMATRIX view, proj, world;
  D3DXMatrixLookAtRH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovRH(&proj, 1.0471976f, 4.0f / 3.0f, c.nearPlane, 1000.0f);
  D3DXMatrixIdentity(&world);
  d->SetTransform(D3DTS_VIEW, &view);
  d->SetTransform(D3DTS_PROJECTION, &proj);
  d->SetTransform(D3DTS_WORLD, &world);
  d->SetVertexShader(kSceneFvf);  // the per-row calls'; the buffer sets its own
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF140000, 1.0f, 0);
  d->BeginScene();
}

// A wandering path with steps of a few units and some long jumps; colours from `palette`.
std::vector<SceneVertex> Path(unsigned seed, size_t n, const std::vector<D3DCOLOR>& palette) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> step(-6.0f, 6.0f), jump(-150.0f, 150.0f);
  std::vector<SceneVertex> v(n);
  float x = 0, y = 0, z = 0;
  for (size_t i = 0; i < n; ++i) {
    if (i % 97 == 0) x = jump(rng), y = jump(rng), z = jump(rng) * 0.5f;
    else x += step(rng), y += step(rng), z += step(rng);
    if (i % 211 == 5) x = 70, y = 50, z = 40;  // exactly at the eye
    v[i] = {x, y, z, palette[(i / 7) % palette.size()], static_cast<float>(i % 2), 1.0f};
  }
  return v;
}

const Case kCases[] = {
    {"program states, depth 1.0", Stage::Program, true, 0.0f, D3DCMP_LESSEQUAL, false},
    {"program states, depth 1.0, flat shading", Stage::Program, true, 0.0f, D3DCMP_LESSEQUAL, true},
    {"program states, sloping depth, LESS", Stage::Program, true, 1.0f, D3DCMP_LESS, false},
    {"device stage 0, blending off, flat shading", Stage::DeviceDefault, false, 0.0f, D3DCMP_LESSEQUAL, true},
    {"device stage 0, blending on, sloping depth", Stage::DeviceDefault, true, 2.0f, D3DCMP_LESSEQUAL, false},
};

// Opaque colours, then with a translucent one (blended when blending is on) and one with alpha 0.
const std::vector<D3DCOLOR> kOpaque = {0xFFFFFFFF, 0xFF30C060, 0xFFFF2010};
const std::vector<D3DCOLOR> kMixed = {0xFFFFFFFF, 0xFF30C060, 0x80FF2010, 0x002040FF};

// The path as the scene's rows: 16-byte vertices in a write-only vertex buffer, set as the stream. A
// few rows lie far out (their segments are drawn as chords near the eye).
void SetRowStream(IDirect3DDevice8* d, const std::vector<SceneVertex>& path) {
  std::vector<RowVertex> rows;
  for (const SceneVertex& v : path) rows.push_back({v.x, v.y, v.z, v.colour});
  IDirect3DVertexBuffer8* vb = nullptr;
  ASSERT_EQ(d->CreateVertexBuffer(static_cast<UINT>(rows.size() * sizeof(RowVertex)), D3DUSAGE_WRITEONLY,
                                  ROW_VERTEX_FVF, D3DPOOL_MANAGED, &vb),
            D3D_OK);
  BYTE* data = nullptr;
  ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
  std::memcpy(data, rows.data(), rows.size() * sizeof(RowVertex));
  vb->Unlock();
  d->SetStreamSource(0, vb, sizeof(RowVertex));
  d->SetVertexShader(ROW_VERTEX_FVF);
  vb->Release();  // the stream keeps it
}

std::vector<SceneVertex> RowsWithFarOnes(unsigned seed, size_t n, const std::vector<D3DCOLOR>& palette) {
  auto path = Path(seed, n, palette);
  for (size_t i = 1000; i < n; i += 9973) path[i].x = i % 2 ? 1e6f : -3e7f;
  return path;
}

// Every row drawn from the buffer by one POINTLIST or LINESTRIP call (the settled routes where the
// states allow, in two parts on two threads) against a call a row (the general route): the same
// bytes. Long enough for two parts; the rows jump about, so the parts cross each other's pixels.
TEST(BufferRoutes, RowsOfOneCallDrawWhatACallPerRowDraws) {
  for (const char* threads : {"1", "2"}) {
    for (const Case& c : kCases) {
      for (const auto* palette : {&kOpaque, &kMixed}) {
        for (auto [type, pointSize] : {std::pair{D3DPT_POINTLIST, 1.0f}, {D3DPT_POINTLIST, 3.0f},
                                       {D3DPT_LINESTRIP, 1.0f}}) {
          const auto path = RowsWithFarOnes(c.nearPlane == 0 ? 7 : 8, 40000, *palette);
          setenv("SCATTERVIEW_THREADS", threads, 1);
          Device buffer;
          unsetenv("SCATTERVIEW_THREADS");
          Device perRow;
          Configure(buffer.device, c);
          Configure(perRow.device, c);
          for (Device* d : {&buffer, &perRow})
            d->device->SetRenderState(D3DRS_POINTSIZE, std::bit_cast<DWORD>(pointSize));
          SetRowStream(buffer.device, path);
          const UINT primitives = static_cast<UINT>(type == D3DPT_POINTLIST ? path.size() : path.size() - 1);
          ASSERT_EQ(buffer.device->DrawPrimitive(type, 0, primitives), D3D_OK);
          // A segment a call in its first row's colour: what flat shading gives the strip.
          const bool flat = c.flatShade || palette->size() == 1;
          for (UINT i = 0; i < primitives; ++i) {
            SceneVertex v[2] = {path[i], path[i + (type == D3DPT_LINESTRIP)]};
            if (flat) v[1].colour = v[0].colour;
            ASSERT_EQ(perRow.device->DrawPrimitiveUP(type == D3DPT_POINTLIST ? D3DPT_POINTLIST : D3DPT_LINELIST, 1, v,
                                                     sizeof(SceneVertex)),
                      D3D_OK);
          }
          const auto expected = perRow.Pixels();
          int lit = 0;
          for (uint32_t p : expected) lit += p != 0xFF140000u;
          EXPECT_GT(lit, 5000) << c.name << ": the case must draw something to compare";
          EXPECT_TRUE(buffer.Pixels() == expected) << c.name << (type == D3DPT_POINTLIST ? ", points" : ", strip")
                                                   << ", colours " << palette->size() << ", threads " << threads;
        }
      }
    }
  }
}

}  // namespace
}  // namespace rendertest
