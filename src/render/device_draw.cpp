// The draw path of the software device: vertex fetch, world × view × projection (cached until a
// transform changes), lighting and fog, homogeneous clipping before the divide, the viewport transform
// and primitive assembly into the rasterizer. Nothing here allocates.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/clip_far_segments.h"
#include "render/clip_volume.h"
#include "render/vector_lanes.h"
#include "render/software_device.h"
#include "render/texture.h"
#include "render/vertex_buffer.h"

namespace render {
namespace {

float AsFloat(DWORD bits) { return LoadBytes<float>(&bits); }

inline float ReadFloat(const uint8_t* p) { return LoadBytes<float>(p); }

// No material is ever set: lighting uses the default one, all zero.
constexpr D3DMATERIAL8 kMaterial{};

// A scene or screen vertex's colour as 0..255 channels, its texture coordinates (or 0, 0), no fog.
template <class Vertex>
inline void ReadAttributes(const uint8_t* p, const VertexLayout& layout, Vertex& out) {
  const uint32_t c = layout.DiffuseAt(p);
  out.r = static_cast<float>((c >> 16) & 0xFF);
  out.g = static_cast<float>((c >> 8) & 0xFF);
  out.b = static_cast<float>(c & 0xFF);
  out.a = static_cast<float>(c >> 24);
  out.u = layout.texCoord >= 0 ? ReadFloat(p + layout.texCoord) : 0.0f;
  out.v = layout.texCoord >= 0 ? ReadFloat(p + layout.texCoord + 4) : 0.0f;
  out.fog = 1.0f;
}

void Multiply(const float a[4][4], const float b[4][4], float out[4][4]) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j] + a[i][3] * b[3][j];
}

inline ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, float t) {
  auto mix = [t](float p, float q) { return p + (q - p) * t; };
  return {mix(a.x, b.x), mix(a.y, b.y), mix(a.z, b.z), mix(a.w, b.w), mix(a.r, b.r), mix(a.g, b.g),
          mix(a.b, b.b), mix(a.a, b.a), mix(a.u, b.u), mix(a.v, b.v), mix(a.fog, b.fog)};
}

}  // namespace

VertexLayout LayoutOf(DWORD fvf) {
  VertexLayout l;
  const DWORD position = fvf & D3DFVF_POSITION_MASK;
  constexpr DWORD kParts = D3DFVF_POSITION_MASK | D3DFVF_DIFFUSE | D3DFVF_TEXCOUNT_MASK;
  if ((position != D3DFVF_XYZ && position != D3DFVF_XYZRHW) || (fvf & ~kParts) != 0 ||
      (fvf & D3DFVF_TEXCOUNT_MASK) > D3DFVF_TEX1)
    return l;
  l.transformed = position == D3DFVF_XYZRHW;
  l.size = l.transformed ? 16 : 12;
  if (fvf & D3DFVF_DIFFUSE) l.diffuse = static_cast<int>(l.size), l.size += 4;
  if (fvf & D3DFVF_TEX1) l.texCoord = static_cast<int>(l.size), l.size += 8;
  l.valid = true;
  return l;
}

void SoftwareDevice::RenewTransforms() {
  if (viewProjectionDirty_) {
    Multiply(view_.m, projection_.m, viewProjection_);
    viewProjectionDirty_ = false;
    wvpDirty_ = true;
  }
  if (wvpDirty_) {
    Multiply(world_.m, viewProjection_, worldViewProjection_);
    wvpDirty_ = false;
    wvpLanesCurrent_ = false;
  }
}

void SoftwareDevice::DerivePixelState() {
  pixelStateDirty_ = false;
  const DWORD* rs = renderStates_;
  const DWORD* ts = stageStates_[0];
  PixelState& p = pixel_;
  p.texture = textures_[0] ? static_cast<const Texture*>(static_cast<IDirect3DTexture8*>(textures_[0])) : nullptr;
  p.colorOp = ts[D3DTSS_COLOROP];
  p.colorArg1 = ts[D3DTSS_COLORARG1];
  p.colorArg2 = ts[D3DTSS_COLORARG2];
  p.alphaOp = ts[D3DTSS_ALPHAOP];
  p.alphaArg1 = ts[D3DTSS_ALPHAARG1];
  p.alphaArg2 = ts[D3DTSS_ALPHAARG2];
  p.mipFilter = ts[D3DTSS_MIPFILTER];
  p.addressU = ts[D3DTSS_ADDRESSU];
  p.addressV = ts[D3DTSS_ADDRESSV];
  p.blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
  p.srcBlend = rs[D3DRS_SRCBLEND];
  p.destBlend = rs[D3DRS_DESTBLEND];
  p.depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE;
  p.depthWrite = rs[D3DRS_ZWRITEENABLE] != 0;
  p.depthFunc = rs[D3DRS_ZFUNC];
  p.flatShade = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  p.cullMode = rs[D3DRS_CULLMODE];
  p.lastPixel = rs[D3DRS_LASTPIXEL] != 0;
  p.pointSide = PointSideOf(AsFloat(rs[D3DRS_POINTSIZE]));
  p.dither = rs[D3DRS_DITHERENABLE] != 0 && !raster_.HoldsEveryColour();
  lighting_ = rs[D3DRS_LIGHTING] != 0;
  // Linear fog, the one the program sets; the table's mode, or the vertices' without one.
  const DWORD fogMode = rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? rs[D3DRS_FOGTABLEMODE] : rs[D3DRS_FOGVERTEXMODE];
  p.fog = rs[D3DRS_FOGENABLE] && fogMode == D3DFOG_LINEAR;
  p.fogColor = rs[D3DRS_FOGCOLOR];
  fogStart_ = AsFloat(rs[D3DRS_FOGSTART]);
  fogEnd_ = AsFloat(rs[D3DRS_FOGEND]);
  Rasterizer::DeriveFlags(p);
}

void SoftwareDevice::Light(const uint8_t* p, ClipVertex& out) const {
  // Vertices have no normals here, so only the emissive and ambient terms light them (black with the
  // default material, as on Direct3D); alpha is the diffuse one.
  const DWORD* rs = renderStates_;
  const bool colourVertex = rs[D3DRS_COLORVERTEX] && layout_.diffuse >= 0;
  const uint32_t vc = layout_.DiffuseAt(p);
  const D3DCOLORVALUE vertexColour{((vc >> 16) & 0xFF) / 255.0f, ((vc >> 8) & 0xFF) / 255.0f, (vc & 0xFF) / 255.0f,
                                   (vc >> 24) / 255.0f};
  auto source = [&](DWORD state, const D3DCOLORVALUE& fromMaterial) {
    return colourVertex && rs[state] == D3DMCS_COLOR1 ? vertexColour : fromMaterial;
  };
  const D3DCOLORVALUE diffuse = source(D3DRS_DIFFUSEMATERIALSOURCE, kMaterial.Diffuse);
  const D3DCOLORVALUE ambient = source(D3DRS_AMBIENTMATERIALSOURCE, kMaterial.Ambient);
  const D3DCOLORVALUE emissive = source(D3DRS_EMISSIVEMATERIALSOURCE, kMaterial.Emissive);
  float r = emissive.r, g = emissive.g, b = emissive.b;
  auto add = [&](const D3DCOLORVALUE& light, const D3DCOLORVALUE& material) {
    r += light.r * material.r, g += light.g * material.g, b += light.b * material.b;
  };
  const uint32_t ga = rs[D3DRS_AMBIENT];
  add({((ga >> 16) & 0xFF) / 255.0f, ((ga >> 8) & 0xFF) / 255.0f, (ga & 0xFF) / 255.0f, 0.0f}, ambient);
  for (DWORD i = 0; i < kMaxLights; ++i)
    if (lightEnabled_[i]) add(lights_[i].Ambient, ambient);
  auto clamp01 = [](float v) { return v > 1.0f ? 1.0f : (v > 0.0f ? v : 0.0f); };
  out.r = clamp01(r) * 255.0f;
  out.g = clamp01(g) * 255.0f;
  out.b = clamp01(b) * 255.0f;
  out.a = clamp01(diffuse.a) * 255.0f;
}

void SoftwareDevice::FetchVertex(const uint8_t* p, ClipVertex& out) const {
  const float x = ReadFloat(p), y = ReadFloat(p + 4), z = ReadFloat(p + 8);
  const float(*m)[4] = worldViewProjection_;
  out.x = x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0];
  out.y = x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1];
  out.z = x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2];
  out.w = x * m[0][3] + y * m[1][3] + z * m[2][3] + m[3][3];
  ReadAttributes(p, layout_, out);
  if (lighting_) Light(p, out);
  if (pixel_.fog) {
    const float d = out.w;  // distance along the view axis for a perspective projection
    const float f = fogEnd_ != fogStart_ ? (fogEnd_ - d) / (fogEnd_ - fogStart_) : (d < fogEnd_ ? 1.0f : 0.0f);
    out.fog = f > 1.0f ? 1.0f : (f > 0.0f ? f : 0.0f);
  }
}

RasterVertex SoftwareDevice::ToScreen(const ClipVertex& c) const {
  // z == w gives exactly 1.0, the cleared depth, so LESSEQUAL keeps passing for the far plane.
  const Float4 screen = ScreenOf(Float4{c.x, c.y, c.z, c.w});
  return {screen[0], screen[1], screen[2], 1.0f / c.w, c.r, c.g, c.b, c.a, c.u, c.v, c.fog};
}

void SoftwareDevice::DrawClippedPoint(const ClipVertex& v) {
  // Points are clipped for depth only; the rasterizer drops those off the target.
  if (!(v.w >= kMinW && v.z >= 0.0f && v.z <= v.w)) return;
  raster_.DrawPoint(ToScreen(v), pixel_);
}

void SoftwareDevice::DrawClippedLine(const ClipVertex& a, const ClipVertex& b) {
  float t0 = 0.0f, t1 = 1.0f;
  if (!(Inside(a) && Inside(b)) && !ClipSegment(a, b, t0, t1)) return;
  ClipVertex start = t0 > 0.0f ? Lerp(a, b, t0) : a;
  if (pixel_.flatShade) start.r = a.r, start.g = a.g, start.b = a.b, start.a = a.a;  // the first vertex's, cut or not
  raster_.DrawLine(ToScreen(start), ToScreen(t1 < 1.0f ? Lerp(a, b, t1) : b), pixel_);
}

void SoftwareDevice::DrawClippedTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c) {
  if (Inside(a) && Inside(b) && Inside(c)) {
    raster_.DrawTriangle(ToScreen(a), ToScreen(b), ToScreen(c), pixel_);
    return;
  }
  // Sutherland–Hodgman against each plane; a triangle cut by 7 planes has at most 10 corners.
  ClipVertex bufA[3 + kPlanes] = {a, b, c}, bufB[3 + kPlanes];
  ClipVertex *in = bufA, *out = bufB;
  int n = 3;
  for (int p = 0; p < kPlanes && n > 0; ++p) {
    int m = 0;
    for (int i = 0; i < n; ++i) {
      const ClipVertex& cur = in[i];
      const ClipVertex& next = in[(i + 1) % n];
      const float dc = PlaneDistance(cur, p), dn = PlaneDistance(next, p);
      const bool cIn = dc >= 0.0f, nIn = dn >= 0.0f;
      if (cIn) out[m++] = cur;
      if (cIn != nIn && m < 3 + kPlanes) {
        const float t = dc / (dc - dn);
        if (t >= 0.0f && t <= 1.0f) out[m++] = Lerp(cur, next, t);
      }
    }
    std::swap(in, out);
    n = std::min(m, 3 + kPlanes);
  }
  if (n < 3) return;
  const RasterVertex first = ToScreen(in[0]);
  RasterVertex prev = ToScreen(in[1]);
  for (int i = 2; i < n; ++i) {
    const RasterVertex cur = ToScreen(in[i]);
    raster_.DrawTriangle(first, prev, cur, pixel_);
    prev = cur;
  }
}

void SoftwareDevice::Emit(std::initializer_list<const uint8_t*> corners) {
  const int n = static_cast<int>(corners.size());
  if (layout_.transformed) {
    RasterVertex s[3];
    for (int i = 0; i < n; ++i) {
      const uint8_t* p = corners.begin()[i];
      s[i] = {ReadFloat(p), ReadFloat(p + 4), ReadFloat(p + 8), ReadFloat(p + 12), 0, 0, 0, 0, 0, 0, 1};
      ReadAttributes(p, layout_, s[i]);
    }
    if (n == 1) raster_.DrawPoint(s[0], pixel_);
    else if (n == 2) raster_.DrawLine(s[0], s[1], pixel_);
    else raster_.DrawTriangle(s[0], s[1], s[2], pixel_);
    return;
  }
  ClipVertex c[3];
  for (int i = 0; i < n; ++i) FetchVertex(corners.begin()[i], c[i]);
  if (n == 1) DrawClippedPoint(c[0]);
  else if (n == 2) DrawClippedLine(c[0], c[1]);
  else DrawClippedTriangle(c[0], c[1], c[2]);
}

bool SoftwareDevice::CallFits(D3DPRIMITIVETYPE type, UINT count, UINT stride, uint64_t available,
                              uint64_t& vertices) const {
  switch (type) {
    case D3DPT_POINTLIST: vertices = count; break;
    case D3DPT_LINELIST: vertices = uint64_t{count} * 2; break;
    case D3DPT_LINESTRIP: vertices = uint64_t{count} + 1; break;
    case D3DPT_TRIANGLELIST: vertices = uint64_t{count} * 3; break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: vertices = uint64_t{count} + 2; break;
    default: return false;
  }
  if (count == 0) return true;
  // The last vertex's end must lie inside the buffer; a product or sum that does not fit in 64 bits
  // would wrap to a small number and let a huge count read far past the end.
  uint64_t lastStart = 0, end = 0;
  return !__builtin_mul_overflow(vertices - 1, uint64_t{stride}, &lastStart) &&
         !__builtin_add_overflow(lastStart, uint64_t{layout_.size}, &end) && end <= available;
}

void SoftwareDevice::EmitSegment(const uint8_t* a, const uint8_t* b) {
  // A far end is clipped in double first (clip_far_segments.h).
  if (!layout_.transformed && !(NearPosition(a) && NearPosition(b))) [[unlikely]] {
    farEyeKnown_ = farLineEye_.Of(*this, farEye_);
    DrawFarSegment(a, b, nullptr);
    return;
  }
  Emit({a, b});
}

HRESULT SoftwareDevice::Draw(D3DPRIMITIVETYPE type, UINT count, const uint8_t* data, UINT stride, uint64_t available) {
  uint64_t vertices = 0;
  if (!inScene_ || !layout_.valid || !data || stride < layout_.size) return D3DERR_INVALIDCALL;
  if (!CallFits(type, count, stride, available, vertices)) return D3DERR_INVALIDCALL;
  if (count == 0) return D3D_OK;
  PrepareDraw();
  auto at = [&](uint64_t i) { return data + i * stride; };
  switch (type) {
    case D3DPT_POINTLIST:
      for (uint64_t i = 0; i < vertices; ++i) Emit({at(i)});
      break;
    case D3DPT_LINELIST:
      for (uint64_t i = 0; i + 1 < vertices; i += 2) EmitSegment(at(i), at(i + 1));
      break;
    case D3DPT_LINESTRIP:
      // Each segment as the same segment of a list, its end pixel under LASTPIXEL included: a
      // polyline drawn as one strip gives the bytes of the polyline drawn a segment a call.
      for (uint64_t i = 0; i + 1 < vertices; ++i) EmitSegment(at(i), at(i + 1));
      break;
    case D3DPT_TRIANGLELIST:
      for (uint64_t i = 0; i + 2 < vertices; i += 3) Emit({at(i), at(i + 1), at(i + 2)});
      break;
    case D3DPT_TRIANGLESTRIP:
      for (uint64_t i = 0; i + 2 < vertices; ++i) {
        if (i % 2 == 0) Emit({at(i), at(i + 1), at(i + 2)});
        else Emit({at(i + 1), at(i), at(i + 2)});
      }
      break;
    case D3DPT_TRIANGLEFAN:
      for (uint64_t i = 1; i + 1 < vertices; ++i) Emit({at(0), at(i), at(i + 1)});
      break;
  }
  return D3D_OK;
}

HRESULT SoftwareDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) {
  // The caller's memory is trusted to hold the vertices the count implies, as on Direct3D.
  return Draw(type, primitiveCount, static_cast<const uint8_t*>(vertices), stride, UINT64_MAX);
}

HRESULT SoftwareDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  if (!stream_ || streamStride_ == 0) return D3DERR_INVALIDCALL;
  const uint64_t offset = uint64_t{startVertex} * streamStride_;
  if (offset >= stream_->Length()) return D3DERR_INVALIDCALL;
  const uint64_t available = stream_->Length() - offset;
  const uint8_t* v = stream_->Bytes() + offset;
  uint64_t vertices = 0;
  const bool rows = type == D3DPT_POINTLIST || type == D3DPT_LINESTRIP;
  if (rows && primitiveCount != 0 && inScene_ && layout_.valid && streamStride_ >= layout_.size &&
      CallFits(type, primitiveCount, streamStride_, available, vertices)) {
    const Route route = RowsRoute(type, *stream_);
    if (route != Route::General) {
      if (route == Route::SettledStrip) farEyeKnown_ = farLineEye_.Of(*this, farEye_);
      DrawSettled(
          route == Route::SettledPoints ? &SoftwareDevice::DrawSettledPoints : &SoftwareDevice::DrawSettledStrip, v,
          streamStride_, primitiveCount, ResultsOpaque(*stream_));
      return D3D_OK;
    }
  }
  return Draw(type, primitiveCount, v, streamStride_, available);
}

}  // namespace render
