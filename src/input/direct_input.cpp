// The DirectInput-like mouse on the platform backend: every set-up call asks the backend for its step,
// then checks its arguments as the real service would; reads come from the backend's relative mouse.
#include "input/direct_input.h"

#include <cstring>

#include "platform/backend.h"

using platform::CurrentBackend;
using platform::MouseSetupStep;

const DIDATAFORMAT c_dfDIMouse2 = {sizeof(DIDATAFORMAT), 16, DIDF_RELAXIS, sizeof(DIMOUSESTATE2), 11};

HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, DIGuid riid, void** out, void* outer) {
  (void)instance;  // one program, one module: nothing to look up
  if (out == nullptr) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (outer != nullptr) return DIERR_NOINTERFACE;  // no aggregation
  if (version != DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  if (riid != IID_IDirectInput8A) return DIERR_NOINTERFACE;
  if (!CurrentBackend().MouseSetup(MouseSetupStep::CreateService)) return DIERR_GENERIC;
  *out = new IDirectInput8A();
  return DI_OK;
}

uint32_t IDirectInput8A::AddRef() { return ++references_; }

uint32_t IDirectInput8A::Release() {
  uint32_t left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT IDirectInput8A::CreateDevice(DIGuid device, IDirectInputDevice8A** out, void* outer) {
  if (out == nullptr) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (outer != nullptr) return DIERR_NOINTERFACE;
  if (device != GUID_SysMouse) return DIERR_DEVICENOTREG;
  if (!CurrentBackend().MouseSetup(MouseSetupStep::CreateDevice)) return DIERR_DEVICENOTREG;
  *out = new IDirectInputDevice8A();
  return DI_OK;
}

IDirectInputDevice8A::IDirectInputDevice8A(HWND owner) : window_(owner) {}

uint32_t IDirectInputDevice8A::AddRef() { return ++references_; }

uint32_t IDirectInputDevice8A::Release() {
  uint32_t left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT IDirectInputDevice8A::SetDataFormat(const DIDATAFORMAT* format) {
  if (format == nullptr) return DIERR_INVALIDPARAM;
  // Only the standard mouse format is known: its state record is what GetDeviceState fills.
  if (format->dwSize != sizeof(DIDATAFORMAT) || format->dwDataSize != sizeof(DIMOUSESTATE2) ||
      format->dwNumObjs != 11 || (format->dwFlags & DIDF_RELAXIS) == 0)
    return DIERR_INVALIDPARAM;
  if (!CurrentBackend().MouseSetup(MouseSetupStep::DataFormat)) return DIERR_GENERIC;
  formatSet_ = true;
  return DI_OK;
}

HRESULT IDirectInputDevice8A::SetCooperativeLevel(HWND window, DWORD flags) {
  // Exactly one of exclusive / non-exclusive and one of foreground / background; foreground needs a window.
  bool exclusive = flags & DISCL_EXCLUSIVE, shared = flags & DISCL_NONEXCLUSIVE;
  bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
  if (exclusive == shared || foreground == background) return DIERR_INVALIDPARAM;
  if (window == nullptr) return DIERR_INVALIDPARAM;
  if (!CurrentBackend().MouseSetup(MouseSetupStep::CooperativeLevel)) return DIERR_GENERIC;
  window_ = window;
  return DI_OK;
}

HRESULT IDirectInputDevice8A::SetProperty(DIPropertyId property, const DIPROPHEADER* header) {
  if (header == nullptr || property != DIPROP_AXISMODE) return DIERR_INVALIDPARAM;
  if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHeaderSize != sizeof(DIPROPHEADER) ||
      header->dwHow != DIPH_DEVICE || header->dwObj != 0)
    return DIERR_INVALIDPARAM;
  // The backend's mouse only reports relative movement; absolute axes are not offered.
  const auto* value = reinterpret_cast<const DIPROPDWORD*>(header);
  if (value->dwData != DIPROPAXISMODE_REL) return DIERR_INVALIDPARAM;
  if (!CurrentBackend().MouseSetup(MouseSetupStep::AxisMode)) return DIERR_GENERIC;
  return DI_OK;
}

HRESULT IDirectInputDevice8A::Acquire() {
  if (!formatSet_) return DIERR_INVALIDPARAM;
  acquired_ = CurrentBackend().AcquireMouse(window_);
  return acquired_ ? DI_OK : DIERR_GENERIC;
}

HRESULT IDirectInputDevice8A::Unacquire() {
  acquired_ = false;
  return DI_OK;
}

HRESULT IDirectInputDevice8A::GetDeviceState(DWORD size, void* data) {
  if (data == nullptr || size != sizeof(DIMOUSESTATE2)) return DIERR_INVALIDPARAM;
  if (!acquired_) return DIERR_NOTACQUIRED;
  platform::MouseState read;
  if (!CurrentBackend().ReadMouse(read)) {
    // The backend lost it (focus went elsewhere): it must be acquired again before the next read.
    acquired_ = false;
    return DIERR_INPUTLOST;
  }
  DIMOUSESTATE2 state;
  state.lX = read.dx;
  state.lY = read.dy;
  state.lZ = read.dz;
  std::memcpy(state.rgbButtons, read.buttons, sizeof(state.rgbButtons));
  std::memcpy(data, &state, sizeof(state));
  return DI_OK;
}
