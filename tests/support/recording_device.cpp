// The call log and the recording wrappers of the device and the Direct3D object.
#include "recording_device.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace render {
namespace {

std::string Hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08x", v);
  return b;
}

std::string Num(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

std::string Rect(const RECT* r) {
  if (!r) return "null";
  char b[64];
  std::snprintf(b, sizeof b, "(%ld,%ld,%ld,%ld)", static_cast<long>(r->left), static_cast<long>(r->top),
                static_cast<long>(r->right), static_cast<long>(r->bottom));
  return b;
}

std::string Matrix(const D3DMATRIX* m) {
  if (!m) return "null";
  std::string s = "[";
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      if (j) s += ' ';
      s += Num(m->m[i][j]);
    }
    s += i < 3 ? " / " : "]";
  }
  return s;
}

std::string Colour(const D3DCOLORVALUE& c) {
  char b[128];
  std::snprintf(b, sizeof b, "(%g,%g,%g,%g)", static_cast<double>(c.r), static_cast<double>(c.g),
                static_cast<double>(c.b), static_cast<double>(c.a));
  return b;
}

}  // namespace

void CallLog::Append(std::string text, std::vector<uint8_t> vertices) {
  calls_.push_back(Call{std::move(text), std::move(vertices)});
}

std::vector<std::string> CallLog::Entries() const {
  std::vector<std::string> out;
  out.reserve(calls_.size());
  for (const Call& c : calls_) out.push_back(c.text);
  return out;
}

std::vector<std::string> CallLog::EntriesStartingWith(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const Call& c : calls_)
    if (c.text.compare(0, prefix.size(), prefix) == 0) out.push_back(c.text);
  return out;
}

size_t CallLog::CountStartingWith(const std::string& prefix) const {
  size_t n = 0;
  for (const Call& c : calls_)
    if (c.text.compare(0, prefix.size(), prefix) == 0) ++n;
  return n;
}

void CallLog::FailCall(const std::string& name, HRESULT result, int times) {
  failures_.push_back(Failure{name, result, times});
}

bool CallLog::TakeFailure(const char* name, HRESULT* result) {
  for (size_t i = 0; i < failures_.size(); ++i) {
    Failure& f = failures_[i];
    if (f.name != name || f.remaining == 0) continue;
    *result = f.result;
    if (f.remaining > 0 && --f.remaining == 0) failures_.erase(failures_.begin() + static_cast<long>(i));
    return true;
  }
  return false;
}

std::string CallLog::NameOf(const void* object, const char* kind) {
  if (!object) return "null";
  for (const Named& n : names_)
    if (n.object == object) return n.name;
  names_.push_back(Named{object, kind + std::to_string(++counter_)});
  return names_.back().name;
}

// ---------------------------------------------------------------------------------------------------------

RecordingDevice::RecordingDevice(IDirect3DDevice8* inner, std::shared_ptr<CallLog> log)
    : inner_(inner), log_(std::move(log)) {
  inner_->AddRef();
}

RecordingDevice::~RecordingDevice() { inner_->Release(); }

ULONG RecordingDevice::AddRef() { return ++refs_; }

ULONG RecordingDevice::Release() {
  const ULONG left = --refs_;
  if (left == 0) {
    log_->Append("Release(" + log_->NameOf(this, "dev") + ")");
    delete this;
  }
  return left;
}

// Logs `text`; returns true (and the failure in `hr`) when the log says this call is to fail.
#define SV_RECORD(name, text)                                  \
  do {                                                         \
    log_->Append(text);                                        \
    HRESULT failure_;                                          \
    if (log_->TakeFailure(name, &failure_)) return failure_;   \
  } while (0)

HRESULT RecordingDevice::Reset(D3DPRESENT_PARAMETERS* pp) {
  std::string args = pp ? std::to_string(pp->BackBufferWidth) + "x" + std::to_string(pp->BackBufferHeight) +
                              ", format " + std::to_string(pp->BackBufferFormat) + ", swap " +
                              std::to_string(pp->SwapEffect) + ", windowed " + std::to_string(pp->Windowed)
                        : "null";
  SV_RECORD("Reset", "Reset(" + args + ")");
  return inner_->Reset(pp);
}

HRESULT RecordingDevice::Present(const RECT* s, const RECT* d, HWND w, const RGNDATA* r) {
  SV_RECORD("Present", "Present(" + Rect(s) + ", " + Rect(d) + ")");
  return inner_->Present(s, d, w, r);
}

HRESULT RecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                       D3DPOOL pool, IDirect3DTexture8** texture) {
  const std::string args = std::to_string(width) + ", " + std::to_string(height) + ", " + std::to_string(levels) +
                           ", " + std::to_string(usage) + ", " + std::to_string(format) + ", " + std::to_string(pool);
  HRESULT failure;
  if (log_->TakeFailure("CreateTexture", &failure)) {
    log_->Append("CreateTexture(" + args + ") failed");
    if (texture) *texture = nullptr;
    return failure;
  }
  HRESULT hr = inner_->CreateTexture(width, height, levels, usage, format, pool, texture);
  const bool made = SUCCEEDED(hr) && texture;
  log_->Append("CreateTexture(" + args + ") -> " + (made ? log_->NameOf(*texture, "tex") : "failed"));
  return hr;
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                            IDirect3DVertexBuffer8** vb) {
  const std::string args = std::to_string(length) + ", " + std::to_string(usage) + ", " + Hex(fvf) + ", " +
                           std::to_string(pool);
  HRESULT failure;
  if (log_->TakeFailure("CreateVertexBuffer", &failure)) {
    log_->Append("CreateVertexBuffer(" + args + ") failed");
    if (vb) *vb = nullptr;
    return failure;
  }
  HRESULT hr = inner_->CreateVertexBuffer(length, usage, fvf, pool, vb);
  log_->Append("CreateVertexBuffer(" + args + ") -> " + (SUCCEEDED(hr) && vb ? log_->NameOf(*vb, "vb") : "failed"));
  return hr;
}

HRESULT RecordingDevice::BeginScene() {
  SV_RECORD("BeginScene", "BeginScene()");
  return inner_->BeginScene();
}

HRESULT RecordingDevice::EndScene() {
  SV_RECORD("EndScene", "EndScene()");
  return inner_->EndScene();
}

HRESULT RecordingDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  SV_RECORD("Clear", "Clear(" + std::to_string(count) + ", " + std::to_string(flags) + ", " + Hex(color) + ", " +
                         Num(z) + ", " + std::to_string(stencil) + ")");
  return inner_->Clear(count, rects, flags, color, z, stencil);
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  SV_RECORD("SetTransform", "SetTransform(" + std::to_string(state) + ", " + Matrix(matrix) + ")");
  return inner_->SetTransform(state, matrix);
}

HRESULT RecordingDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  return inner_->GetTransform(state, matrix);
}

HRESULT RecordingDevice::SetLight(DWORD index, const D3DLIGHT8* l) {
  std::string args = std::to_string(index) + ", ";
  if (l) {
    args += "type " + std::to_string(l->Type) + ", diffuse " + Colour(l->Diffuse) + ", specular " +
            Colour(l->Specular) + ", ambient " + Colour(l->Ambient) + ", direction (" + Num(l->Direction.x) + "," +
            Num(l->Direction.y) + "," + Num(l->Direction.z) + ")";
  } else {
    args += "null";
  }
  SV_RECORD("SetLight", "SetLight(" + args + ")");
  return inner_->SetLight(index, l);
}

HRESULT RecordingDevice::GetLight(DWORD index, D3DLIGHT8* l) { return inner_->GetLight(index, l); }

HRESULT RecordingDevice::LightEnable(DWORD index, BOOL enable) {
  SV_RECORD("LightEnable", "LightEnable(" + std::to_string(index) + ", " + std::to_string(enable) + ")");
  return inner_->LightEnable(index, enable);
}

HRESULT RecordingDevice::GetLightEnable(DWORD index, BOOL* enable) { return inner_->GetLightEnable(index, enable); }

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  SV_RECORD("SetRenderState", "SetRenderState(" + std::to_string(state) + ", " + std::to_string(value) + ")");
  return inner_->SetRenderState(state, value);
}

HRESULT RecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  return inner_->GetRenderState(state, value);
}

HRESULT RecordingDevice::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
  SV_RECORD("SetTexture", "SetTexture(" + std::to_string(stage) + ", " + log_->NameOf(texture, "tex") + ")");
  return inner_->SetTexture(stage, texture);
}

HRESULT RecordingDevice::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
  return inner_->GetTexture(stage, texture);
}

HRESULT RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  SV_RECORD("SetTextureStageState", "SetTextureStageState(" + std::to_string(stage) + ", " + std::to_string(type) +
                                        ", " + std::to_string(value) + ")");
  return inner_->SetTextureStageState(stage, type, value);
}

HRESULT RecordingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  return inner_->GetTextureStageState(stage, type, value);
}

HRESULT RecordingDevice::SetVertexShader(DWORD handle) {
  SV_RECORD("SetVertexShader", "SetVertexShader(" + Hex(handle) + ")");
  return inner_->SetVertexShader(handle);
}

HRESULT RecordingDevice::GetVertexShader(DWORD* handle) { return inner_->GetVertexShader(handle); }

HRESULT RecordingDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* data, UINT stride) {
  SV_RECORD("SetStreamSource", "SetStreamSource(" + std::to_string(stream) + ", " + log_->NameOf(data, "vb") + ", " +
                                   std::to_string(stride) + ")");
  return inner_->SetStreamSource(stream, data, stride);
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) {
  SV_RECORD("DrawPrimitive", "DrawPrimitive(" + std::to_string(type) + ", " + std::to_string(start) + ", " +
                                 std::to_string(count) + ")");
  return inner_->DrawPrimitive(type, start, count);
}

HRESULT RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices, UINT stride) {
  // Keep a copy of the vertices the count implies, so tests can check coordinates and colours.
  uint64_t n = 0;
  switch (type) {
    case D3DPT_POINTLIST: n = count; break;
    case D3DPT_LINELIST: n = uint64_t{count} * 2; break;
    case D3DPT_LINESTRIP: n = count ? uint64_t{count} + 1 : 0; break;
    case D3DPT_TRIANGLELIST: n = uint64_t{count} * 3; break;
    default: n = count ? uint64_t{count} + 2 : 0; break;
  }
  std::vector<uint8_t> copy;
  if (vertices && n * stride <= (uint64_t{1} << 24)) {
    const auto* p = static_cast<const uint8_t*>(vertices);
    copy.assign(p, p + n * stride);
  }
  log_->Append("DrawPrimitiveUP(" + std::to_string(type) + ", " + std::to_string(count) + ", " +
                   std::to_string(stride) + ")",
               std::move(copy));
  HRESULT failure;
  if (log_->TakeFailure("DrawPrimitiveUP", &failure)) return failure;
  return inner_->DrawPrimitiveUP(type, count, vertices, stride);
}

const uint32_t* RecordingDevice::BackBufferPixels(int* width, int* height) {
  return inner_->BackBufferPixels(width, height);
}

#undef SV_RECORD

// ---------------------------------------------------------------------------------------------------------

RecordingDirect3D::RecordingDirect3D(std::shared_ptr<CallLog> log, IDirect3D8* inner)
    : log_(std::move(log)), inner_(inner ? inner : Direct3DCreate8(D3D_SDK_VERSION)) {}

RecordingDirect3D::~RecordingDirect3D() {
  if (inner_) inner_->Release();
}

ULONG RecordingDirect3D::AddRef() { return ++refs_; }

ULONG RecordingDirect3D::Release() {
  const ULONG left = --refs_;
  if (left == 0) {
    log_->Append("Release(d3d)");
    delete this;
  }
  return left;
}

UINT RecordingDirect3D::GetAdapterCount() { return inner_->GetAdapterCount(); }

HRESULT RecordingDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
  log_->Append("GetAdapterDisplayMode(" + std::to_string(adapter) + ")");
  HRESULT failure;
  if (log_->TakeFailure("GetAdapterDisplayMode", &failure)) return failure;
  return inner_->GetAdapterDisplayMode(adapter, mode);
}

HRESULT RecordingDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD flags,
                                        D3DPRESENT_PARAMETERS* pp, IDirect3DDevice8** device) {
  std::string args = std::to_string(adapter) + ", " + std::to_string(type) + ", " + Hex(flags);
  if (pp) {
    args += ", " + std::to_string(pp->BackBufferWidth) + "x" + std::to_string(pp->BackBufferHeight) + ", format " +
            std::to_string(pp->BackBufferFormat) + ", count " + std::to_string(pp->BackBufferCount) + ", swap " +
            std::to_string(pp->SwapEffect) + ", windowed " + std::to_string(pp->Windowed) + ", depth " +
            std::to_string(pp->EnableAutoDepthStencil) + "/" + std::to_string(pp->AutoDepthStencilFormat);
  }
  log_->Append("CreateDevice(" + args + ")");
  HRESULT failure;
  if (log_->TakeFailure("CreateDevice", &failure)) {
    if (device) *device = nullptr;
    return failure;
  }
  IDirect3DDevice8* real = nullptr;
  HRESULT hr = inner_->CreateDevice(adapter, type, focus, flags, pp, &real);
  if (FAILED(hr) || !real) {
    if (device) *device = nullptr;
    return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
  }
  auto* recording = new RecordingDevice(real, log_);
  real->Release();  // the wrapper holds its own reference
  lastDevice_ = recording;
  *device = recording;
  return hr;
}

}  // namespace render
