// The device draws a lone point or line segment (the scene's one-per-call drawing) by a shorter route
// than a batch of them. These tests hold the two routes to the same pixels: segments one call each
// against the same polyline as one LINELIST call (which takes the general path), and points one call
// each against the same points with fog on but never reaching them (which also takes the general path),
// under the states where the short route applies, where it hands over, and across the near plane;
// and segments and points that wait to be drawn together against every other call in between.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "render_test_util.h"

namespace rendertest {
namespace {

constexpr int kWidth = 96, kHeight = 72;

struct Device {
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  explicit Device(UINT width = kWidth, UINT height = kHeight) {
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = Params(width, height);
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
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, c.blend);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d->SetRenderState(D3DRS_ZFUNC, c.depthFunc);
  d->SetRenderState(D3DRS_SHADEMODE, c.flatShade ? D3DSHADE_FLAT : D3DSHADE_GOURAUD);
  if (c.stage == Stage::Program) {  // what the graphics layer sets when it unbinds the texture
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  }  // else the device's own stage 0: alpha from the (missing, so opaque) texture
  // The viewer's kind of camera, close enough that some of the data lies behind the eye.
  D3DXVECTOR3 eye(70, 50, 40), at(0, 0, 0), up(0, 0, 1);
  D3DXMATRIX view, proj, world;
  D3DXMatrixLookAtRH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovRH(&proj, 1.0471976f, 4.0f / 3.0f, c.nearPlane, 1000.0f);
  D3DXMatrixIdentity(&world);
  d->SetTransform(D3DTS_VIEW, &view);
  d->SetTransform(D3DTS_PROJECTION, &proj);
  d->SetTransform(D3DTS_WORLD, &world);
  d->SetVertexShader(kSceneFvf);
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
    {"program states, sloping depth, LESS", Stage::Program, true, 1.0f, D3DCMP_LESS, false},
    {"device stage 0, blending off", Stage::DeviceDefault, false, 0.0f, D3DCMP_LESSEQUAL, false},
    {"device stage 0, blending on, sloping depth", Stage::DeviceDefault, true, 2.0f, D3DCMP_LESSEQUAL, false},
    {"program states, blending off, flat shading", Stage::Program, false, 0.5f, D3DCMP_LESSEQUAL, true},
};

// Opaque colours, a translucent one (blended when blending is on) and one with alpha 0.
const std::vector<D3DCOLOR> kPalette = {0xFFFFFFFF, 0xFF30C060, 0x80FF2010, 0x002040FF};

TEST(SingleCallPaths, SegmentsOneCallEachDrawThePolylineOfOneBatchCall) {
  for (const Case& c : kCases) {
    for (bool oneColourPerSegment : {true, false}) {
      const auto path = Path(11, 1500, kPalette);
      // LINELIST pairs: the polyline as separate segments, each drawn twice (the second time against the
      // depth the first one left). Both ends of a segment get one colour, as DrawLine gives them, or the
      // colour changes inside some segments.
      std::vector<SceneVertex> pairs;
      for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i + 1 < path.size(); ++i) {
          pairs.push_back(path[i]);
          pairs.push_back(path[i + 1]);
          if (oneColourPerSegment) pairs.back().colour = path[i].colour;
        }
      Device single, batch;
      Configure(single.device, c);
      Configure(batch.device, c);
      for (size_t i = 0; i < pairs.size(); i += 2)
        ASSERT_EQ(single.device->DrawPrimitiveUP(D3DPT_LINELIST, 1, &pairs[i], sizeof(SceneVertex)), D3D_OK);
      ASSERT_EQ(batch.device->DrawPrimitiveUP(D3DPT_LINELIST, static_cast<UINT>(pairs.size() / 2), pairs.data(),
                                              sizeof(SceneVertex)),
                D3D_OK);
      const auto expected = batch.Pixels();
      int lit = 0;
      for (uint32_t p : expected) lit += p != 0xFF140000u;
      EXPECT_GT(lit, 500) << c.name << ": the case must draw something to compare";
      EXPECT_TRUE(single.Pixels() == expected)
          << c.name << (oneColourPerSegment ? ", flat segments" : ", graded segments");
    }
  }
}

TEST(SingleCallPaths, LongRunsOnTwoThreadsDrawWhatCallsOfOneDraw) {
  // Long strips and point lists of one colour are drawn in parts on two threads; a run of another
  // colour over them must still cover them where they cross, and no primitive at a part's end may
  // be lost.
  for (const Case& c : kCases) {
    setenv("SCATTERVIEW_THREADS", "2", 1);
    Device twoThreads(640, 480);
    unsetenv("SCATTERVIEW_THREADS");
    Device reference(640, 480);
    Configure(twoThreads.device, c);
    Configure(reference.device, c);
    for (const D3DCOLOR colour : {0xFFFFFFFFu, 0xFF30C060u, 0x80FF2010u}) {
      auto path = Path(colour % 97, 5000, {colour});
      for (SceneVertex& v : path) v.x += static_cast<float>(colour % 7);  // crossing the strip before
      ASSERT_EQ(twoThreads.device->DrawPrimitiveUP(D3DPT_LINESTRIP, static_cast<UINT>(path.size() - 1), path.data(),
                                                   sizeof(SceneVertex)),
                D3D_OK);
      for (size_t i = 0; i + 1 < path.size(); ++i)
        ASSERT_EQ(reference.device->DrawPrimitiveUP(D3DPT_LINELIST, 1, &path[i], sizeof(SceneVertex)), D3D_OK);
      for (SceneVertex& v : path) v.y += 3.0f;  // points beside the lines
      ASSERT_EQ(twoThreads.device->DrawPrimitiveUP(D3DPT_POINTLIST, static_cast<UINT>(path.size()), path.data(),
                                                   sizeof(SceneVertex)),
                D3D_OK);
      for (const SceneVertex& v : path)
        ASSERT_EQ(reference.device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof(SceneVertex)), D3D_OK);
    }
    const auto expected = reference.Pixels();
    int lit = 0;
    for (uint32_t p : expected) lit += p != 0xFF140000u;
    EXPECT_GT(lit, 20000) << c.name << ": the case must draw something to compare";
    EXPECT_TRUE(twoThreads.Pixels() == expected) << c.name;
  }
}

TEST(SingleCallPaths, ASegmentIsPlacedAfreshWhenItsStartOrTheTransformsMoved) {
  // The second segment starts where the first ended but for one coordinate, or the view or the world
  // moved in between: nothing of the first segment's end may be carried over.
  const Case c = kCases[0];
  const SceneVertex a{-20, 10, 5, 0xFFFFFFFF, 0, 1}, b{10, -5, 0, 0xFFFFFFFF, 1, 1}, e{30, 20, -10, 0xFFFFFFFF, 1, 1};
  D3DXMATRIX moved;
  D3DXMatrixTranslation(&moved, 3, -4, 2);
  for (int change = 0; change < 5; ++change) {  // the start's x, y or z; the view; the world
    SceneVertex start = b;
    if (change < 3) (change == 0 ? start.x : change == 1 ? start.y : start.z) += 8.0f;
    Device single, reference;
    Configure(single.device, c);
    Configure(reference.device, c);
    D3DXMATRIX view, nudged;
    single.device->GetTransform(D3DTS_VIEW, &view);
    D3DXMatrixMultiply(&nudged, &view, &moved);
    auto between = [&](IDirect3DDevice8* d) {
      if (change >= 3) d->SetTransform(change == 3 ? D3DTS_VIEW : D3DTS_WORLD, change == 3 ? &nudged : &moved);
    };
    const SceneVertex first[2] = {a, b}, second[2] = {start, e};
    single.device->DrawPrimitiveUP(D3DPT_LINELIST, 1, first, sizeof(SceneVertex));
    between(single.device);
    single.device->DrawPrimitiveUP(D3DPT_LINELIST, 1, second, sizeof(SceneVertex));
    // The reference draws each segment in a call of its own with a copy of itself: the general path.
    const SceneVertex firstTwice[4] = {a, b, a, b}, secondTwice[4] = {start, e, start, e};
    reference.device->DrawPrimitiveUP(D3DPT_LINELIST, 2, firstTwice, sizeof(SceneVertex));
    between(reference.device);
    reference.device->DrawPrimitiveUP(D3DPT_LINELIST, 2, secondTwice, sizeof(SceneVertex));
    EXPECT_TRUE(single.Pixels() == reference.Pixels()) << "change " << change;
  }
}

// A device drawing a call at a time beside a reference, both set up for a case, with the calls the
// pending tests put between drawing calls.
struct PendingRun {
  Device single, reference;
  D3DXMATRIX moved, identity, view, nudgedView;
  explicit PendingRun(const Case& c) {
    Configure(single.device, c);
    Configure(reference.device, c);
    D3DXMatrixTranslation(&moved, 2, -3, 1);
    D3DXMatrixIdentity(&identity);
    single.device->GetTransform(D3DTS_VIEW, &view);
    D3DXMatrixMultiply(&nudgedView, &view, &moved);
  }
  // Ops 0-4, made on both devices: change the blending, the world, the view, clear, and end and begin
  // the scene. False for any other op.
  bool OtherCall(int op, bool coin) {
    for (IDirect3DDevice8* d : {single.device, reference.device}) {
      switch (op) {
        case 0: d->SetRenderState(D3DRS_ALPHABLENDENABLE, coin); break;
        case 1: d->SetTransform(D3DTS_WORLD, coin ? &moved : &identity); break;
        case 2: d->SetTransform(D3DTS_VIEW, coin ? &nudgedView : &view); break;
        case 3: d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000040, 1.0f, 0); break;
        case 4:
          d->EndScene();
          d->BeginScene();
          break;
        default: return false;
      }
    }
    return true;
  }
  // A segment from a to b in a's colour: one LINELIST call on the device under test, a LINESTRIP of
  // its own (the general path, at once) on the reference. True when both devices took it.
  bool Segment(const SceneVertex& a, SceneVertex b) {
    b.colour = a.colour;
    const SceneVertex segment[2] = {a, b};
    return single.device->DrawPrimitiveUP(D3DPT_LINELIST, 1, segment, sizeof(SceneVertex)) == D3D_OK &&
           reference.device->DrawPrimitiveUP(D3DPT_LINESTRIP, 1, segment, sizeof(SceneVertex)) == D3D_OK;
  }
  bool SamePictures() { return single.Pixels() == reference.Pixels(); }
};

TEST(SingleCallPaths, PendingSegmentsMeetEveryOtherCallInOrder) {
  // Segments drawn a call each may wait to be drawn together; every other call must find them drawn.
  // A polyline is drawn a segment a call, with state changes, other drawing, clears and reads of the
  // picture in between; the reference draws each segment alone as a LINESTRIP, which takes the general
  // path at once.
  for (int caseIndex : {0, 1, 2}) {
    const Case& c = kCases[caseIndex];
    const auto path = Path(41, 1200, kPalette);
    PendingRun run(c);
    std::mt19937 rng(7 + caseIndex);
    std::uniform_int_distribution<int> pick(0, 40);
    int reads = 0;
    size_t i = 0;
    while (i + 1 < path.size()) {
      const int op = pick(rng);
      const bool coin = rng() % 2;  // drawn once for both devices
      if (run.OtherCall(op, coin)) continue;
      switch (op) {
        case 5:
          ++reads;
          ASSERT_TRUE(run.SamePictures()) << c.name << ", read before segment " << i;
          break;
        case 6:  // a point over the line
          for (Device* d : {&run.single, &run.reference}) {
            SceneVertex p = path[i];
            p.colour = 0xFF2080FF;
            d->device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &p, sizeof p);
          }
          break;
        case 7:  // the next segment does not start where the last one ended
          ++i;
          break;
        default:
          ASSERT_TRUE(run.Segment(path[i], path[i + 1]));
          ++i;
      }
    }
    EXPECT_GT(reads, 10);
    EXPECT_TRUE(run.SamePictures()) << c.name;
  }
}

// Linear fog that begins far beyond every point: it sends a device's points through the general path,
// with a fog factor of exactly 1.
void FogThatNeverArrives(IDirect3DDevice8* d) {
  auto bits = [](float f) {
    DWORD b;
    std::memcpy(&b, &f, sizeof b);
    return b;
  };
  d->SetRenderState(D3DRS_FOGENABLE, TRUE);
  d->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
  d->SetRenderState(D3DRS_FOGCOLOR, 0xFF00FFFF);
  d->SetRenderState(D3DRS_FOGSTART, bits(1e6f));
  d->SetRenderState(D3DRS_FOGEND, bits(2e6f));
}

TEST(SingleCallPaths, PointsOneCallEachDrawWhatTheGeneralPathDraws) {
  for (const Case& c : kCases) {
    const auto points = Path(23, 4000, kPalette);
    Device single, general;
    Configure(single.device, c);
    Configure(general.device, c);
    FogThatNeverArrives(general.device);
    for (int pass = 0; pass < 2; ++pass)
      for (const SceneVertex& p : points) {
        ASSERT_EQ(single.device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &p, sizeof p), D3D_OK);
        ASSERT_EQ(general.device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &p, sizeof p), D3D_OK);
      }
    const auto expected = general.Pixels();
    int lit = 0;
    for (uint32_t p : expected) lit += p != 0xFF140000u;
    EXPECT_GT(lit, 300) << c.name;
    EXPECT_TRUE(single.Pixels() == expected) << c.name;
  }
}

TEST(SingleCallPaths, PendingPointsMeetEveryOtherCallInOrder) {
  // Points drawn a call each may wait to be drawn together; every other call must find them drawn.
  // The reference's fog sends its points down the general path at once (and changes nothing).
  for (int caseIndex : {0, 1, 2}) {
    const Case& c = kCases[caseIndex];
    const auto path = Path(43, 1500, kPalette);
    PendingRun run(c);
    FogThatNeverArrives(run.reference.device);
    std::mt19937 rng(17 + caseIndex);
    std::uniform_int_distribution<int> pick(0, 30);
    int reads = 0;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
      const int op = pick(rng);
      const bool coin = rng() % 2;  // drawn once for both devices
      if (run.OtherCall(op, coin)) continue;
      switch (op) {
        case 5:
          ++reads;
          ASSERT_TRUE(run.SamePictures()) << c.name << ", read before point " << i;
          break;
        case 6: {  // a segment across the points
          SceneVertex start = path[i];
          start.colour = 0xFF2080FF;
          ASSERT_TRUE(run.Segment(start, path[i + 1]));
          break;
        }
        case 7:  // blending of other factors for a while: then points do not wait (when blending is on)
          for (Device* d : {&run.single, &run.reference})
            d->device->SetRenderState(D3DRS_SRCBLEND, coin ? D3DBLEND_ONE : D3DBLEND_SRCALPHA);
          break;
        default:
          for (Device* d : {&run.single, &run.reference})
            ASSERT_EQ(d->device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &path[i], sizeof(SceneVertex)), D3D_OK);
      }
    }
    EXPECT_GT(reads, 10);
    EXPECT_TRUE(run.SamePictures()) << c.name;
  }
}

TEST(SingleCallPaths, ABufferPointMovedByTheWorldDrawsWhatTheGeneralPathDraws) {
  // The scene's other way to draw points: one vertex at the origin in a buffer, a translation world
  // per point and DrawPrimitive. A second vertex at (-0, -0, -0) is the origin by value only.
  for (const Case& c : kCases) {
    const auto points = Path(31, 3000, kPalette);
    Device single, general;
    Configure(single.device, c);
    Configure(general.device, c);
    FogThatNeverArrives(general.device);
    for (Device* d : {&single, &general}) {
      IDirect3DVertexBuffer8* vb = nullptr;
      ASSERT_EQ(d->device->CreateVertexBuffer(2 * sizeof(SceneVertex), 0, kSceneFvf, D3DPOOL_MANAGED, &vb), D3D_OK);
      BYTE* data = nullptr;
      ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
      const SceneVertex origins[2] = {{0.0f, 0.0f, 0.0f, 0xFFFFFFFF, 0, 0}, {-0.0f, -0.0f, -0.0f, 0xFF30C060, 0, 0}};
      std::memcpy(data, origins, sizeof origins);
      vb->Unlock();
      d->device->SetStreamSource(0, vb, sizeof(SceneVertex));
      vb->Release();  // the stream keeps it
    }
    for (size_t i = 0; i < points.size(); ++i) {
      // Every fifth point moves by -0 along x, which the translation row keeps as it is.
      const SceneVertex& p = points[i];
      D3DXMATRIX world;
      D3DXMatrixTranslation(&world, i % 5 == 0 ? -0.0f : p.x, p.y, p.z);
      const UINT vertex = i % 3 == 0 ? 1 : 0;
      for (Device* d : {&single, &general}) {
        d->device->SetTransform(D3DTS_WORLD, &world);
        ASSERT_EQ(d->device->DrawPrimitive(D3DPT_POINTLIST, vertex, 1), D3D_OK);
      }
    }
    const auto expected = general.Pixels();
    int lit = 0;
    for (uint32_t p : expected) lit += p != 0xFF140000u;
    EXPECT_GT(lit, 300) << c.name;
    EXPECT_TRUE(single.Pixels() == expected) << c.name;
  }
}

}  // namespace
}  // namespace rendertest
