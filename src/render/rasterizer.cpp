// Points, lines and triangles into the colour and depth buffers, by the Direct3D fill rules.
#include "render/rasterizer.h"

#include <algorithm>
#include <cmath>

#include "render/route.h"
#include "render/texture.h"
#include "render/texture_sampler.h"
#include "render/triangle_weights.h"

namespace render {
namespace {

inline int Mul255(int a, int b) { return (a * b + 127) / 255; }
inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
inline int ToByte(float f) {
  if (!(f > 0.0f)) return 0;  // also NaN
  return f >= 255.0f ? 255 : static_cast<int>(f + 0.5f);
}

inline Rgba Unpack(uint32_t c) {
  return {static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF),
          static_cast<int>(c >> 24)};
}

inline uint32_t Pack(const Rgba& c) {
  return (static_cast<uint32_t>(c.a) << 24) | (static_cast<uint32_t>(c.r) << 16) | (static_cast<uint32_t>(c.g) << 8) |
         static_cast<uint32_t>(c.b);
}
// Interpolated 0..255 channels, rounded, as A8R8G8B8.
inline uint32_t Pack(float r, float g, float b, float a) {
  return Pack(Rgba{ToByte(r), ToByte(g), ToByte(b), ToByte(a)});
}

// Source over destination, the factors SRCALPHA and INVSRCALPHA written out: s.a and 255 - s.a. (With
// s.a = 0 every channel, alpha included, comes out as its destination: 0 + d·255/255.)
inline Rgba OverDestination(const Rgba& s, const Rgba& d) {
  const int ia = 255 - s.a;
  return {Clamp255(Mul255(s.r, s.a) + Mul255(d.r, ia)), Clamp255(Mul255(s.g, s.a) + Mul255(d.g, ia)),
          Clamp255(Mul255(s.b, s.a) + Mul255(d.b, ia)), Clamp255(Mul255(s.a, s.a) + Mul255(d.a, ia))};
}

// Texture times diffuse for colour and alpha (the program's text): the MODULATE of the general
// combiner without its argument and operation dispatch. Times 255 is the identity.
inline Rgba Modulate(const Rgba& tex, const Rgba& diffuse, bool diffuseWhite) {
  if (diffuseWhite) return tex;
  return {Mul255(tex.r, diffuse.r), Mul255(tex.g, diffuse.g), Mul255(tex.b, diffuse.b), Mul255(tex.a, diffuse.a)};
}

// A stage argument: the texel, or else the diffuse colour (DIFFUSE, and CURRENT at stage 0).
inline Rgba Arg(DWORD arg, const Rgba& diffuse, const Rgba& tex) {
  return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE ? tex : diffuse;
}

inline int Op(DWORD op, int a1, int a2, int fallback) {
  switch (op) {
    case D3DTOP_DISABLE: return fallback;
    case D3DTOP_SELECTARG1: return a1;
    case D3DTOP_SELECTARG2: return a2;
    default: return Mul255(a1, a2);  // MODULATE, the one operation the program combines with
  }
}

inline bool Compare(DWORD func, unsigned value, unsigned reference) {
  switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return value < reference;
    case D3DCMP_EQUAL: return value == reference;
    case D3DCMP_LESSEQUAL: return value <= reference;
    case D3DCMP_GREATER: return value > reference;
    case D3DCMP_NOTEQUAL: return value != reference;
    case D3DCMP_GREATEREQUAL: return value >= reference;
    default: return true;
  }
}

// Blend factor for one channel: `s` source channel, `d` destination channel, alphas sa/da.
inline int Factor(DWORD f, int s, int d, int sa, int da) {
  switch (f) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_SRCCOLOR: return s;
    case D3DBLEND_INVSRCCOLOR: return 255 - s;
    case D3DBLEND_SRCALPHA: return sa;
    case D3DBLEND_INVSRCALPHA: return 255 - sa;
    case D3DBLEND_DESTALPHA: return da;
    case D3DBLEND_INVDESTALPHA: return 255 - da;
    case D3DBLEND_DESTCOLOR: return d;
    case D3DBLEND_INVDESTCOLOR: return 255 - d;
    case D3DBLEND_SRCALPHASAT: return std::min(sa, 255 - da);
    default: return 255;
  }
}

// Sub-pixel precision of triangle vertices: 1/256 pixel, so ties on edges are decided exactly.
constexpr float kSubpixel = 256.0f;
constexpr int64_t kSubpixelSteps = 256;
constexpr float kCoordLimit = 1 << 22;  // pixels; beyond this the fixed-point products could overflow

inline int64_t Snap(float v) {
  if (!(v > -kCoordLimit)) v = -kCoordLimit;  // also NaN
  if (v > kCoordLimit) v = kCoordLimit;
  return static_cast<int64_t>(std::lround(v * kSubpixel));
}

// Blending off or SRCALPHA / INVSRCALPHA: an opaque source is then written unchanged.
bool NoBlendOrOver(const PixelState& ps) {
  return !ps.blend || (ps.srcBlend == D3DBLEND_SRCALPHA && ps.destBlend == D3DBLEND_INVSRCALPHA);
}

// The pixel centres lo..hi between the least and greatest of three coordinates (1/256 pixels), in 0..limit - 1.
void CentreSpan(const int64_t c[3], int64_t limit, int64_t& lo, int64_t& hi) {
  const int64_t sub = kSubpixelSteps, low = std::min({c[0], c[1], c[2]}), high = std::max({c[0], c[1], c[2]});
  lo = std::max<int64_t>(low >= 0 ? (low + sub - 1) / sub : -((-low) / sub), 0);
  hi = std::min<int64_t>(high >= 0 ? high / sub : -((-high + sub - 1) / sub), limit - 1);
}

// Mip level from the texel footprint of one pixel step (constant over the triangle; honoured simply).
unsigned TriangleMipLevel(const RasterVertex* const v[3], int64_t area, const PixelState& ps) {
  if (!ps.texture || ps.mipFilter == D3DTEXF_NONE || ps.texture->LevelCount() <= 1) return 0;
  const float fa = static_cast<float>(area) / (kSubpixel * kSubpixel);
  const float x0 = v[0]->x, y0 = v[0]->y, x1 = v[1]->x, y1 = v[1]->y, x2 = v[2]->x, y2 = v[2]->y;
  auto grad = [&](float scale, float RasterVertex::*q, float& ddx, float& ddy) {
    const float q0 = v[0]->*q * scale, q1 = v[1]->*q * scale, q2 = v[2]->*q * scale;
    ddx = ((q1 - q0) * (y2 - y0) - (q2 - q0) * (y1 - y0)) / fa;
    ddy = ((q2 - q0) * (x1 - x0) - (q1 - q0) * (x2 - x0)) / fa;
  };
  float dudx, dudy, dvdx, dvdy;
  grad(static_cast<float>(ps.texture->LevelAt(0).width), &RasterVertex::u, dudx, dudy);
  grad(static_cast<float>(ps.texture->LevelAt(0).height), &RasterVertex::v, dvdx, dvdy);
  const float rho = std::max(std::sqrt(dudx * dudx + dvdx * dvdx), std::sqrt(dudy * dudy + dvdy * dvdy));
  const float lod = rho > 0.0f ? std::log2(rho) : 0.0f, level = std::floor(lod + 0.5f);
  const unsigned last = ps.texture->LevelCount() - 1;
  return !(lod > 0.5f) ? 0 : level >= static_cast<float>(last) ? last : static_cast<unsigned>(level);
}

// One colour for the whole triangle when shading is flat, or when the corners share one whole-number
// colour and one positive rhw (the program's screen quads): the weights then sum to 1 within a few
// ulps, so the channels round back to it. Texture coordinates and fog still interpolate.
bool ConstantColour(const RasterVertex* const v[3], const PixelState& ps) {
  const RasterVertex& f = *v[0];
  auto whole = [](float c) { return c >= 0.0f && c <= 255.0f && static_cast<float>(static_cast<int>(c)) == c; };
  auto same = [&f](const RasterVertex& q) {
    return f.r == q.r && f.g == q.g && f.b == q.b && f.a == q.a && f.rhw == q.rhw;
  };
  return ps.flatShade || (same(*v[1]) && same(*v[2]) && f.rhw > 1e-30f && f.rhw < 1e30f && whole(f.r) &&
                          whole(f.g) && whole(f.b) && whole(f.a));
}

}  // namespace

void Rasterizer::DeriveFlags(PixelState& ps) {
  // A stage operation (Op) of two arguments (Arg), each the texture or the diffuse colour: with no
  // texture bound (opaque white) the result is the diffuse colour itself, or opaque white, as follows.
  auto tex = [](DWORD a) { return (a & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
  auto givesDiffuse = [&](DWORD op, DWORD a1, DWORD a2) {
    if (op == D3DTOP_DISABLE) return true;
    return op == D3DTOP_SELECTARG1 ? !tex(a1) : op == D3DTOP_SELECTARG2 ? !tex(a2) : tex(a1) != tex(a2);
  };
  auto givesWhite = [&](DWORD op, DWORD a1, DWORD a2) {
    if (op == D3DTOP_DISABLE) return false;
    return op == D3DTOP_SELECTARG1 ? tex(a1) : op == D3DTOP_SELECTARG2 ? tex(a2) : tex(a1) && tex(a2);
  };
  const bool diffuseColour = !ps.texture && !ps.fog && givesDiffuse(ps.colorOp, ps.colorArg1, ps.colorArg2);
  ps.diffuseOnly =
      diffuseColour && (ps.colorOp == D3DTOP_DISABLE || givesDiffuse(ps.alphaOp, ps.alphaArg1, ps.alphaArg2));
  // The device's default alpha stage, SELECTARG1 of TEXTURE, gives diffuse colours alpha 255.
  const bool opaqueAlpha =
      diffuseColour && ps.colorOp != D3DTOP_DISABLE && givesWhite(ps.alphaOp, ps.alphaArg1, ps.alphaArg2);
  ps.plainAlpha = !ps.diffuseOnly && opaqueAlpha ? 0xFF000000u : 0u;
  auto modulates = [&](DWORD op, DWORD a1, DWORD a2) { return op == D3DTOP_MODULATE && tex(a1) != tex(a2); };
  ps.textureModulate = ps.texture && modulates(ps.colorOp, ps.colorArg1, ps.colorArg2) &&
                       modulates(ps.alphaOp, ps.alphaArg1, ps.alphaArg2);
  // The blender leaves an opaque source unchanged under SRCALPHA / INVSRCALPHA (the fragment path
  // treats it as a plain write too), and a disabled blender leaves every source unchanged.
  ps.sameDepthPasses = !ps.depthTest || Compare(ps.depthFunc, 0, 0);
  ps.plainWrite = (ps.diffuseOnly || opaqueAlpha) && NoBlendOrOver(ps);
}

void Rasterizer::Resize(int width, int height) {
  // Every buffer is made before any is replaced: without memory for them (std::bad_alloc) the target
  // keeps its old size and pixels whole.
  const size_t tilesPerRow = static_cast<size_t>((width + (1 << kTileShift) - 1) >> kTileShift);
  const size_t tileRows = static_cast<size_t>((height + (1 << kTileShift) - 1) >> kTileShift);
  std::vector<uint32_t> colour(static_cast<size_t>(width) * height, 0xFF000000u);
  std::vector<uint16_t> depth(static_cast<size_t>(width) * height, 0xFFFF);
  std::vector<uint8_t> tileUniform(tilesPerRow * tileRows, 1);
  colour_.swap(colour);
  depth_.swap(depth);
  tileUniform_.swap(tileUniform);
  tilesPerRow_ = tilesPerRow;
  width_ = width;
  height_ = height;
  const float w = static_cast<float>(width + 1), h = static_cast<float>(height + 1);
  endHigh_ = Float4{w, h, w, h};
  widthLanes_ = Int8{} + width;
  heightLanes_ = Int8{} + height;
  uniformDepth_ = 0xFFFF;
  allUniform_ = true;
}

inline bool Rasterizer::DepthPasses(const DepthRules& d, size_t index, size_t tile, uint16_t depth) const {
  if (!d.test) return true;
  const uint16_t stored = tileUniform_[tile] ? uniformDepth_ : depth_[index];
  return d.lessEqual ? depth <= stored : Compare(d.func, depth, stored);
}

void Rasterizer::MaterialiseTile(size_t tile) {
  const int tx = static_cast<int>(tile % tilesPerRow_) << kTileShift;
  const int ty = static_cast<int>(tile / tilesPerRow_) << kTileShift;
  const int x2 = std::min(tx + (1 << kTileShift), width_), y2 = std::min(ty + (1 << kTileShift), height_);
  for (int y = ty; y < y2; ++y) {
    const size_t row = static_cast<size_t>(y) * width_;
    std::fill(depth_.begin() + row + tx, depth_.begin() + row + x2, uniformDepth_);
  }
  tileUniform_[tile] = 0;
  allUniform_ = false;
}

void Rasterizer::HoldArea(int x1, int y1, int x2, int y2) {
  for (int y = y1; y <= y2; ++y)
    stored_.Hold(colour_.data() + static_cast<size_t>(y) * width_ + x1, static_cast<size_t>(x2 - x1 + 1));
}

uint16_t Rasterizer::DepthAt(int x, int y) const {
  return tileUniform_[TileOf(x, y)] ? uniformDepth_ : depth_[static_cast<size_t>(y) * width_ + x];
}

void Rasterizer::Clear(int x1, int y1, int x2, int y2, bool target, uint32_t colour, bool depth, float z) {
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width_);
  y2 = std::min(y2, height_);
  if (x1 >= x2 || y1 >= y2) return;
  const uint16_t bits = DepthToBits(z);
  if (depth && x1 == 0 && y1 == 0 && x2 == width_ && y2 == height_) {
    std::fill(tileUniform_.begin(), tileUniform_.end(), 1);
    uniformDepth_ = bits;
    allUniform_ = true;
    depth = false;
  } else if (depth) {
    // Partial depth clears are rare: keep them simple.
    for (size_t t = 0; t < tileUniform_.size(); ++t)
      if (tileUniform_[t]) MaterialiseTile(t);
  }
  for (int y = y1; y < y2; ++y) {
    size_t row = static_cast<size_t>(y) * width_;
    if (target) std::fill(colour_.begin() + row + x1, colour_.begin() + row + x2, colour);
    if (depth) std::fill(depth_.begin() + row + x1, depth_.begin() + row + x2, bits);
  }
}

void Rasterizer::Fragment(int x, int y, float z, uint32_t diffusePacked, float u, float v, float fog, unsigned level,
                          const PixelState& ps) {
  const size_t index = static_cast<size_t>(y) * width_ + x, tile = TileOf(x, y);
  const uint16_t depth = DepthToBits(z);
  if (!DepthPasses(RulesOf(ps), index, tile, depth)) return;
  const Rgba diffuse = Unpack(diffusePacked);
  Rgba s = diffuse;
  auto texel = [&] {
    return Unpack(PointSampler(*ps.texture, level, ps.addressU, ps.addressV).At(u, v));
  };
  if (ps.textureModulate) {
    s = Modulate(texel(), diffuse, diffusePacked == 0xFFFFFFFFu);
  } else if (!ps.diffuseOnly) {
    const Rgba tex = ps.texture ? texel() : Rgba{255, 255, 255, 255};  // no texture bound reads as opaque white
    const Rgba c1 = Arg(ps.colorArg1, diffuse, tex), c2 = Arg(ps.colorArg2, diffuse, tex);
    const Rgba a1 = Arg(ps.alphaArg1, diffuse, tex), a2 = Arg(ps.alphaArg2, diffuse, tex);
    const DWORD alphaOp = ps.colorOp == D3DTOP_DISABLE ? D3DTOP_DISABLE : ps.alphaOp;
    s = {Op(ps.colorOp, c1.r, c2.r, diffuse.r), Op(ps.colorOp, c1.g, c2.g, diffuse.g),
         Op(ps.colorOp, c1.b, c2.b, diffuse.b), Op(alphaOp, a1.a, a2.a, diffuse.a)};
  }
  BlendAndWrite(x, y, index, tile, depth, s, fog, ps);
}

inline void Rasterizer::BlendAndWrite(int x, int y, size_t index, size_t tile, uint16_t depth, Rgba s, float fog,
                                      const PixelState& ps) {
  if (ps.fog) {
    const Rgba fc = Unpack(ps.fogColor);
    const int f = ToByte(fog * 255.0f);
    auto fogged = [f](int c, int fogC) { return Mul255(c, f) + Mul255(fogC, 255 - f); };
    s = {fogged(s.r, fc.r), fogged(s.g, fc.g), fogged(s.b, fc.b), s.a};
  }
  uint32_t& dst = colour_[index];
  // Opaque source under SRCALPHA/INVSRCALPHA blending is a plain write, the common case of the scene.
  const bool alphaOver = ps.srcBlend == D3DBLEND_SRCALPHA && ps.destBlend == D3DBLEND_INVSRCALPHA;
  if (ps.blend && !(alphaOver && s.a == 255)) {
    const Rgba d = Unpack(ReadBack(dst));
    auto mix = [&](int c, int dc) {
      return Clamp255(Mul255(c, Factor(ps.srcBlend, c, dc, s.a, d.a)) +
                      Mul255(dc, Factor(ps.destBlend, c, dc, s.a, d.a)));
    };
    s = alphaOver ? (s.a == 0 ? d : OverDestination(s, d))
                  : Rgba{mix(s.r, d.r), mix(s.g, d.g), mix(s.b, d.b), mix(s.a, d.a)};
  }
  dst = ps.dither ? stored_.Dithered(Pack(s), x, y) : Pack(s);
  if (ps.depthTest && ps.depthWrite) WriteDepth(index, tile, depth);
}

inline void Rasterizer::WriteDepth(size_t index, size_t tile, uint16_t depth) {
  if (tileUniform_[tile]) {
    if (depth == uniformDepth_) return;
    MaterialiseTile(tile);
  }
  depth_[index] = depth;
}

void Rasterizer::DrawPoint(const RasterVertex& v, const PixelState& ps) {
  // The square's part on the target; a far centre (-2^30) leaves it empty without overflow.
  const int side = ps.pointSide;
  const int left = PointSquareStart(CentreIndex(v.x), side), top = PointSquareStart(CentreIndex(v.y), side);
  const int x0 = std::max(left, 0), x1 = std::min(left + side, width_);
  const int y0 = std::max(top, 0), y1 = std::min(top + side, height_);
  const uint32_t diffuse = Pack(v.r, v.g, v.b, v.a);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) Fragment(x, y, v.z, diffuse, v.u, v.v, v.fog, 0, ps);
}

bool Rasterizer::PlanLine(float x0, float y0, float x1, float y1, bool lastPixel, LineSteps& s) const {
  const float dx = x1 - x0, dy = y1 - y0;
  if (!(std::fabs(dx) < 1e7f && std::fabs(dy) < 1e7f)) return false;  // NaN or absurd coordinates
  // The ends' indices come from coordinates pulled in to just outside the target, so the walk stays
  // near the target however far away an end lies, and lights the same pixels on it.
  Float4 ends = {x0, y0, x1, y1};
  ends = ends < endLow_ ? endLow_ : ends;
  ends = ends > endHigh_ ? endHigh_ : ends;
  Int4 index;
  LaneCentreIndexNear(ends, index);
  s.xMajor = std::fabs(dx) >= std::fabs(dy);
  s.major0 = s.xMajor ? x0 : y0;
  s.minor0 = s.xMajor ? y0 : x0;
  s.dMajor = s.xMajor ? dx : dy;
  const float dMinor = s.xMajor ? dy : dx;
  s.start = s.xMajor ? index[0] : index[1];
  const int end = s.xMajor ? index[2] : index[3];
  s.step = end >= s.start ? 1 : -1;
  s.count = (end - s.start) * s.step + (lastPixel ? 1 : 0);
  s.slope = s.dMajor != 0.0f ? dMinor / s.dMajor : 0.0f;
  return true;
}

template <class F>
void Rasterizer::ForEachLinePixel(const LineSteps& s, F&& f) const {
  for (int i = 0; i < s.count; ++i) {
    const int m = s.start + i * s.step;
    const int n = CentreIndex(s.minor0 + (static_cast<float>(m) - s.major0) * s.slope);
    const int x = s.xMajor ? m : n, y = s.xMajor ? n : m;
    if (x < 0 || y < 0 || x >= width_ || y >= height_) continue;
    // Where the line is at the pixel, from 0 at its start to 1 at its end.
    f(x, y, [&s, m] {
      const float t = s.dMajor != 0.0f ? (static_cast<float>(m) - s.major0) / s.dMajor : 0.0f;
      return t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    });
  }
}

void Rasterizer::PutLine(float x0, float y0, float x1, float y1, uint32_t colour, bool lastPixel) {
  LineSteps steps;
  if (PlanLine(x0, y0, x1, y1, lastPixel, steps))
    ForEachLinePixel(steps, [&](int x, int y, auto) { colour_[static_cast<size_t>(y) * width_ + x] = colour; });
}

void Rasterizer::TakeWrittenPixels(Rasterizer& part, int firstRow, int lastRow) {
  const size_t from = static_cast<size_t>(firstRow) * width_, to = static_cast<size_t>(lastRow) * width_;
  uint32_t* const colour = colour_.data();
  uint32_t* const written = part.colour_.data();
  for (size_t i = from; i < to; ++i) {
    colour[i] = written[i] != 0 ? written[i] : colour[i];
    written[i] = 0;
  }
}

void Rasterizer::DrawLine(const RasterVertex& v0, const RasterVertex& v1, const PixelState& ps) {
  // Diamond exit: an x-major line lights one pixel per column, from the column whose diamond holds the
  // start up to (not including) the one that holds the end; LASTPIXEL adds the end pixel. Rows are
  // ceil(y - 0.5) of the line at each column centre, so halfway cases go up (left for y-major lines).
  LineSteps steps;
  if (!PlanLine(v0.x, v0.y, v1.x, v1.y, ps.lastPixel, steps)) return;
  const float color0[4] = {v0.r, v0.g, v0.b, v0.a};
  const float color1[4] = {v1.r, v1.g, v1.b, v1.a};
  ForEachLinePixel(steps, [&](int x, int y, auto along) {
    // Attributes interpolate with perspective correction through rhw.
    const float t = along();
    const float w0 = (1.0f - t) * v0.rhw, w1 = t * v1.rhw, sum = w0 + w1;
    const float k0 = sum > 0.0f ? w0 / sum : 1.0f - t, k1 = sum > 0.0f ? w1 / sum : t;
    const float z = v0.z + (v1.z - v0.z) * t;
    float c[4];
    for (int j = 0; j < 4; ++j) c[j] = ps.flatShade ? color0[j] : color0[j] * k0 + color1[j] * k1;
    Fragment(x, y, z, Pack(c[0], c[1], c[2], c[3]), v0.u * k0 + v1.u * k1, v0.v * k0 + v1.v * k1,
             v0.fog * k0 + v1.fog * k1, 0, ps);
  });
}

// A triangle set up for its scan: everything that holds for all of its pixels.
struct Rasterizer::Triangle : TriangleLanes {
  const RasterVertex* v[3];  // clockwise on screen
  int64_t X[3], Y[3];        // in 1/256 pixels
  // Edge i runs from corner i+1 to i+2 (opposite corner i); a pixel is inside where every E + bias >= 0
  // (bias 0 on top and left edges, -1 elsewhere). TriangleLanes holds bias, 1 / twice the area, the
  // corners' depths and rhw for both scans.
  int64_t ex[3], ey[3];
  int64_t minX, minY, maxX, maxY;  // the pixel centres of its box inside the target
  unsigned level;                  // the mip level sampled
  bool constantColour;
  Route scan;  // TriangleLanes or General, the scalar scan
  uint32_t packed;  // the corners' colour, when constant

  // False when the triangle draws nothing.
  bool SetUp(const Rasterizer& r, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
             const PixelState& ps) {
    v[0] = &a, v[1] = &b, v[2] = &c;
    for (int i = 0; i < 3; ++i) X[i] = Snap(v[i]->x), Y[i] = Snap(v[i]->y);
    // Twice the signed area in y-down pixels: positive = clockwise as seen on screen (front-facing).
    const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0 || (ps.cullMode == D3DCULL_CCW && area < 0) || (ps.cullMode == D3DCULL_CW && area > 0)) return false;
    if (area < 0) std::swap(v[1], v[2]), std::swap(X[1], X[2]), std::swap(Y[1], Y[2]);
    for (int i = 0; i < 3; ++i) {
      const int j = (i + 1) % 3, k = (i + 2) % 3;
      ex[i] = X[k] - X[j];
      ey[i] = Y[k] - Y[j];
      bias[i] = ey[i] < 0 || (ey[i] == 0 && ex[i] > 0) ? 0 : -1;
      z[i] = v[i]->z;
      rhw[i] = v[i]->rhw;
    }
    CentreSpan(X, r.width_, minX, maxX);
    CentreSpan(Y, r.height_, minY, maxY);
    if (minX > maxX || minY > maxY) return false;
    level = TriangleMipLevel(v, std::abs(area), ps);
    constantColour = ConstantColour(v, ps);
    packed = Pack(v[0]->r, v[0]->g, v[0]->b, v[0]->a);
    inv = 1.0f / static_cast<float>(std::abs(area));
    scan = ScanRoute(r);
    if (scan == Route::TriangleLanes)
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 8; ++j) laneStep[i][j] = static_cast<int32_t>(j * ey[i] * kSubpixelSteps);
    return true;
  }

  // Small triangles (the text's) are scanned eight pixels at a time when their edge values fit 32
  // bits over the box widened by eight pixels to the right: being linear, they peak at its corners.
  Route ScanRoute(const Rasterizer& r) const {
    if (!r.laneScan_ || maxX - minX >= 64) return Route::General;
    const int64_t sub = kSubpixelSteps;
    for (int i = 0; i < 3; ++i)
      for (int64_t cy : {minY, maxY})
        for (int64_t cx : {minX, maxX + 8}) {
          const int64_t corner = EdgeAt(i, cx * sub, cy * sub);
          if (!(corner > -(int64_t{1} << 30) && corner < (int64_t{1} << 30))) return Route::General;
        }
    return Route::TriangleLanes;
  }

  // Calls `fragment(x, y, z, k)` for every covered pixel, k the perspective-correct weights of the corners.
  template <class Policy>
  void Scan(Policy fragment) const {
    const int64_t sub = kSubpixelSteps;
    if (scan == Route::TriangleLanes) {
      RowWeights w;
      for (int64_t py = minY; py <= maxY; ++py)
        for (int64_t px = minX; px <= maxX; px += 8) {
          int32_t e[3];
          for (int i = 0; i < 3; ++i) e[i] = static_cast<int32_t>(EdgeAt(i, px * sub, py * sub));
          for (int inside = TriangleRowWeights(*this, e, static_cast<int>(std::min<int64_t>(8, maxX - px + 1)), w);
               inside != 0; inside &= inside - 1) {
            const int j = __builtin_ctz(static_cast<unsigned>(inside));
            const float k[3] = {w.k0[j], w.k1[j], w.k2[j]};
            fragment(static_cast<int>(px) + j, static_cast<int>(py), w.z[j], k);
          }
        }
      return;
    }
    // The lanes' arithmetic (triangle_weights.cpp) one pixel at a time, term for term.
    for (int64_t py = minY; py <= maxY; ++py) {
      int64_t e[3];
      for (int i = 0; i < 3; ++i) e[i] = EdgeAt(i, minX * sub, py * sub);
      for (int64_t px = minX; px <= maxX; ++px) {
        if (e[0] + bias[0] >= 0 && e[1] + bias[1] >= 0 && e[2] + bias[2] >= 0) {
          const float l0 = static_cast<float>(e[0]) * inv, l1 = static_cast<float>(e[1]) * inv, l2 = 1.0f - l0 - l1;
          const float p0 = l0 * rhw[0], p1 = l1 * rhw[1], p2 = l2 * rhw[2], sum = p0 + p1 + p2;
          const float k[3] = {sum != 0.0f ? p0 / sum : l0, sum != 0.0f ? p1 / sum : l1, sum != 0.0f ? p2 / sum : l2};
          fragment(static_cast<int>(px), static_cast<int>(py), l0 * z[0] + l1 * z[1] + l2 * z[2], k);
        }
        for (int i = 0; i < 3; ++i) e[i] -= ey[i] * sub;
      }
    }
  }
  int64_t EdgeAt(int i, int64_t px, int64_t py) const {
    return ex[i] * (py - Y[(i + 1) % 3]) - ey[i] * (px - X[(i + 1) % 3]);
  }
  // Attributes at the corners' weights k.
  float At(const float k[3], float RasterVertex::*attribute) const {
    return k[0] * (v[0]->*attribute) + k[1] * (v[1]->*attribute) + k[2] * (v[2]->*attribute);
  }
  float U(const float k[3]) const { return At(k, &RasterVertex::u); }
  float V(const float k[3]) const { return At(k, &RasterVertex::v); }
  float FogAt(const float k[3], const PixelState& ps) const { return ps.fog ? At(k, &RasterVertex::fog) : 1.0f; }

  // What a triangle does at each pixel it covers (Scan's fragment), picked once for the triangle.
  struct PixelWork { Rasterizer& r; const Triangle& t; const PixelState& ps; };
  // The general fragment, of the corners' colours interpolated, or packed once when they are one colour.
  template <bool OneColour>
  struct GeneralFragment : PixelWork {
    SV_LAMBDA_INLINE void operator()(int x, int y, float z, const float k[3]) const {
      const uint32_t colour = OneColour ? t.packed : Pack(t.At(k, &RasterVertex::r), t.At(k, &RasterVertex::g),
                                                          t.At(k, &RasterVertex::b), t.At(k, &RasterVertex::a));
      r.Fragment(x, y, z, colour, t.U(k), t.V(k), t.FogAt(k, ps), t.level, ps);
    }
  };
  // The program's text: a texel times the corners' one colour, no fog, blending off or SRCALPHA /
  // INVSRCALPHA. Fragment's stages for these states, the states and the level read once.
  struct TextFragment : PixelWork {
    PointSampler sampler;
    Rgba diffuse;
    bool white, over, dither;
    DepthRules rules;
    SV_LAMBDA_INLINE void operator()(int x, int y, float z, const float k[3]) const {
      const size_t index = static_cast<size_t>(y) * r.width_ + x, tile = r.TileOf(x, y);
      const uint16_t depth = DepthToBits(z);
      if (!r.DepthPasses(rules, index, tile, depth)) return;
      const Rgba s = Modulate(Unpack(sampler.At(t.U(k), t.V(k))), diffuse, white);
      uint32_t& dst = r.colour_[index];
      // A transparent texel leaves the pixel as it is, dithered too (it holds a held colour).
      auto written = [&](uint32_t c) { return dither ? r.stored_.Dithered(c, x, y) : c; };
      if (!over || s.a == 255) dst = written(Pack(s));
      else if (s.a != 0) dst = written(Pack(OverDestination(s, Unpack(dst))));
      if (rules.write) r.WriteDepth(index, tile, depth);
    }
  };
};

void Rasterizer::DrawTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                              const PixelState& ps) {
  Triangle t;
  if (!t.SetUp(*this, a, b, c, ps)) return;
  const Triangle::PixelWork work{*this, t, ps};
  if (!t.constantColour) return t.Scan(Triangle::GeneralFragment<false>{work});
  if (!ps.textureModulate || ps.fog || !NoBlendOrOver(ps)) return t.Scan(Triangle::GeneralFragment<true>{work});
  // A triangle writes each pixel once, so the colours it blends over are those stored before it.
  if (ps.blend && !stored_.Exact())
    HoldArea(static_cast<int>(t.minX), static_cast<int>(t.minY), static_cast<int>(t.maxX), static_cast<int>(t.maxY));
  t.Scan(Triangle::TextFragment{work, PointSampler(*ps.texture, t.level, ps.addressU, ps.addressV), Unpack(t.packed),
                                t.packed == 0xFFFFFFFFu, ps.blend, ps.dither, RulesOf(ps)});
}

}  // namespace render
