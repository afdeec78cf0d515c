// The software rasterizer: an A8R8G8B8 colour buffer and a 16-bit depth buffer, and the Direct3D rules
// for filling them: pixel centres on integer coordinates, points as squares around the pixel they round to,
// diamond-exit lines, top-left filled triangles, stage-0 texture blending, blending, depth.
// Vertices arrive already divided and in pixels (device_draw.cpp does transform, lighting and clipping).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/d3d8.h"
#include "render/stored_colour.h"
#include "render/vector_lanes.h"

namespace render {

class Texture;

// ceil(x - 0.5): the pixel whose centre is nearest, exact halves going left/up. NaN and far values map
// outside any target; CentreIndexNear is for an x known to lie within ±1e7 (the walk of a line between
// two such ends).
inline int CentreIndexNear(float x) {
  // ceil as truncation plus one correction: exact for |x - 0.5| < 2^24, where both conversions are
  // exact, and far cheaper than the library call that ceilf is without SSE4.1.
  const float h = x - 0.5f;
  const int t = static_cast<int>(h);  // toward zero
  return t + (static_cast<float>(t) < h ? 1 : 0);
}

inline int CentreIndex(float x) {
  if (!(x > -1e7f && x < 1e7f)) return -1 << 30;
  return CentreIndexNear(x);
}

// The largest point side: Direct3D's default D3DRS_POINTSIZE_MAX.
constexpr int kMostPointSide = 64;

// The side in whole pixels of a point of D3DRS_POINTSIZE `size` (a float): rounded to the nearest,
// halves up, kept within 1 to kMostPointSide; 0 (a state never set), negatives and NaN give 1.
inline int PointSideOf(float size) {
  if (!(size >= 1.5f)) return 1;
  return size >= static_cast<float>(kMostPointSide) ? kMostPointSide : static_cast<int>(size + 0.5f);
}

// The first pixel of a point's square on one axis, from the pixel its centre rounds to: the square
// reaches side / 2 pixels before that pixel and (side - 1) / 2 after it, so an even side has its
// extra pixel on the left (or top), as exact halves round.
inline int PointSquareStart(int centre, int side) { return centre - side / 2; }

// A vertex as the rasterizer takes it, transformed, lit and fogged by the device (not the program's
// pre-transformed vertex format): x, y in pixels (centres on integers), z the depth 0..1, rhw = 1/w.
// Colours are 0..255 floats so they interpolate without conversions; fog is the fog factor
// (1 = no fog, 0 = all fog colour).
struct RasterVertex {
  float x, y, z, rhw;
  float r, g, b, a;
  float u, v;
  float fog;
};

// A colour as four 0..255 channels, as the pixel stage combines them.
struct Rgba {
  int r, g, b, a;
};

// What the pixel stage needs, gathered from the device states when they change.
struct PixelState {
  const Texture* texture = nullptr;
  DWORD colorOp = D3DTOP_MODULATE, colorArg1 = D3DTA_TEXTURE, colorArg2 = D3DTA_CURRENT;
  DWORD alphaOp = D3DTOP_SELECTARG1, alphaArg1 = D3DTA_TEXTURE, alphaArg2 = D3DTA_CURRENT;
  DWORD mipFilter = D3DTEXF_NONE;  // texels are point-sampled: the program asks for nothing else
  DWORD addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
  bool blend = false;
  DWORD srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO;
  bool depthTest = true, depthWrite = true;
  DWORD depthFunc = D3DCMP_LESSEQUAL;
  bool fog = false;
  D3DCOLOR fogColor = 0;
  bool flatShade = false;
  DWORD cullMode = D3DCULL_CCW;
  bool lastPixel = true;
  // D3DRS_POINTSIZE as a side in whole pixels (1 to kMostPointSide): a point covers side × side pixels.
  int pointSide = 1;
  // DITHERENABLE on a buffer of fewer than eight bits a channel: each colour written is dithered to
  // the buffer's levels by the pixel's place in a 4 × 4 ordered pattern (no pixel is then settled).
  bool dither = false;
  // Derived by Rasterizer::DeriveFlags. diffuseOnly: the stage result is the diffuse colour itself.
  // plainWrite: it is the diffuse colour (alpha 255 when plainAlpha is 0xFF000000) and blending is off
  // or SRCALPHA / INVSRCALPHA, so a fragment of alpha 255, or any with blending off, writes it
  // unchanged (dithered under `dither`). textureModulate: colour and alpha are texture times diffuse.
  // sameDepthPasses: a fragment passes the depth test against its own depth.
  bool diffuseOnly = false, plainWrite = false, textureModulate = false, sameDepthPasses = true;
  uint32_t plainAlpha = 0;
};

class Rasterizer {
 public:
  // Sizes are validated by the device (1..16384 each side).
  void Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The format the colour buffer stands for (A8R8G8B8 until set): the colours read back from it are
  // the ones a buffer of that format holds.
  void SetFormat(D3DFORMAT format) { stored_ = StoredColour(format); }
  // Whether the format holds every colour as it is (nothing to dither).
  bool HoldsEveryColour() const { return stored_.Exact(); }
  // The colour buffer, each colour as the format holds it.
  uint32_t* Colour() {
    if (!stored_.Exact()) stored_.Hold(colour_.data(), colour_.size());
    return colour_.data();
  }
  // The depth stored for pixel (x, y); for tests.
  uint16_t DepthAt(int x, int y) const;

  // Clears the part of the rectangle [x1, x2) × [y1, y2) inside the target.
  void Clear(int x1, int y1, int x2, int y2, bool target, uint32_t colour, bool depth, float z);

  // A point covers ps.pointSide × ps.pointSide pixels around the one its centre rounds to (PointSquareStart),
  // each a fragment of the point's depth, colour and texture coordinates; side 1 is that pixel alone.
  void DrawPoint(const RasterVertex& v, const PixelState& ps);
  void DrawLine(const RasterVertex& v0, const RasterVertex& v1, const PixelState& ps);
  // Settled lines 0 to n - 1 of the lanes, in their order (settled_lines.cpp): lines whose pixels
  // only take the packed result colour[i], written as it is, their depth being the one every pixel
  // holds and passes (SettledDepth). The pixels of DrawLine.
  void WalkSettledLines(const Float8& x0, const Float8& y0, const Float8& x1, const Float8& y1,
                        const uint32_t colour[8], const Int8& lastPixel, int n);
  // Rows [firstRow, lastRow) of `part`, a picture of this size that is 0 where nothing was drawn (every
  // colour written into it opaque): its drawn pixels copied over this picture's, and then made 0 again.
  void TakeWrittenPixels(Rasterizer& part, int firstRow, int lastRow);
  void DrawTriangle(const RasterVertex& v0, const RasterVertex& v1, const RasterVertex& v2, const PixelState& ps);
  // Whether small triangles may be scanned eight at a time (the default); tests hold the lanes to the scalar scan.
  void ScanTrianglesInLanes(bool on) { laneScan_ = on; }

  // The depth bits every pixel holds (the scene's 1.0 after a clear), when a fragment of that depth
  // passes: it passes everywhere, and writing its depth changes nothing. Else -1.
  // (Also -1 under dithering: the settled routes put their colours as they are.)
  int SettledDepth(const PixelState& ps) const {
    return allUniform_ && ps.sameDepthPasses && !ps.dither ? uniformDepth_ : -1;
  }

  // A settled fragment's result at pixel `index` (y × width + x, on the target), written as it is
  // (blending off, or an opaque result under it) at the depth every pixel holds and passes: the
  // colour store is all there is.
  void PutSettled(uint32_t index, uint32_t result) { colour_[index] = result; }
  // The same for every pixel of the square of `side` pixels whose top-left is (left, top), on the
  // target or not: the part on the target.
  void PutSettledSquare(int left, int top, int side, uint32_t result) {
    const int x0 = std::max(left, 0), x1 = std::min(left + side, width_);
    const int y1 = std::min(top + side, height_);
    if (x0 >= x1) return;
    for (int y = std::max(top, 0); y < y1; ++y) {
      uint32_t* row = colour_.data() + static_cast<size_t>(y) * width_;
      std::fill(row + x0, row + x1, result);
    }
  }
  // A settled line's pixels (DrawLine's walk from its screen ends) given `result`, one at a time.
  void PutLine(float x0, float y0, float x1, float y1, uint32_t result, bool lastPixel);

  static uint16_t DepthToBits(float z) {
    if (!(z > 0.0f)) return 0;
    if (z >= 1.0f) return 0xFFFF;
    return static_cast<uint16_t>(z * 65535.0f + 0.5f);
  }

  // Fills in the derived fields of `ps` after its states changed.
  static void DeriveFlags(PixelState& ps);

 private:
  // Shades one fragment of A8R8G8B8 `diffuse` and writes it when it passes the tests. `level` is the
  // mip level sampled.
  void Fragment(int x, int y, float z, uint32_t diffuse, float u, float v, float fog, unsigned level,
                const PixelState& ps);
  // The fragment stages after the texture stage (and the depth test) at pixel (x, y): fog, blending,
  // dithering and the colour and depth writes of the stage's result `s`.
  void BlendAndWrite(int x, int y, size_t index, size_t tile, uint16_t depth, Rgba s, float fog, const PixelState& ps);
  // A stored colour as the blender reads it: what the format holds.
  uint32_t ReadBack(uint32_t colour) const { return stored_.Exact() ? colour : stored_.Held(colour); }
  // Makes the stored colours of [x1, x2] × [y1, y2] (inside the target) what the format holds, so that
  // a primitive that writes each of its pixels once may read them back directly.
  void HoldArea(int x1, int y1, int x2, int y2);

  // Depth is kept per 8 × 8 tile as "uniform" (every pixel holds uniformDepth_, the memory is stale)
  // until a different value is written into it. A full clear only marks the tiles, and the scene, whose
  // every depth is 1.0 = the cleared depth, never has to read or write depth memory at all.
  static constexpr int kTileShift = 3;
  size_t TileOf(int x, int y) const {
    return static_cast<size_t>(y >> kTileShift) * tilesPerRow_ + static_cast<size_t>(x >> kTileShift);
  }
  void MaterialiseTile(size_t tile);
  // Writes a fragment's depth, leaving a uniform tile as it is when the depth is its depth.
  void WriteDepth(size_t index, size_t tile, uint16_t depth);
  // The depth test's states, LESSEQUAL picked out, read once a primitive rather than after every write
  // to the buffers (which, for all the compiler knows, may change them).
  struct DepthRules {
    bool test, lessEqual, write;
    DWORD func;
  };
  static DepthRules RulesOf(const PixelState& ps) {
    return {ps.depthTest, ps.depthFunc == D3DCMP_LESSEQUAL, ps.depthTest && ps.depthWrite, ps.depthFunc};
  }
  bool DepthPasses(const DepthRules& d, size_t index, size_t tile, uint16_t depth) const;
  // The pixels of a diamond-exit line from its screen ends: one per step of the major axis, from
  // `start` by `step` (±1), `count` of them (0 or less: none). The pixel at major index m lies at minor
  // index CentreIndex(minor0 + (m - major0) · slope).
  struct LineSteps {
    bool xMajor;
    int start, step, count;
    float major0, minor0, dMajor, slope;
  };
  bool PlanLine(float x0, float y0, float x1, float y1, bool lastPixel, LineSteps& s) const;
  // Calls f(x, y, along) for every pixel of the walk `s` on the target, in order; along() gives where
  // the line is there, 0 at its start to 1 at its end.
  template <class F>
  void ForEachLinePixel(const LineSteps& s, F&& f) const;
  // WalkSettledLines' body, built for several instruction sets.
  void WalkSettledLinesInLanes(const Float8& x0, const Float8& y0, const Float8& x1, const Float8& y1,
                               const uint32_t colour[8], const Int8& lastPixel, int n);
  // A triangle's setup, its scan and the work at each of its pixels (rasterizer.cpp).
  struct Triangle;

  int width_ = 0, height_ = 0;
  // Line ends are pulled into [-2, width + 1] × [-2, height + 1]: x, y, x, y.
  Float4 endLow_ = {-2.0f, -2.0f, -2.0f, -2.0f}, endHigh_ = {1.0f, 1.0f, 1.0f, 1.0f};
  // The width and height in every lane, for the walk of settled lines to load whole. (Made there from
  // the two ints, the vector went through memory in pieces, and its load waited for them.)
  Int8 widthLanes_{}, heightLanes_{};
  std::vector<uint32_t> colour_;  // eight bits a channel whatever the format (see stored_)
  std::vector<uint16_t> depth_;
  std::vector<uint8_t> tileUniform_;
  size_t tilesPerRow_ = 0;
  uint16_t uniformDepth_ = 0xFFFF;
  bool allUniform_ = true;  // no tile materialised since the last full depth clear
  bool laneScan_ = true;
  // Last, so that its tables keep clear of the cache lines the routes' members share.
  StoredColour stored_;
};

}  // namespace render
