// Call recording for tests: RecordingDevice wraps a real device, forwards every call (so pixels stay
// real) and appends a readable entry per call to a shared CallLog, e.g. "SetRenderState(7, 1)".
// The log can also make chosen calls fail (Present returning D3DERR_DEVICELOST, CreateDevice failing).
// RecordingDirect3D is a Direct3D object whose CreateDevice yields RecordingDevices on one log.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/d3d8.h"

namespace render {

class CallLog {
 public:
  struct Call {
    std::string text;              // "Name(arg, arg, ...)"; objects appear as tex1, vb1, dev1, null
    std::vector<uint8_t> vertices; // DrawPrimitiveUP: the bytes of the vertices passed
  };

  void Append(std::string text, std::vector<uint8_t> vertices = {});
  std::vector<std::string> Entries() const;
  const std::vector<Call>& Calls() const { return calls_; }
  // Entries whose text starts with `prefix` (e.g. "SetRenderState(").
  std::vector<std::string> EntriesStartingWith(const std::string& prefix) const;
  size_t CountStartingWith(const std::string& prefix) const;
  void Clear() { calls_.clear(); }

  // The next `times` calls named `name` ("Present", "Reset", "CreateDevice", "DrawPrimitiveUP", ...) return
  // `result` without reaching the wrapped object; times < 0 means every call from now on.
  void FailCall(const std::string& name, HRESULT result, int times = -1);
  void ClearFailures() { failures_.clear(); }
  // Used by the wrappers: whether this call is to fail, and with what.
  bool TakeFailure(const char* name, HRESULT* result);

  // A stable short name for an object: its kind plus the order in which the log first saw it.
  std::string NameOf(const void* object, const char* kind);

 private:
  struct Failure {
    std::string name;
    HRESULT result;
    int remaining;
  };
  struct Named {
    const void* object;
    std::string name;
  };
  std::vector<Call> calls_;
  std::vector<Failure> failures_;
  std::vector<Named> names_;
  int counter_ = 0;
};

class RecordingDevice final : public IDirect3DDevice8 {
 public:
  // Takes one reference on `inner` (released with this object).
  RecordingDevice(IDirect3DDevice8* inner, std::shared_ptr<CallLog> log);
  CallLog& Log() { return *log_; }
  IDirect3DDevice8* Inner() { return inner_; }

  ULONG AddRef() override;
  ULONG Release() override;
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
  ~RecordingDevice() override;
  IDirect3DDevice8* inner_;
  std::shared_ptr<CallLog> log_;
  ULONG refs_ = 1;
};

// A Direct3D object for tests: forwards to `inner` (the software one by default) and wraps each
// device it creates in a RecordingDevice on the shared log. Calls appear as "CreateDevice(1, 1, 0x20, ...)".
class RecordingDirect3D final : public IDirect3D8 {
 public:
  explicit RecordingDirect3D(std::shared_ptr<CallLog> log = std::make_shared<CallLog>(),
                             IDirect3D8* inner = nullptr);
  CallLog& Log() { return *log_; }
  std::shared_ptr<CallLog> SharedLog() { return log_; }
  // The device most recently created through this object (borrowed; null before the first).
  RecordingDevice* LastDevice() { return lastDevice_; }

  ULONG AddRef() override;
  ULONG Release() override;
  UINT GetAdapterCount() override;
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* pp, IDirect3DDevice8** device) override;

 private:
  ~RecordingDirect3D() override;
  std::shared_ptr<CallLog> log_;
  IDirect3D8* inner_;
  RecordingDevice* lastDevice_ = nullptr;
  ULONG refs_ = 1;
};

}  // namespace render
