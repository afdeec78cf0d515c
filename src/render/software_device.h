// The software Direct3D 8 device: fixed-function state, resources, scene drawing into a Rasterizer and
// presenting to the platform window. State and presenting live in software_device.cpp, the draw
// path (vertex fetch, transform, lighting, fog, clipping) in device_draw.cpp, the scene's polyline
// segments in scene_lines.cpp.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/worker.h"
#include "render/vector_lanes.h"
#include "render/rasterizer.h"
#include "render/route.h"
#include "render/run_threads.h"
#include "render/scene_batch.h"
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
  // SetVertexShader of a new format, apart so that the scene's same format again costs a comparison.
  [[gnu::noinline]] HRESULT ChangeVertexFormat(DWORD handle);

  // device_draw.cpp
  HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* vertices, UINT stride, uint64_t available);
  void PrepareDraw() {
    if (viewProjectionDirty_ || wvpDirty_) RenewTransforms();
    if (pixelStateDirty_) DerivePixelState();
  }
  void RenewTransforms();   // view × projection and world × view × projection
  void DerivePixelState();  // pixel_, lighting and fog from the render and stage states
  void ChooseRoutes();
  // BufferPoint for one point of DrawPrimitive that may take it (`available` bytes of the buffer from
  // its vertex on), else General.
  Route BufferedCallRoute(D3DPRIMITIVETYPE type, UINT primitiveCount, uint64_t available);
  // An unlit, unfogged FVF point in world space from the vertex buffer: transform, depth clip, one pixel.
  void PlotBufferPoint(const uint8_t* p);
  // A point on the batched-point route (the scene's every point): pending until seven more come, to be
  // transformed with them (scene_points.cpp); past the start of a long batch, on the worker.
  void DrawBatchedPoint(const uint8_t* p) { AddPendingPoint(p, layout_.DiffuseAt(p)); }
  // What is added to the batch: a point, or a segment's end.
  void AddPendingPoint(const uint8_t* p, uint32_t colour) {
    if (batch_.segments.ends.count != 0) DrawPendingSegments();
    if (batch_.points.Add(p, colour)) DrawPendingPoints();
  }
  void AddPendingSegmentEnd(const uint8_t* b, uint32_t colour) {
    if (batch_.points.count != 0) DrawPendingPoints();
    if (batch_.segments.ends.Add(b, colour)) DrawPendingSegments();
  }
  [[gnu::noinline]] void DrawPendingPoints();
  // Its body, built for several instruction sets: the pending points `w` (the device's own, or a
  // run part's on either thread).
  void DrawPendingPointsInLanes(PendingPositions& w);
  // Fills wvpLanes_ from worldViewProjection_ when it has changed since.
  void RenewWvpLanes();
  // A segment on the scene-segment route (one LINELIST segment per call, the scene's polyline): of
  // one colour and from where the last one ended, its end is added to the batch; else DrawSegmentAlone.
  // A strip's segments come here one by one too, each as the same segment of a list.
  void DrawSceneSegment(const uint8_t* a, const uint8_t* b) {
    const uint32_t colour = layout_.DiffuseAt(a);
    if (chain_.valid && OneColour(colour, b) && SamePosition(a, chain_.key)) {
      AddPendingSegment(b, colour);
      return;
    }
    DrawSegmentAlone(a, b);
  }
  // Whether a segment from an end of `colourA` to the vertex at `b` has that one colour throughout:
  // flat shading takes the first end's colour for the whole line.
  bool OneColour(uint32_t colourA, const uint8_t* b) const {
    return layout_.diffuse < 0 || pixel_.flatShade || LoadBytes<uint32_t>(b + layout_.diffuse) == colourA;
  }
  // scene_lines.cpp: two colours take the general path, one colour is clipped on positions only.
  [[gnu::noinline]] void DrawSegmentAlone(const uint8_t* a, const uint8_t* b);
  void AddPendingSegment(const uint8_t* b, uint32_t colour) {
    CopyPosition(chain_.key, b);
    AddPendingSegmentEnd(b, colour);
  }
  // The one end of what is pending: draws the batch under the states it was given in and forgets the
  // chosen routes. Every device call but the draws added to the batch starts here.
  void EndBatch() {
    WaitForPendingWriting();
    if (!batch_.Empty()) DrawBatch();
    routes_.chosen = false;
  }
  [[gnu::noinline]] void DrawBatch();
  [[gnu::noinline]] void DrawPendingSegments();
  // Its body, built for several instruction sets: the pending ends of `chain` (the device's own, or
  // a strip part's on either thread) drawn from the end before them.
  void DrawPendingSegmentsInLanes(SegmentChain& chain);
  // A scene segment that may need clipping, from the chain's last end to the end at `clipB`.
  [[gnu::noinline]] void DrawClippedSceneLine(LineEnd& lastEnd, Float4 clipB, uint32_t colour);
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
  // The pending positions `w` (n of them) in clip space, through world × view × projection in lanes.
  SV_LANES_INLINE ClipLanes TakePending(PendingPositions& w, int& n) {
    RenewWvpLanes();
    return w.Take(wvpLanes_, n);
  }
  SV_LANES_INLINE ScreenLanes ScreenOfLanes(const ClipLanes& c) const {
    const Float8 one = Float8{} + 1.0f, rhw = one / c.w;
    return {(one + c.x * rhw) * vpScale_[0], (one - c.y * rhw) * vpScale_[1], c.z * rhw * vpScale_[2]};
  }
  // scene_runs.cpp: a run on the RunOnTwoThreads route placed by two threads at once and written by
  // the worker while the caller goes on; false when not all its pixels are settled and it is still
  // to be drawn.
  bool DrawPointsOnTwoThreads(const uint8_t* v, UINT count, UINT stride);
  // A POINTLIST of many points on the batched-point route: on the RunOnTwoThreads route
  // (DrawPointsOnTwoThreads) when the run may take it and two threads have been the faster way lately
  // (pointRunThreads_), else in order through the batch without a call's checks a point. (Drawn by
  // both threads at once, points of one colour cost more than placed apart: the threads take each
  // other's lines of the picture.)
  void DrawPoints(const uint8_t* v, UINT count, UINT stride);
  // RunOnTwoThreads for a run of `count` points long enough for two threads (it still takes the
  // batched-point route when a pixel is not settled), else BatchedPoint.
  Route PointRunRoute(UINT count) const {
    return LongEnoughForTwoThreads(count) ? Route::RunOnTwoThreads : Route::BatchedPoint;
  }
  void DrawPointsInOrder(const uint8_t* v, UINT count, UINT stride);
  // The `count` points at `p` through the device's batch, in order.
  void AddPendingPoints(const uint8_t* p, UINT count, UINT stride);
  // The route of a LINESTRIP on the scene-segment route: Strip when each of its segments has one
  // colour (`oneColour` throughout, or flat shading), else SceneSegment, a segment at a time.
  Route StripRoute(bool oneColour) const { return oneColour || pixel_.flatShade ? Route::Strip : Route::SceneSegment; }
  // A strip on the Strip route, its first vertex of `colour`: drawn as a chain of segments, without
  // the per-segment call's checks; long strips whose every pixel takes one colour at the settled depth
  // (OrderFree) in parts by both threads at once, in any order, when that has been the faster way
  // lately (stripThreads_).
  void DrawStrip(const uint8_t* v, UINT count, UINT stride, uint32_t colour, bool oneColour);
  // Whether every pixel of a run all of `colour` takes that colour and nothing else: written as it
  // is, at the settled depth 1.0 (clip z is clip w).
  bool OrderFree(uint32_t colour) const;
  // Whether the `vertices` vertices at `v` are all of `colour`.
  bool AllOfColour(const uint8_t* v, UINT vertices, UINT stride, uint32_t colour) const;
  // Both threads draw the run being drawn, part(first, last) a part of kRunPart primitives, until none is left.
  void DrawRunInParts(void (SoftwareDevice::*part)(size_t first, size_t last));
  static constexpr UINT kRunPart = 1024;
  // Segments [first, last) of the strip being drawn, as a chain of their own.
  void DrawStripSegments(size_t first, size_t last);
  // The run being drawn: the caller's vertices, read by both threads before the call returns.
  struct HandedRun {
    const uint8_t* vertices;
    UINT stride, count;     // primitives: points, or segments
    uint32_t colour;        // every vertex's, unless
    bool colourPerVertex;  // each point or segment takes its (first) vertex's
  };
  // Shorter runs gain less than the hand-overs cost.
  static constexpr UINT kRunOnTwoThreadsFrom = 2048;
  bool LongEnoughForTwoThreads(UINT primitives) const { return worker_ && primitives >= kRunOnTwoThreadsFrom; }
  // Whether a point run long enough for two threads may be placed by them: every pixel settled.
  bool TakesRunOnTwoThreads();
  // A placed run whose writing is pending.
  struct PlacedRun {
    const SettledPixel* points;
    size_t count;
  };
  // Hands the placed run's writing to the worker, after the run before it.
  void WriteOnWorker(PlacedRun run);
  // Returns once the placed run handed over last is written: every draw and read of the picture
  // starts here.
  void WaitForPendingWriting() {
    if (writingPending_) {
      worker_->Wait(writing_);
      writingPending_ = false;
    }
  }
  // Points [first, last) of a run placed into `out` at their index; unsettled: not all their pixels are.
  void PlacePointsInLanes(const uint8_t* v, UINT stride, UINT first, UINT last, SettledPixel* out, bool& unsettled);
  void FetchVertex(const uint8_t* p, ClipVertex& out) const;
  // The lit colour of the vertex at `p` into out.r, g, b and a.
  void Light(const uint8_t* p, ClipVertex& out) const;
  RasterVertex ToScreen(const ClipVertex& c) const;
  void DrawClippedPoint(const ClipVertex& v);
  void DrawClippedLine(const ClipVertex& a, const ClipVertex& b);
  void DrawClippedTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c);
  // Fetches a point's, line's or triangle's corners and draws it: screen vertices straight into the
  // rasterizer, others through the clipper. Out of line, not to weigh on DrawPrimitiveUP's one point.
  [[gnu::noinline]] void Emit(std::initializer_list<const uint8_t*> corners);

  HWND window_ = nullptr;
  bool tookScreen_ = false;  // made full-screen: the window covers the display until the device goes
  D3DPRESENT_PARAMETERS params_{};
  Rasterizer raster_;
  bool inScene_ = false;

  DWORD renderStates_[D3DRS_COUNT] = {};
  DWORD stageStates_[D3DMAXTEXTURESTAGES][D3DTSS_COUNT] = {};
  IDirect3DBaseTexture8* textures_[D3DMAXTEXTURESTAGES] = {};
  // Rows on 16-byte boundaries: a row stored whole never straddles two cache lines, where the loads
  // that follow the scene's per-point world change would wait for it.
  alignas(16) D3DMATRIX world_{}, view_{}, projection_{};
  alignas(16) float viewProjection_[4][4] = {}, worldViewProjection_[4][4] = {};
  bool viewProjectionDirty_ = true, wvpDirty_ = true, pixelStateDirty_ = true;
  // The routes calls of one point and of one segment take (General, BatchedPoint, SceneSegment),
  // chosen by ChooseRoutes at the first such call after the batch ended; EndBatch forgets them.
  struct Routes {
    bool chosen = false;
    Route point = Route::General, segment = Route::General;
  } routes_;
  bool wvpTopRowsCurrent_ = false;  // rows 0-2 of worldViewProjection_ hold those of viewProjection_
  bool vpTopFinite_ = false;        // rows 0-2 of viewProjection_ hold no infinity or NaN
  bool wvpTopFinite_ = false;       // likewise for worldViewProjection_ (false when unknown)
  // The viewport transform's terms for x, y and z: the viewport is the whole back buffer, depths 0..1.
  Float4 vpScale_ = {0, 0, 1, 0};
  D3DLIGHT8 lights_[kMaxLights] = {};
  bool lightEnabled_[kMaxLights] = {};
  DWORD fvf_ = 0;
  VertexLayout layout_{};
  VertexBuffer* stream_ = nullptr;
  UINT streamStride_ = 0;
  PixelState pixel_{};
  // The deferred draws.
  SceneBatch batch_;
  Float8 wvpLanes_[4][4] = {};  // each element of worldViewProjection_ in all eight lanes
  bool wvpLanesCurrent_ = false;
  bool lighting_ = false;
  float fogStart_ = 0, fogEnd_ = 1;
  // The caller's side of the scene's polyline: the position bits of the last segment's end (the one
  // batch_.segments.end describes once the batch is drawn); valid while the transform and viewport last.
  alignas(64) struct {
    uint8_t key[12];
    bool valid;
  } chain_{};
  // Placed runs of points (scene_runs.cpp), kept between runs: one is placed while the one before it
  // is written.
  std::vector<SettledPixel> runPoints_[2];
  int runBuffer_ = 0;  // the one the next run is placed in
  HandedRun run_{};
  RunThreads pointRunThreads_, stripThreads_;  // one thread or two for the next long run
  PlacedRun placed_{};  // the run being written, read by the worker
  platform::Worker::Ticket writing_ = 0;
  bool writingPending_ = false;
  // The second drawing thread, when there may be one; made last, so it is gone first.
  std::unique_ptr<platform::Worker> worker_;
};

}  // namespace render
