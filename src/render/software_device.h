// The software Direct3D 8 device: fixed-function state, resources, scene drawing into a Rasterizer and
// presenting to the platform window. State and presenting live in software_device.cpp, the draw
// path (vertex fetch, transform, lighting, fog, clipping) in device_draw.cpp, the settled routes of a
// vertex buffer's rows in settled_rows.cpp and their two parts in settled_parts.cpp.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/worker.h"
#include "render/vector_lanes.h"
#include "render/rasterizer.h"
#include "render/route.h"
#include "render/clip_far_segments.h"
#include "render/settled_lanes.h"
#include "render/ref_counted.h"

namespace render {

class VertexBuffer;

// Where the parts of one vertex lie, from its FVF code: a position (XYZ, or XYZRHW already on screen),
// then optionally a diffuse colour and one pair of texture coordinates, the formats the program draws
// with. Any other code is not valid.
struct VertexLayout {
  bool transformed = false;  // XYZRHW: already in screen space
  bool valid = false;
  UINT size = 0;             // bytes the FVF describes
  int diffuse = -1, texCoord = -1;  // byte offsets, -1 when absent
  // The diffuse colour of the vertex at `p`: opaque white without one.
  uint32_t DiffuseAt(const uint8_t* p) const { return diffuse >= 0 ? LoadBytes<uint32_t>(p + diffuse) : 0xFFFFFFFFu; }
};
VertexLayout LayoutOf(DWORD fvf);

// A vertex in clip space, before the divide.
struct ClipVertex {
  float x, y, z, w;
  float r, g, b, a;  // 0..255
  float u, v;
  float fog;
};

class SoftwareDevice final : public RefCounted<IDirect3DDevice8> {
 public:
  static constexpr int kMaxSide = 16384;
  static constexpr DWORD kMaxLights = 16;

  // Validated creation; `window` may be null (a headless device: Present copies nothing).
  static HRESULT Create(HWND window, const D3DPRESENT_PARAMETERS& pp, SoftwareDevice** out);

  HRESULT Reset(D3DPRESENT_PARAMETERS* pp) override;
  HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                  const RGNDATA* dirtyRegion) override;
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        IDirect3DTexture8** texture) override;
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer8** vertexBuffer) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
  HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
  HRESULT GetLight(DWORD index, D3DLIGHT8* light) override;
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override;
  HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
  HRESULT SetVertexShader(DWORD handle) override;
  HRESULT GetVertexShader(DWORD* handle) override;
  HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData, UINT stride) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override;
  const uint32_t* BackBufferPixels(int* width, int* height) override;

 private:
  SoftwareDevice() = default;
  ~SoftwareDevice() override;

  HRESULT ApplyPresentParameters(const D3DPRESENT_PARAMETERS& pp);
  void SetDefaultState();
  void ReleaseBindings();

  // device_draw.cpp
  HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* vertices, UINT stride, uint64_t available);
  // Whether `count` primitives of `type` from `available` bytes at `stride` lie inside them; `vertices`
  // receives how many vertices they take. False for a type the device does not draw.
  bool CallFits(D3DPRIMITIVETYPE type, UINT count, UINT stride, uint64_t available, uint64_t& vertices) const;
  // A segment through the general route; one with a far end as chords near the eye.
  void EmitSegment(const uint8_t* a, const uint8_t* b);
  void PrepareDraw() {
    if (viewProjectionDirty_ || wvpDirty_) RenewTransforms();
    if (pixelStateDirty_) DerivePixelState();
  }
  void RenewTransforms();   // view × projection and world × view × projection
  void DerivePixelState();  // pixel_, lighting and fog from the render and stage states
  // The route of a POINTLIST or LINESTRIP of `buffer`'s vertices: SettledPoints or SettledStrip when
  // every pixel it can write takes its vertex's colour as it is at the settled depth, else General.
  Route RowsRoute(D3DPRIMITIVETYPE type, const VertexBuffer& buffer);
  // Whether every depth drawn is the settled 1.0: clip z equal to clip w (a near plane at 0) puts every
  // position, and every point the clipper cuts between two, within an ulp of it (the bits 0xFFFF).
  bool DepthSettledAtOne() const;
  Float4 ClipOf(const uint8_t* p) const {
    // World × view × projection of an FVF position: FetchVertex's arithmetic, term for term.
    const float(*m)[4] = worldViewProjection_;
    return Splat(LoadBytes<float>(p)) * LoadBytes<Float4>(m[0]) +
           Splat(LoadBytes<float>(p + 4)) * LoadBytes<Float4>(m[1]) +
           Splat(LoadBytes<float>(p + 8)) * LoadBytes<Float4>(m[2]) + LoadBytes<Float4>(m[3]);
  }
  Float4 ScreenOf(Float4 clip) const {
    // The viewport transform: x and y from -1..1 to the viewport's pixels (y downwards), z into its
    // depth range. (A z of -0 may come out +0: the same depth bits.)
    const float rhw = 1.0f / clip[3];
    return (Float4{1, 1, 0, 0} + clip * Splat(rhw) * Float4{1, -1, 1, 0}) * vpScale_;
  }
  SV_LANES_INLINE ScreenLanes ScreenOfLanes(const ClipLanes& c) const {
    const Float8 one = Float8{} + 1.0f, rhw = one / c.w;
    return {(one + c.x * rhw) * vpScale_[0], (one - c.y * rhw) * vpScale_[1], c.z * rhw * vpScale_[2]};
  }
  // Fills wvpLanes_ from worldViewProjection_ when it has changed since.
  void RenewWvpLanes();

  // settled_rows.cpp: the two settled routes, drawn into `target` (the back buffer, or the private
  // picture of a second part). Points [first, last) of the rows at `v`:
  void DrawSettledPoints(const uint8_t* v, UINT stride, size_t first, size_t last, Rasterizer& target);
  // Segments [first, last) of the strip at `v` (segment i joins vertex i to i + 1), each in its first
  // vertex's colour; segments with a far end as chords near the eye (clip_far_segments.h).
  void DrawSettledStrip(const uint8_t* v, UINT stride, size_t first, size_t last, Rasterizer& target);
  // Their lane bodies, built for several instruction sets. DrawSettledPoints picks one once a call:
  // PointsInLanes' body for one pixel a point, or for a square of pixel_.pointSide (kSquares).
  void DrawPointsInLanes(const uint8_t* v, UINT stride, size_t first, size_t last, Rasterizer& target);
  void DrawSquaresInLanes(const uint8_t* v, UINT stride, size_t first, size_t last, Rasterizer& target);
  template <bool kSquares>
  void PointsInLanes(const uint8_t* v, UINT stride, size_t first, size_t last, Rasterizer& target);
  void DrawSegmentEndsInLanes(SegmentChain& chain, Rasterizer& target);
  // A segment that may need clipping, from the chain's last end to the end at `clipB`, in the
  // written colour `result`.
  void DrawClippedSceneLine(LineEnd& lastEnd, Float4 clipB, uint32_t result, Rasterizer& target);
  // The segment a–b with a far end as chords near the eye, in a's colour: settled into
  // `settledTarget`, or through the general route when it is null.
  void DrawFarSegment(const uint8_t* a, const uint8_t* b, Rasterizer* settledTarget);

  // settled_parts.cpp: a settled call of `primitives` on one thread, or in two parts at once: the first
  // into the back buffer, the second into a private picture then copied over it, so that the second
  // part's pixels win as they would drawn after the first. draw(first, last, target) draws a part.
  using PartDraw = void (SoftwareDevice::*)(const uint8_t* v, UINT stride, size_t first, size_t last,
                                            Rasterizer& target);
  void DrawSettled(PartDraw draw, const uint8_t* v, UINT stride, size_t primitives, bool resultsOpaque);
  // Whether every result the buffer's vertices give is opaque: alpha forced to 255, or opaque colours.
  bool ResultsOpaque(const VertexBuffer& buffer) const;
  // Shorter calls gain less than the hand-over and the copy cost.
  static constexpr size_t kTwoPartsFrom = 16384;

  void FetchVertex(const uint8_t* p, ClipVertex& out) const;
  // The lit colour of the vertex at `p` into out.r, g, b and a.
  void Light(const uint8_t* p, ClipVertex& out) const;
  RasterVertex ToScreen(const ClipVertex& c) const;
  void DrawClippedPoint(const ClipVertex& v);
  void DrawClippedLine(const ClipVertex& a, const ClipVertex& b);
  void DrawClippedTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c);
  // Fetches a point's, line's or triangle's corners and draws it: screen vertices straight into the
  // rasterizer, others through the clipper.
  void Emit(std::initializer_list<const uint8_t*> corners);

  HWND window_ = nullptr;
  bool tookScreen_ = false;  // made full-screen: the window covers the display until the device goes
  D3DPRESENT_PARAMETERS params_{};
  Rasterizer raster_;
  bool inScene_ = false;

  DWORD renderStates_[D3DRS_COUNT] = {};
  DWORD stageStates_[D3DMAXTEXTURESTAGES][D3DTSS_COUNT] = {};
  IDirect3DBaseTexture8* textures_[D3DMAXTEXTURESTAGES] = {};
  // Rows on 16-byte boundaries: a row stored whole never straddles two cache lines.
  alignas(16) D3DMATRIX world_{}, view_{}, projection_{};
  alignas(16) float viewProjection_[4][4] = {}, worldViewProjection_[4][4] = {};
  bool viewProjectionDirty_ = true, wvpDirty_ = true, pixelStateDirty_ = true;
  // The viewport transform's terms for x, y and z: the viewport is the whole back buffer, depths 0..1.
  Float4 vpScale_ = {0, 0, 1, 0};
  D3DLIGHT8 lights_[kMaxLights] = {};
  bool lightEnabled_[kMaxLights] = {};
  DWORD fvf_ = 0;
  VertexLayout layout_{};
  VertexBuffer* stream_ = nullptr;
  UINT streamStride_ = 0;
  PixelState pixel_{};
  Float8 wvpLanes_[4][4] = {};  // each element of worldViewProjection_ in all eight lanes
  bool wvpLanesCurrent_ = false;
  bool lighting_ = false;
  float fogStart_ = 0, fogEnd_ = 1;
  // The eye far segments are seen from, worked out before a call's parts are drawn (both read it).
  FarLineEye farLineEye_;
  double farEye_[3] = {};
  bool farEyeKnown_ = false;  // false: no eye (a parallel projection), far segments drawn as they are
  // The second part's picture, made at the first call drawn in two parts: 0 where nothing was drawn
  // (every colour a settled part writes is opaque), the back buffer's size.
  Rasterizer secondPart_;
  // The second drawing thread, when there may be one; made last, so it is gone first.
  std::unique_ptr<platform::Worker> worker_;
};

}  // namespace render
