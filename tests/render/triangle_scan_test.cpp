// Small triangles are scanned eight pixels at a time; the same triangles with the lanes turned off take
// the scalar scan. Both must leave the same colour and depth bytes, for every kind of fragment work a
// triangle can pick, over random corners, colours, depths and rhw (zero rhw sums included). Texture
// coordinates far beyond the wrapped texture turn the least change of a weight into another texel.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "render/rasterizer.h"
#include "render/texture.h"

namespace {

using render::PixelState;
using render::RasterVertex;
using Triangle = std::array<RasterVertex, 3>;
constexpr int kSide = 40;  // narrower than the widest box the lanes take, so every triangle takes them

// The colour buffer followed by the depth buffer, after drawing `triangles` on a cleared target.
std::vector<uint32_t> Draw(const std::vector<Triangle>& triangles, const PixelState& ps, bool lanes) {
  render::Rasterizer raster;
  raster.Resize(kSide, kSide);
  raster.Clear(0, 0, kSide, kSide, true, 0xFF204080u, true, 1.0f);
  raster.ScanTrianglesInLanes(lanes);
  for (const Triangle& t : triangles) raster.DrawTriangle(t[0], t[1], t[2], ps);
  std::vector<uint32_t> bytes(raster.Colour(), raster.Colour() + kSide * kSide);
  for (int i = 0; i < kSide * kSide; ++i) bytes.push_back(raster.DepthAt(i % kSide, i / kSide));
  return bytes;
}

// Triangles over the target and each other; `oneColour`: one whole-number colour and rhw a triangle.
std::vector<Triangle> RandomTriangles(std::mt19937& rng, bool oneColour) {
  std::uniform_real_distribution<float> at(-10.0f, kSide + 10.0f), unit(0.0f, 1.0f), rhw(0.01f, 4.0f),
      channel(0.0f, 255.0f), texel(-3000.0f, 3000.0f);
  std::vector<Triangle> triangles(24);
  for (Triangle& t : triangles) {
    // w = 0: every rhw sum is 0; grid = 1: corners on pixel centres, so edges run through centres.
    const float w = rng() % 6 == 0 ? 0.0f : rhw(rng), grid = rng() % 3 == 0 ? 1.0f : 256.0f;
    for (RasterVertex& v : t)
      v = {std::round(at(rng) * grid) / grid, std::round(at(rng) * grid) / grid, unit(rng),
           oneColour ? w : rhw(rng) * w, channel(rng), channel(rng), channel(rng), channel(rng), texel(rng), texel(rng),
           unit(rng)};
    if (oneColour)
      for (RasterVertex& v : t) v.r = std::floor(t[0].r), v.g = std::floor(t[0].g), v.b = std::floor(t[0].b), v.a = 255;
  }
  return triangles;
}

// Each state draws triangles of interpolated colours and triangles of one colour in turn, so every
// kind of fragment work is taken: interpolated, one colour, the text.
const struct State { const char* name; void (*set)(PixelState&); } kStates[] = {
    {"no texture, blended", [](PixelState& ps) { ps.texture = nullptr, ps.blend = true; }},
    {"the text's: texture times diffuse, blended over",
     [](PixelState& ps) { ps.blend = true, ps.srcBlend = D3DBLEND_SRCALPHA, ps.destBlend = D3DBLEND_INVSRCALPHA; }},
    {"texture times diffuse, fog, depth LESS", [](PixelState& ps) { ps.fog = true, ps.depthFunc = D3DCMP_LESS; }},
};

TEST(TriangleScan, LanesLeaveTheBytesOfTheScalarScan) {
  render::Texture* texture = render::Texture::Create(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  std::mt19937 rng(14);
  for (uint32_t& t : texture->LevelAt(0).texels) t = static_cast<uint32_t>(rng());
  for (const auto& state : kStates) {
    PixelState ps{.texture = texture, .alphaOp = D3DTOP_MODULATE, .cullMode = D3DCULL_NONE};
    state.set(ps);
    render::Rasterizer::DeriveFlags(ps);
    for (int round = 0; round < 60; ++round) {
      const std::vector<Triangle> triangles = RandomTriangles(rng, round % 2 == 1);
      const std::vector<uint32_t> lanes = Draw(triangles, ps, true);
      ASSERT_TRUE(lanes == Draw(triangles, ps, false)) << state.name << ", round " << round;
      ASSERT_TRUE(lanes != Draw({}, ps, true)) << state.name << ": nothing drawn";
    }
  }
  texture->Release();
}

}  // namespace
