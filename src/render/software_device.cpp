// Device state, resources, scenes, Clear and Present of the software device.
#include "render/software_device.h"

#include <algorithm>
#include <bit>
#include <new>

#include "platform/backend.h"
#include "platform/work_threads.h"
#include "render/texture.h"
#include "render/vertex_buffer.h"

namespace render {
namespace {

// Copies `value` out to the caller, refused without a place for it.
template <class T, class U>
HRESULT CopyOut(T* out, const U& value) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = value;
  return D3D_OK;
}

constexpr D3DMATRIX kIdentity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

bool BackBufferFormatSupported(D3DFORMAT f) {
  return f == D3DFMT_UNKNOWN || f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5 ||
         f == D3DFMT_X1R5G5B5 || f == D3DFMT_A1R5G5B5;
}

platform::PresentTarget* TargetOf(HWND window) {
  return window ? platform::CurrentBackend().TargetOf(window) : nullptr;
}

}  // namespace

HRESULT SoftwareDevice::Create(HWND window, const D3DPRESENT_PARAMETERS& pp, SoftwareDevice** out) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  SoftwareDevice* device = new (std::nothrow) SoftwareDevice();
  if (!device) return E_OUTOFMEMORY;
  device->window_ = pp.hDeviceWindow ? pp.hDeviceWindow : window;
  HRESULT hr = D3D_OK;
  try {
    if (platform::WorkThreads() > 1) device->worker_ = std::make_unique<platform::Worker>(2);
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  }
  if (SUCCEEDED(hr)) hr = device->ApplyPresentParameters(pp);
  // A full-screen device takes the whole screen while it exists.
  if (SUCCEEDED(hr) && !pp.Windowed && device->window_) {
    if (platform::CurrentBackend().SetFullScreen(device->window_, true))
      device->tookScreen_ = true;
    else
      hr = D3DERR_NOTAVAILABLE;
  }
  if (FAILED(hr)) {
    device->Release();
    return hr;
  }
  *out = device;
  return D3D_OK;
}

SoftwareDevice::~SoftwareDevice() {
  ReleaseBindings();
  if (tookScreen_) platform::CurrentBackend().SetFullScreen(window_, false);  // the desktop's mode comes back
}

HRESULT SoftwareDevice::ApplyPresentParameters(const D3DPRESENT_PARAMETERS& pp) {
  if (!BackBufferFormatSupported(pp.BackBufferFormat) || pp.BackBufferCount > 1 ||
      pp.SwapEffect < D3DSWAPEFFECT_DISCARD || pp.SwapEffect > D3DSWAPEFFECT_COPY_VSYNC)
    return D3DERR_INVALIDCALL;
  if (!pp.Windowed && pp.BackBufferFormat == D3DFMT_UNKNOWN) return D3DERR_INVALIDCALL;
  int width = static_cast<int>(std::min<UINT>(pp.BackBufferWidth, kMaxSide + 1));
  int height = static_cast<int>(std::min<UINT>(pp.BackBufferHeight, kMaxSide + 1));
  // A windowed device of size 0 takes the window's client size.
  if (pp.Windowed && (width == 0 || height == 0)) {
    platform::PresentTarget* target = TargetOf(window_);
    if (!target) return D3DERR_INVALIDCALL;
    if (width == 0) width = target->ClientWidth();
    if (height == 0) height = target->ClientHeight();
  }
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return D3DERR_INVALIDCALL;
  try {
    raster_.Resize(width, height);
  } catch (const std::bad_alloc&) {
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  params_ = pp;
  params_.BackBufferWidth = static_cast<UINT>(width);
  params_.BackBufferHeight = static_cast<UINT>(height);
  if (params_.BackBufferFormat == D3DFMT_UNKNOWN) params_.BackBufferFormat = D3DFMT_X8R8G8B8;
  params_.BackBufferCount = 1;
  raster_.SetFormat(params_.BackBufferFormat);
  SetDefaultState();
  return D3D_OK;
}

void SoftwareDevice::ReleaseBindings() {
  for (auto& t : textures_) {
    if (t) t->Release();
    t = nullptr;
  }
  if (stream_) stream_->Release();
  stream_ = nullptr;
  streamStride_ = 0;
}

void SoftwareDevice::SetDefaultState() {
  ReleaseBindings();
  // Direct3D's defaults for the states drawing reads, where they are not 0; the others start at 0.
  std::fill(std::begin(renderStates_), std::end(renderStates_), 0u);
  DWORD* rs = renderStates_;
  rs[D3DRS_ZENABLE] = params_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_FOGEND] = std::bit_cast<DWORD>(1.0f);
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORVERTEX] = TRUE;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_POINTSIZE] = std::bit_cast<DWORD>(1.0f);

  for (auto& stage : stageStates_) std::fill(std::begin(stage), std::end(stage), 0u);
  DWORD* ts = stageStates_[0];  // drawing reads stage 0 only
  ts[D3DTSS_COLOROP] = D3DTOP_MODULATE;
  ts[D3DTSS_COLORARG1] = ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
  ts[D3DTSS_COLORARG2] = ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
  ts[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
  ts[D3DTSS_ADDRESSU] = ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
  world_ = view_ = projection_ = kIdentity;
  vpScale_ = Float4{static_cast<float>(params_.BackBufferWidth) * 0.5f,
                    static_cast<float>(params_.BackBufferHeight) * 0.5f, 1.0f, 0.0f};
  for (auto& l : lights_) l = D3DLIGHT8{};
  for (auto& e : lightEnabled_) e = false;
  fvf_ = 0;
  layout_ = VertexLayout{};
  inScene_ = false;
  viewProjectionDirty_ = wvpDirty_ = pixelStateDirty_ = true;
}

HRESULT SoftwareDevice::Reset(D3DPRESENT_PARAMETERS* pp) {
  if (!pp) return D3DERR_INVALIDCALL;
  if (pp->hDeviceWindow) window_ = pp->hDeviceWindow;
  // Textures and vertex buffers live outside the device, so every pool survives; the state returns to defaults.
  return ApplyPresentParameters(*pp);
}

HRESULT SoftwareDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                                const RGNDATA*) {
  if (inScene_) return D3DERR_INVALIDCALL;
  platform::PresentTarget* target = TargetOf(destWindowOverride ? destWindowOverride : window_);
  if (!target) return D3D_OK;  // headless: nothing to show, and nothing failed
  const int bw = raster_.Width(), bh = raster_.Height();
  const int cw = target->ClientWidth(), ch = target->ClientHeight();
  const RECT src = sourceRect ? *sourceRect : RECT{0, 0, bw, bh};
  const RECT dst = destRect ? *destRect : RECT{0, 0, cw, ch};
  if (src.left > src.right || src.top > src.bottom || dst.left > dst.right || dst.top > dst.bottom)
    return D3DERR_INVALIDCALL;
  // Copied, never stretched (the program presents equal rectangles): the size both rectangles share
  // from their top-left corners, clipped by the same amounts to the back buffer and the client area.
  const int64_t w = std::min(int64_t{src.right} - src.left, int64_t{dst.right} - dst.left);
  const int64_t h = std::min(int64_t{src.bottom} - src.top, int64_t{dst.bottom} - dst.top);
  const int64_t l = std::max<int64_t>({0, -int64_t{src.left}, -int64_t{dst.left}});
  const int64_t t = std::max<int64_t>({0, -int64_t{src.top}, -int64_t{dst.top}});
  const int64_t r = std::max<int64_t>({0, src.left + w - bw, dst.left + w - cw});
  const int64_t b = std::max<int64_t>({0, src.top + h - bh, dst.top + h - ch});
  if (l + r >= w || t + b >= h) return D3D_OK;
  auto cut = [&](const RECT& from) {
    return RECT{static_cast<LONG>(from.left + l), static_cast<LONG>(from.top + t),
                static_cast<LONG>(from.left + w - r), static_cast<LONG>(from.top + h - b)};
  };
  return target->PresentPixels(raster_.Colour(), bw, cut(src), cut(dst)) ? D3D_OK : D3DERR_DEVICELOST;
}

HRESULT SoftwareDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                      D3DPOOL pool, IDirect3DTexture8** texture) {
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = Texture::Create(width, height, levels, usage, format, pool);
  return *texture ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT SoftwareDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                           IDirect3DVertexBuffer8** vertexBuffer) {
  if (!vertexBuffer) return D3DERR_INVALIDCALL;
  *vertexBuffer = VertexBuffer::Create(length, usage, fvf, pool);
  return *vertexBuffer ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT SoftwareDevice::BeginScene() {
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT SoftwareDevice::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  return D3D_OK;
}

HRESULT SoftwareDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD) {
  if ((flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0) return D3DERR_INVALIDCALL;
  if (count > 0 && !rects) return D3DERR_INVALIDCALL;
  if (!(z >= 0.0f && z <= 1.0f)) return D3DERR_INVALIDCALL;
  const bool target = flags & D3DCLEAR_TARGET, depth = flags & D3DCLEAR_ZBUFFER;
  const D3DRECT whole{0, 0, raster_.Width(), raster_.Height()};  // the viewport
  for (DWORD i = 0; i < std::max<DWORD>(count, 1); ++i) {
    const D3DRECT& r = count == 0 ? whole : rects[i];
    raster_.Clear(r.x1, r.y1, r.x2, r.y2, target, color, depth, z);
  }
  return D3D_OK;
}

HRESULT SoftwareDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  if (!matrix) return D3DERR_INVALIDCALL;
  switch (state) {
    case D3DTS_WORLD:
      // A plain copy: the D3DX helpers write matrices a row per store, so the wide loads of the copy
      // take the rows straight from those stores.
      world_ = *matrix;
      wvpDirty_ = true;
      return D3D_OK;
    case D3DTS_VIEW:
    case D3DTS_PROJECTION:
      (state == D3DTS_VIEW ? view_ : projection_) = *matrix;
      viewProjectionDirty_ = wvpDirty_ = true;
      return D3D_OK;
    default: return state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + 8 ? D3D_OK : D3DERR_INVALIDCALL;
  }
}

HRESULT SoftwareDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  switch (state) {
    case D3DTS_WORLD: return CopyOut(matrix, world_);
    case D3DTS_VIEW: return CopyOut(matrix, view_);
    case D3DTS_PROJECTION: return CopyOut(matrix, projection_);
    default: return D3DERR_INVALIDCALL;
  }
}

HRESULT SoftwareDevice::SetLight(DWORD index, const D3DLIGHT8* light) {
  if (!light || index >= kMaxLights) return D3DERR_INVALIDCALL;
  if (light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
  lights_[index] = *light;
  return D3D_OK;
}

HRESULT SoftwareDevice::GetLight(DWORD index, D3DLIGHT8* light) {
  return index < kMaxLights ? CopyOut(light, lights_[index]) : D3DERR_INVALIDCALL;
}

HRESULT SoftwareDevice::LightEnable(DWORD index, BOOL enable) {
  if (index >= kMaxLights) return D3DERR_INVALIDCALL;
  lightEnabled_[index] = enable != 0;  // a light never set adds nothing (lighting reads its ambient only)
  return D3D_OK;
}

HRESULT SoftwareDevice::GetLightEnable(DWORD index, BOOL* enable) {
  return index < kMaxLights ? CopyOut(enable, lightEnabled_[index] ? TRUE : FALSE) : D3DERR_INVALIDCALL;
}

HRESULT SoftwareDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= D3DRS_COUNT) return D3DERR_INVALIDCALL;
  // The same value again derives the same pixel state: nothing to redo at the next draw.
  if (renderStates_[state] == value) return D3D_OK;
  renderStates_[state] = value;
  pixelStateDirty_ = true;
  return D3D_OK;
}

HRESULT SoftwareDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  return state < D3DRS_COUNT ? CopyOut(value, renderStates_[state]) : D3DERR_INVALIDCALL;
}

HRESULT SoftwareDevice::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
  if (stage >= D3DMAXTEXTURESTAGES) return D3DERR_INVALIDCALL;
  if (textures_[stage] == texture) return D3D_OK;  // already bound: no reference change, no new state
  if (texture) texture->AddRef();
  if (textures_[stage]) textures_[stage]->Release();
  textures_[stage] = texture;
  pixelStateDirty_ = true;
  return D3D_OK;
}

HRESULT SoftwareDevice::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
  if (!texture || stage >= D3DMAXTEXTURESTAGES) return D3DERR_INVALIDCALL;
  *texture = textures_[stage];
  if (*texture) (*texture)->AddRef();
  return D3D_OK;
}

HRESULT SoftwareDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= D3DMAXTEXTURESTAGES || type >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
  if (stageStates_[stage][type] == value) return D3D_OK;
  stageStates_[stage][type] = value;
  pixelStateDirty_ = true;
  return D3D_OK;
}

HRESULT SoftwareDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  if (stage >= D3DMAXTEXTURESTAGES || type >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
  return CopyOut(value, stageStates_[stage][type]);
}

HRESULT SoftwareDevice::SetVertexShader(DWORD handle) {
  if (handle == fvf_ && layout_.valid) return D3D_OK;  // the format in force needs no decoding
  const VertexLayout layout = LayoutOf(handle);
  if (!layout.valid) return D3DERR_INVALIDCALL;
  fvf_ = handle;
  layout_ = layout;
  return D3D_OK;
}

HRESULT SoftwareDevice::GetVertexShader(DWORD* handle) { return CopyOut(handle, fvf_); }

HRESULT SoftwareDevice::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData, UINT stride) {
  if (streamNumber != 0) return streamNumber < 16 ? D3D_OK : D3DERR_INVALIDCALL;  // only stream 0 feeds FVF drawing
  // Every vertex buffer of this device is ours; the cast is safe for buffers it created.
  VertexBuffer* vb = static_cast<VertexBuffer*>(streamData);
  if (vb) vb->AddRef();
  if (stream_) stream_->Release();
  stream_ = vb;
  streamStride_ = stride;
  return D3D_OK;
}

const uint32_t* SoftwareDevice::BackBufferPixels(int* width, int* height) {
  if (width) *width = raster_.Width();
  if (height) *height = raster_.Height();
  return raster_.Colour();
}

}  // namespace render
