// The software Direct3D object: adapter queries and device creation. HAL and REF, software or hardware
// vertex processing, are all the same software device underneath.
#include "render/ref_counted.h"
#include "render/software_device.h"

namespace render {
namespace {

class SoftwareDirect3D final : public RefCounted<IDirect3D8> {
 public:
  UINT GetAdapterCount() override { return 1; }

  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (adapter != D3DADAPTER_DEFAULT || !mode) return D3DERR_INVALIDCALL;
    // The desktop is 32-bit; the program only reads the format. The size is the display our
    // machines report (the window layer, not this one, knows the real desktop).
    *mode = D3DDISPLAYMODE{1024, 768, 0, D3DFMT_X8R8G8B8};
    return D3D_OK;
  }

  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* pp, IDirect3DDevice8** device) override {
    if (!device) return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (adapter != D3DADAPTER_DEFAULT || !pp) return D3DERR_INVALIDCALL;
    if (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF) return D3DERR_NOTAVAILABLE;
    // Exactly one vertex-processing mode, as Direct3D requires.
    const DWORD vp = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                      D3DCREATE_MIXED_VERTEXPROCESSING);
    if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        vp != D3DCREATE_MIXED_VERTEXPROCESSING)
      return D3DERR_INVALIDCALL;
    SoftwareDevice* created = nullptr;
    HRESULT hr = SoftwareDevice::Create(focusWindow, *pp, &created);
    if (FAILED(hr)) return hr;
    *device = created;
    return D3D_OK;
  }
};

}  // namespace
}  // namespace render

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
  if (sdkVersion != D3D_SDK_VERSION) return nullptr;
  return new render::SoftwareDirect3D();
}
