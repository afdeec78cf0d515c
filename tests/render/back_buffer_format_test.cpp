// The back buffer's format: a 16-bit R5G6B5 buffer holds every colour on its 5/6/5 levels, blends over
// what it holds and presents that; the 32-bit formats keep every colour as it is.
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

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

// A device of `format` (4 × 4 unless given) with the program's drawing states, presenting into
// `window` (or nowhere).
struct Device {
  explicit Device(D3DFORMAT format, HWND window = nullptr, UINT width = 4, UINT height = 4) {
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = Params(width, height, window);
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

// The whole of a w × h device in `colour`, drawn as one screen quad, as scene points one call each,
// or as scene lines a row each (each kind by its own route through the device).
enum class Cover { Quad, Points, Lines };
void CoverAll(Device& d, int w, int h, Cover how, D3DCOLOR colour) {
  // Identity transforms: a scene position is its clip position; pixel (x, y) is at (2x / w - 1, 1 - 2y / h).
  auto at = [&](float x, float y) { return SceneVertex{2 * x / w - 1, 1 - 2 * y / h, 0.5f, colour, 0, 0}; };
  d.device->BeginScene();
  if (how == Cover::Quad) {
    const auto fw = static_cast<float>(w), fh = static_cast<float>(h);
    const ScreenVertex v[4] = {{0, 0, 0, 1, colour, 0, 0}, {fw, 0, 0, 1, colour, 0, 0}, {fw, fh, 0, 1, colour, 0, 0},
                               {0, fh, 0, 1, colour, 0, 0}};
    d.device->SetVertexShader(kScreenFvf);
    d.device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof v[0]);
  } else {
    d.device->SetVertexShader(kSceneFvf);
    for (int y = 0; y < h; ++y) {
      if (how == Cover::Lines) {
        const SceneVertex v[2] = {at(-0.5f, static_cast<float>(y)), at(w - 0.5f, static_cast<float>(y))};
        d.device->DrawPrimitiveUP(D3DPT_LINELIST, 1, v, sizeof v[0]);
        continue;
      }
      for (int x = 0; x < w; ++x) {
        const SceneVertex v = at(static_cast<float>(x), static_cast<float>(y));
        d.device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v);
      }
    }
  }
  d.device->EndScene();
}

// The back buffer as text: each pixel by the legend, '?' for a colour not in it.
std::string Picture(Device& d, const std::map<uint32_t, char>& legend) {
  int w = 0, h = 0;
  const uint32_t* p = d.device->BackBufferPixels(&w, &h);
  std::string out;
  for (int i = 0; i < w * h; ++i) {
    const auto it = legend.find(p[i] | 0xFF000000u);
    out += it != legend.end() ? it->second : '?';
    if (i % w == w - 1) out += '\n';
  }
  return out;
}

TEST(BackBufferFormat, DitheringSpreadsAColourBetweenTwoLevelsInTheFourByFourOrderedPattern) {
  // Red 21 lies 5/8 of the way from level 2 (16) to level 3 (24): 10 pixels of every 16 take level 3,
  // those of the pattern's 10 lowest thresholds, whichever route draws them.
  const std::string expected =
      "+++.+++.\n"
      ".+.+.+.+\n"
      "+.+++.++\n"
      ".+.+.+.+\n"
      "+++.+++.\n"
      ".+.+.+.+\n"
      "+.+++.++\n"
      ".+.+.+.+\n";
  for (Cover how : {Cover::Quad, Cover::Points, Cover::Lines}) {
    SCOPED_TRACE(static_cast<int>(how));
    Device d(D3DFMT_R5G6B5, nullptr, 8, 8);
    d.device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d.device->SetRenderState(D3DRS_DITHERENABLE, TRUE);
    d.device->SetTexture(0, nullptr);
    d.Clear(0xFF000000);
    CoverAll(d, 8, 8, how, 0xFF150000);
    EXPECT_EQ(Picture(d, {{0xFF100000u, '.'}, {0xFF180000u, '+'}}), expected);
  }
}

TEST(BackBufferFormat, DitheringAGradientKeepsItsLevelsAndTracksItsMeanOnlySixteenBitWithItOn) {
  constexpr int kW = 64, kH = 8;
  // Red 0 to 16, green 0 to 32 and blue 100 to 116 left to right: slopes so gentle that a 4 × 4 block is
  // nearly of one colour, through every fraction of a level.
  auto gradient = [](Device& d) {
    const ScreenVertex v[4] = {{0, 0, 0, 1, 0xFF000064, 0, 0}, {kW, 0, 0, 1, 0xFF102074, 0, 0},
                               {kW, kH, 0, 1, 0xFF102074, 0, 0}, {0, kH, 0, 1, 0xFF000064, 0, 0}};
    d.device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d.device->SetTexture(0, nullptr);
    d.device->SetVertexShader(kScreenFvf);
    d.device->BeginScene();
    d.device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof v[0]);
    d.device->EndScene();
  };
  auto drawn = [&](D3DFORMAT format, BOOL dither) {
    Device d(format, nullptr, kW, kH);
    d.device->SetRenderState(D3DRS_DITHERENABLE, dither);
    gradient(d);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) pixels.push_back(d.Pixel(x, y) | 0xFF000000u);
    return pixels;
  };
  const std::vector<uint32_t> exact = drawn(D3DFMT_X8R8G8B8, FALSE);
  EXPECT_EQ(drawn(D3DFMT_X8R8G8B8, TRUE), exact) << "a 32-bit buffer has nothing to dither";
  std::vector<uint32_t> rounded;
  for (uint32_t c : exact) rounded.push_back(On565(c));
  EXPECT_EQ(drawn(D3DFMT_R5G6B5, FALSE), rounded) << "without dithering each colour takes its nearest level";

  const std::vector<uint32_t> dithered = drawn(D3DFMT_R5G6B5, TRUE);
  ASSERT_EQ(dithered.size(), exact.size());
  EXPECT_NE(dithered, rounded);
  // Per channel (shift, bits): each pixel on the level just below or just above its colour, and each
  // 4 × 4 block's mean nearer the colours' mean than rounding comes.
  for (auto [shift, bits] : {std::pair{16, 5}, std::pair{8, 6}, std::pair{0, 5}}) {
    SCOPED_TRACE(shift);
    const double level = 255.0 / ((1 << bits) - 1);
    auto channel = [shift](uint32_t c) { return static_cast<double>((c >> shift) & 0xFF); };
    double worstDithered = 0, worstRounded = 0;
    for (int bx = 0; bx < kW; bx += 4)
      for (int by = 0; by < kH; by += 4) {
        double exactSum = 0, ditheredSum = 0, roundedSum = 0;
        for (int y = by; y < by + 4; ++y)
          for (int x = bx; x < bx + 4; ++x) {
            const size_t i = static_cast<size_t>(y) * kW + x;
            const double e = channel(exact[i]), got = channel(dithered[i]);
            ASSERT_LT(std::fabs(got - e), level) << "pixel " << x << "," << y;
            exactSum += e, ditheredSum += got, roundedSum += channel(rounded[i]);
          }
        worstDithered = std::max(worstDithered, std::fabs(ditheredSum - exactSum) / 16 / level);
        worstRounded = std::max(worstRounded, std::fabs(roundedSum - exactSum) / 16 / level);
      }
    EXPECT_LT(worstDithered, 0.1) << "of a level";
    EXPECT_GT(worstRounded, 0.2) << "of a level";
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
