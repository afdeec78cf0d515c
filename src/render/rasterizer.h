// The software rasterizer: an A8R8G8B8 colour buffer and a 16-bit depth buffer, and the Direct3D rules
// for filling them: pixel centres on integer coordinates, size-1 points on the pixel they round to,
// diamond-exit lines, top-left filled triangles, stage-0 texture blending, alpha test, blending, depth.
// Vertices arrive already divided and in pixels (pipeline.cpp does transform, lighting and clipping).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/d3d8.h"

namespace render {

class Texture;

// ceil(x - 0.5): the pixel whose centre is nearest, exact halves going left/up. NaN and far values map
// outside any target.
inline int CentreIndex(float x) {
  if (!(x > -1e7f && x < 1e7f)) return -1 << 30;
  // ceil as truncation plus one correction: exact for |x - 0.5| < 2^24, where both conversions are
  // exact, and far cheaper than the library call that ceilf is without SSE4.1.
  const float h = x - 0.5f;
  const int t = static_cast<int>(h);  // toward zero
  return t + (static_cast<float>(t) < h ? 1 : 0);
}

// One vertex in screen space: x, y in pixels (centres on integers), z the depth 0..1, rhw = 1/w.
// Colours are 0..255 floats so they interpolate without conversions; fog is the fog factor
// (1 = no fog, 0 = all fog colour).
struct ScreenVertex {
  float x, y, z, rhw;
  float r, g, b, a;
  float u, v;
  float fog;
};

// What the pixel stage needs, gathered from the device states when they change.
struct PixelState {
  const Texture* texture = nullptr;
  DWORD colorOp = D3DTOP_MODULATE, colorArg1 = D3DTA_TEXTURE, colorArg2 = D3DTA_CURRENT;
  DWORD alphaOp = D3DTOP_SELECTARG1, alphaArg1 = D3DTA_TEXTURE, alphaArg2 = D3DTA_CURRENT;
  DWORD magFilter = D3DTEXF_POINT, minFilter = D3DTEXF_POINT, mipFilter = D3DTEXF_NONE;
  DWORD addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
  D3DCOLOR textureFactor = 0xFFFFFFFF;
  bool blend = false;
  DWORD srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO;
  bool alphaTest = false;
  DWORD alphaFunc = D3DCMP_ALWAYS, alphaRef = 0;
  bool depthTest = true, depthWrite = true;
  DWORD depthFunc = D3DCMP_LESSEQUAL;
  bool fog = false;
  D3DCOLOR fogColor = 0;
  bool flatShade = false;
  DWORD cullMode = D3DCULL_CCW;
  bool lastPixel = true;
  float pointSize = 1.0f;
  // Derived by Rasterizer::Finish: the stage-0 result is the diffuse colour itself (no texture bound
  // and operations that pass diffuse through), so the per-pixel combiner can be skipped.
  bool diffuseOnly = false;
  // Also derived: the stage result is the diffuse colour, its alpha replaced by 255 when plainAlpha is
  // 0xFF000000; there is no alpha test, and blending (if on) is SRCALPHA / INVSRCALPHA. Then a fragment
  // whose result alpha is 255, or any fragment when blending is off, writes that result unchanged;
  // PlotPlain relies on it.
  bool plainWrite = false;
  uint32_t plainAlpha = 0;
  // Also derived: a texture is bound and both colour and alpha are MODULATE of texture and diffuse.
  bool textureModulate = false;
};

class Rasterizer {
 public:
  // Sizes are validated by the device (1..16384 each side).
  void Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  const uint32_t* Colour() const { return colour_.data(); }
  uint32_t* Colour() { return colour_.data(); }
  // The depth stored for pixel (x, y); for tests.
  uint16_t DepthAt(int x, int y) const;

  // Clears the part of the rectangle [x1, x2) × [y1, y2) inside the target.
  void Clear(int x1, int y1, int x2, int y2, bool target, uint32_t colour, bool depth, float z);

  void DrawPoint(const ScreenVertex& v, const PixelState& ps);
  // The scene's hot path: a point with a flat A8R8G8B8 colour, already in screen space.
  void PlotPoint(float x, float y, float z, uint32_t colour, float u, float v, float fog, const PixelState& ps);
  void DrawLine(const ScreenVertex& v0, const ScreenVertex& v1, const PixelState& ps);
  // DrawLine for a line of one flat colour in a state with ps.plainWrite set: the same pixels, without
  // the per-pixel attribute interpolation that cannot change a flat colour.
  void DrawPlainLine(float x0, float y0, float z0, float x1, float y1, float z1, uint32_t colour,
                     const PixelState& ps);
  void DrawTriangle(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2, const PixelState& ps);

  // One fragment at pixel (x, y), known to be inside the target, with the flat A8R8G8B8 colour
  // `colour` and depth `z`, for a state with ps.plainWrite set (so texture coordinates and fog do not
  // matter): the same result as the general fragment path, without its combiner and blender.
  void PlotPlain(int x, int y, float z, uint32_t colour, const PixelState& ps) {
    const uint32_t result = colour | ps.plainAlpha;
    if (ps.blend && (result >> 24) != 0xFF) {
      FragmentPacked(x, y, z, colour, 0.0f, 0.0f, 1.0f, 0, ps);
      return;
    }
    const size_t index = static_cast<size_t>(y) * width_ + x;
    const uint16_t depth = DepthToBits(z);
    if (allUniform_ && depth == uniformDepth_) {
      // The stored depth is this depth, and writing it back changes nothing.
      if (!ps.depthTest || ps.depthFunc == D3DCMP_LESSEQUAL || CompareDepth(ps.depthFunc, depth, depth))
        colour_[index] = result;
      return;
    }
    const size_t tile = TileOf(x, y);
    if (ps.depthTest) {
      const uint16_t stored = tileUniform_[tile] ? uniformDepth_ : depth_[index];
      if (!(ps.depthFunc == D3DCMP_LESSEQUAL ? depth <= stored : CompareDepth(ps.depthFunc, depth, stored))) return;
    }
    colour_[index] = result;
    if (ps.depthTest && ps.depthWrite) {
      if (tileUniform_[tile]) {
        if (depth == uniformDepth_) return;
        MaterialiseTile(tile);
      }
      depth_[index] = depth;
    }
  }

  static uint16_t DepthToBits(float z) {
    if (!(z > 0.0f)) return 0;
    if (z >= 1.0f) return 0xFFFF;
    return static_cast<uint16_t>(z * 65535.0f + 0.5f);
  }
  static bool CompareDepth(DWORD func, unsigned value, unsigned reference);
  // Fills in the derived fields of `ps` after its states changed.
  static void Finish(PixelState& ps);

 private:
  // Shades one fragment and writes it when it passes the tests. `level` is the mip level sampled.
  void Fragment(int x, int y, float z, float r, float g, float b, float a, float u, float v, float fog,
                unsigned level, const PixelState& ps);
  void FragmentPacked(int x, int y, float z, uint32_t diffuse, float u, float v, float fog, unsigned level,
                      const PixelState& ps);

  // Depth is kept per 8 × 8 tile as "uniform" (every pixel holds uniformDepth_, the memory is stale)
  // until a different value is written into it. A full clear only marks the tiles, and the scene, whose
  // every depth is 1.0 = the cleared depth, never has to read or write depth memory at all.
  static constexpr int kTileShift = 3;
  size_t TileOf(int x, int y) const {
    return static_cast<size_t>(y >> kTileShift) * tilesPerRow_ + static_cast<size_t>(x >> kTileShift);
  }
  void MaterialiseTile(size_t tile);
  void UniformWalk(bool xMajor, int start, int step, int count, float major0, float minor0, float slope,
                   uint32_t colour);
  template <bool XMajor>
  void PlainWalk(int start, int step, int count, float major0, float minor0, float slope, uint16_t depth,
                 uint32_t colour, const PixelState& ps);
  void MaterialiseAllTiles();

  int width_ = 0, height_ = 0;
  std::vector<uint32_t> colour_;
  std::vector<uint16_t> depth_;
  std::vector<uint8_t> tileUniform_;
  size_t tilesPerRow_ = 0;
  uint16_t uniformDepth_ = 0xFFFF;
  bool allUniform_ = true;  // no tile materialised since the last full depth clear
};

}  // namespace render
