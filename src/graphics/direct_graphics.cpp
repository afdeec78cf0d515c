// DirectGraphics set-up and teardown: the 60 Hz refresh for synchronised full-screen use, the
// presentation parameters, the device with its vertex-processing fallbacks, the sprite and the fonts.
#include "graphics/direct_graphics.h"

#include "platform/backend.h"
#include "render/safe_release.h"

DirectGraphics* g_graphics = nullptr;

namespace {

constexpr int kForcedRefreshRate = 60;
constexpr int kGdiFontHeights[5] = {8, 16, 24, 32, 64};
constexpr const char kGdiFontFace[] = "MS UI Gothic";

struct DeviceAttempt {
  D3DDEVTYPE type;
  DWORD behaviour;
};

}  // namespace

DirectGraphics::DirectGraphics(Direct3DFactory create) : create_(std::move(create)) {
  // This program only ever runs on the NT-like family: the refresh rate is read from the display,
  // never from a registry string.
  osFamily = 2;
}

int32_t DirectGraphics::Init(HWND window, int32_t fullScreen, int32_t width, int32_t height, int32_t bit,
                             int32_t vsyncWait, int32_t drawLevel, int32_t hardTl, int32_t fog, int32_t d3dxSprite,
                             int32_t noBackDraw) {
  this->window = window;
  config.FullScreen = fullScreen;
  config.Width = width;
  config.Height = height;
  config.BIT = bit;
  config.VSYNC_WAIT = vsyncWait;
  config.DRAWLEVEL = drawLevel;
  config.HARD_TL = hardTl;
  config.FOG = fog;
  config.D3DX_SPRITE = d3dxSprite;
  config.NOBACKDRAW = noBackDraw;

  direct3d = create_ ? create_(D3D_SDK_VERSION) : nullptr;
  if (!direct3d) return GRAPHICS_NO_DIRECT3D;

  presentParams = D3DPRESENT_PARAMETERS{};

  // Synchronised full-screen frames are paced by the display, so the display must run at 60 Hz.
  // Only the rate changes; size and depth stay as they are.
  if (config.FullScreen && config.VSYNC_WAIT) {
    platform::Backend& backend = platform::CurrentBackend();
    config.savedRefreshRate = backend.CurrentRefreshRate(window);
    if (!backend.TestRefreshRate(window, kForcedRefreshRate)) return GRAPHICS_NO_REFRESH_RATE;
    backend.SetRefreshRate(window, kForcedRefreshRate);
  }

  D3DDISPLAYMODE mode{};
  direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
  FillPresentParams(mode.Format);
  if (const int32_t made = CreateDeviceForHardTl(); made != GRAPHICS_OK) return made;

  // The reference decides, not the call's result.
  D3DXCreateSprite(device, &sprite);
  if (!sprite) return GRAPHICS_NO_SPRITE;

  CreateGdiFonts();
  SelectFont(16);
  return GRAPHICS_OK;
}

// The back buffer and the swap as the settings ask: full-screen in the BIT format, else windowed in
// the desktop's own format.
void DirectGraphics::FillPresentParams(D3DFORMAT desktopFormat) {
  presentParams.BackBufferWidth = static_cast<UINT>(config.Width);
  presentParams.BackBufferHeight = static_cast<UINT>(config.Height);
  presentParams.BackBufferCount = 1;
  presentParams.MultiSampleType = D3DMULTISAMPLE_NONE;
  presentParams.hDeviceWindow = window;
  presentParams.EnableAutoDepthStencil = TRUE;
  presentParams.AutoDepthStencilFormat = D3DFMT_D16;
  presentParams.Flags = 0;
  presentParams.FullScreen_RefreshRateInHz = D3DPRESENT_RATE_DEFAULT;
  presentParams.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
  if (config.FullScreen) {
    presentParams.BackBufferFormat = config.BIT ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5;
    presentParams.SwapEffect = D3DSWAPEFFECT_COPY_VSYNC;
    presentParams.Windowed = FALSE;
  } else {
    presentParams.BackBufferFormat = desktopFormat;  // windowed: whatever the desktop uses
    presentParams.SwapEffect = D3DSWAPEFFECT_COPY;
    presentParams.Windowed = TRUE;
  }

}

// The device HARD_TL asks for; GRAPHICS_OK, or why none was made.
int32_t DirectGraphics::CreateDeviceForHardTl() {
  // HARD_TL picks the device; only 1 may fall back (hardware vertex processing first). Any other
  // value makes no device, and the sprite step below then reports it.
  static constexpr DeviceAttempt kSoftwareHal[] = {{D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING}};
  static constexpr DeviceAttempt kHardwareThenSoftware[] = {{D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
                                                            {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING}};
  static constexpr DeviceAttempt kReference[] = {{D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING}};
  const DeviceAttempt* attempts = nullptr;
  int attemptCount = 0;
  switch (config.HARD_TL) {
    case 0: attempts = kSoftwareHal; attemptCount = 1; break;
    case 1: attempts = kHardwareThenSoftware; attemptCount = 2; break;
    case 2: attempts = kReference; attemptCount = 1; break;
    default: break;
  }
  if (attemptCount > 0) {
    HRESULT result = D3DERR_NOTAVAILABLE;
    for (int i = 0; i < attemptCount && FAILED(result); ++i) {
      result = direct3d->CreateDevice(D3DADAPTER_DEFAULT, attempts[i].type, window, attempts[i].behaviour,
                                      &presentParams, &device);
      if (FAILED(result)) device = nullptr;  // never keep what a failed attempt may have left there
    }
    // The last attempt's reason: a size the memory cannot hold is told apart from a setting refused.
    if (result == E_OUTOFMEMORY || result == D3DERR_OUTOFVIDEOMEMORY) return GRAPHICS_NO_MEMORY;
    if (FAILED(result)) return GRAPHICS_NO_DEVICE;
  }
  return GRAPHICS_OK;

}

void DirectGraphics::CreateGdiFonts() {
  for (int i = 0; i < 5; ++i) {
    gdiFonts[i] = CreateFontA(kGdiFontHeights[i], 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                              kGdiFontFace);
  }
}

void DirectGraphics::SelectFont(uint32_t size) {
  SafeRelease(font);
  int index = 1;  // any size not in the list becomes 16
  switch (size) {
    case 8: index = 0; break;
    case 16: index = 1; break;
    case 24: index = 2; break;
    case 32: index = 3; break;
    case 64: index = 4; break;
    default: size = 16; break;
  }
  D3DXCreateFont(device, gdiFonts[index], &font);
  fontSize = static_cast<int32_t>(size);
}

DirectGraphics::~DirectGraphics() {
  // Textures first, while the device that made them still exists. g_graphics is this object.
  ReleaseTextures();

  for (HFONT& gdiFont : gdiFonts) {
    if (gdiFont) DeleteObject(gdiFont);
    gdiFont = nullptr;
  }

  // Put the display back only under the condition that changed it, and only if that rate is possible.
  if (config.FullScreen && config.VSYNC_WAIT) {
    platform::Backend& backend = platform::CurrentBackend();
    if (backend.TestRefreshRate(window, config.savedRefreshRate))
      backend.SetRefreshRate(window, config.savedRefreshRate);
  }

  SafeRelease(font);
  SafeRelease(sprite);
  SafeRelease(device);
  SafeRelease(direct3d);
}
