// The back buffer of a window the user may resize: the client size each WM_SIZE reports is kept, and
// the next frame resets the device to it, through the same reset a failed present uses.
#include "graphics/direct_graphics.h"

#include "platform/backend.h"

void DirectGraphics::FollowWindowSize() {
  followsWindow_ = true;
  if (platform::PresentTarget* target = window ? platform::CurrentBackend().TargetOf(window) : nullptr)
    WindowResized(target->ClientWidth(), target->ClientHeight());
}

void DirectGraphics::WindowResized(int32_t width, int32_t height) {
  if (!followsWindow_ || width <= 0 || height <= 0) return;
  windowWidth_ = width;
  windowHeight_ = height;
}

WindowSizeChange DirectGraphics::ApplyWindowSize(int32_t* askedWidth, int32_t* askedHeight) {
  const int32_t width = windowWidth_, height = windowHeight_;
  if (askedWidth) *askedWidth = width;
  if (askedHeight) *askedHeight = height;
  // Taken once: a size the device cannot have is not asked for again every frame.
  windowWidth_ = windowHeight_ = 0;
  if (!device || width <= 0 || (width == config.Width && height == config.Height)) return WindowSizeChange::Unchanged;
  const D3DPRESENT_PARAMETERS kept = presentParams;
  presentParams.BackBufferWidth = static_cast<UINT>(width);
  presentParams.BackBufferHeight = static_cast<UINT>(height);
  const HRESULT result = ResetDevice();
  if (SUCCEEDED(result)) {
    config.Width = width;
    config.Height = height;
    return WindowSizeChange::Resized;
  }
  // A device whose reset failed is of no use until a reset succeeds: back to the size it had.
  presentParams = kept;
  ResetDevice();
  return result == E_OUTOFMEMORY || result == D3DERR_OUTOFVIDEOMEMORY ? WindowSizeChange::NoMemory
                                                                       : WindowSizeChange::Refused;
}
