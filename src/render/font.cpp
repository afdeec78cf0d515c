// The D3DX font object: it keeps the device and the GDI font it was made from; nothing draws with it.
#include "render/d3dx8.h"
#include "render/ref_counted.h"

namespace render {
namespace {

class Font final : public RefCounted<ID3DXFont> {
 public:
  Font(IDirect3DDevice8* device, HFONT font) : device_(device), font_(font) { device_->AddRef(); }
  HRESULT GetDevice(IDirect3DDevice8** device) override {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
  }
  HFONT GetGdiFont() override { return font_; }
  HRESULT OnLostDevice() override { return D3D_OK; }
  HRESULT OnResetDevice() override { return D3D_OK; }

 private:
  ~Font() override { device_->Release(); }
  IDirect3DDevice8* device_;
  HFONT font_;
};

}  // namespace
}  // namespace render

HRESULT D3DXCreateFont(IDirect3DDevice8* device, HFONT font, ID3DXFont** result) {
  if (!result) return D3DERR_INVALIDCALL;
  *result = nullptr;
  if (!device || !font) return D3DERR_INVALIDCALL;
  *result = new render::Font(device, font);
  return D3D_OK;
}
