// A DirectInput-8-like mouse on the platform backend: the input service, the system mouse device and
// the records they fill, with DirectInput's names and values. Only what the input layer uses exists.
// Each set-up call asks the backend (which may refuse it, so tests can fail any one step); reading is
// the backend's relative mouse. Plain objects with a reference count; Release deletes at zero.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Results. Failures are negative; the names are DirectInput's own (no clash with the render layer's).
constexpr HRESULT DI_OK = 0;
constexpr HRESULT DIERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DIERR_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047Eu);
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);

constexpr DWORD DIRECTINPUT_VERSION = 0x0800;

// The interface and the device this program asks for; nothing else is known.
enum DIGuid : uint32_t { IID_IDirectInput8A = 1, GUID_SysMouse = 2 };

// Cooperative levels.
constexpr DWORD DISCL_EXCLUSIVE = 0x1;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x2;
constexpr DWORD DISCL_FOREGROUND = 0x4;
constexpr DWORD DISCL_BACKGROUND = 0x8;

// The mouse state of the standard mouse format: three relative axes, then eight button bytes
// (0x80 = down). 20 bytes.
struct DIMOUSESTATE2 {
  LONG lX, lY, lZ;
  BYTE rgbButtons[8];
};
static_assert(sizeof(DIMOUSESTATE2) == 20);

// A data format, reduced to what identifies one: its size fields, flags and number of objects.
struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;
  DWORD dwNumObjs;
};
constexpr DWORD DIDF_ABSAXIS = 0x1;
constexpr DWORD DIDF_RELAXIS = 0x2;
// The standard mouse format: eleven objects (three axes, eight buttons), relative axes, 20 bytes.
extern const DIDATAFORMAT c_dfDIMouse2;

// Device properties: a header, then the value.
struct DIPROPHEADER {
  DWORD dwSize;
  DWORD dwHeaderSize;
  DWORD dwObj;
  DWORD dwHow;
};
struct DIPROPDWORD {
  DIPROPHEADER diph;
  DWORD dwData;
};
static_assert(sizeof(DIPROPHEADER) == 16 && sizeof(DIPROPDWORD) == 20);
enum DIPropertyId : uint32_t { DIPROP_AXISMODE = 2 };
constexpr DWORD DIPH_DEVICE = 0;
constexpr DWORD DIPROPAXISMODE_ABS = 0;
constexpr DWORD DIPROPAXISMODE_REL = 1;

// The system mouse. Reads come from the backend's relative mouse once acquired.
class IDirectInputDevice8A {
 public:
  explicit IDirectInputDevice8A(HWND owner = nullptr);
  uint32_t AddRef();
  uint32_t Release();
  HRESULT SetDataFormat(const DIDATAFORMAT* format);
  HRESULT SetCooperativeLevel(HWND window, DWORD flags);
  HRESULT SetProperty(DIPropertyId property, const DIPROPHEADER* header);
  HRESULT Acquire();
  HRESULT Unacquire();
  // Movement since the previous read and the button bytes; DIERR_INPUTLOST or DIERR_NOTACQUIRED
  // when the backend's mouse is lost or was never acquired.
  HRESULT GetDeviceState(DWORD size, void* data);

 private:
  ~IDirectInputDevice8A() = default;
  uint32_t references_ = 1;
  HWND window_ = nullptr;
  bool formatSet_ = false;
  bool acquired_ = false;
};

// The input service: creates the system mouse.
class IDirectInput8A {
 public:
  uint32_t AddRef();
  uint32_t Release();
  HRESULT CreateDevice(DIGuid device, IDirectInputDevice8A** out, void* outer);

 private:
  friend HRESULT DirectInput8Create(HINSTANCE, DWORD, DIGuid, void**, void*);
  IDirectInput8A() = default;
  ~IDirectInput8A() = default;
  uint32_t references_ = 1;
};

// Creates the input service of version `version` (0x0800) with interface `riid` into `*out`.
HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, DIGuid riid, void** out, void* outer);
