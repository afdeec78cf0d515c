#include "platform/sdl2/sdl_window.h"

#include <algorithm>
#include <cstring>

namespace platform::sdl2 {

SdlWindow::~SdlWindow() {
  if (native_) SDL_DestroyWindow(native_);
}

int SdlWindow::ClientWidth() const {
  int w = 0, h = 0;
  SDL_GetWindowSize(native_, &w, &h);
  return w;
}

int SdlWindow::ClientHeight() const {
  int w = 0, h = 0;
  SDL_GetWindowSize(native_, &w, &h);
  return h;
}

SDL_Surface* SdlWindow::Surface() {
  SDL_Surface* surface = SDL_GetWindowSurface(native_);  // cached by SDL; renewed after a resize
  if (!surface || (surface == filled_ && surface->w == filledWidth_ && surface->h == filledHeight_)) return surface;
  filled_ = surface;
  filledWidth_ = surface->w;
  filledHeight_ = surface->h;
  if (background_) {
    const Uint32 colour = SDL_MapRGB(surface->format, static_cast<Uint8>(*background_ >> 16),
                                     static_cast<Uint8>(*background_ >> 8), static_cast<Uint8>(*background_));
    SDL_FillRect(surface, nullptr, colour);
  }
  return surface;
}

void SdlWindow::Repaint() {
  if (Surface()) SDL_UpdateWindowSurface(native_);
}

bool SdlWindow::PresentPixels(const uint32_t* pixels, int pitch, const RECT& source, const RECT& destination) {
  SDL_Surface* surface = Surface();
  if (!surface || !pixels) return false;
  // Clip to the surface: the window manager may have given us less than we asked for.
  int left = std::max<int>(destination.left, 0), top = std::max<int>(destination.top, 0);
  int right = std::min<int>(destination.right, surface->w), bottom = std::min<int>(destination.bottom, surface->h);
  if (right <= left || bottom <= top) return true;  // nothing visible to update
  int w = right - left, h = bottom - top;
  const uint32_t* from = pixels + static_cast<ptrdiff_t>(source.top + (top - destination.top)) * pitch +
                         (source.left + (left - destination.left));
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
  uint8_t* to = static_cast<uint8_t*>(surface->pixels) + static_cast<ptrdiff_t>(top) * surface->pitch +
                static_cast<ptrdiff_t>(left) * surface->format->BytesPerPixel;
  bool ok = true;
  Uint32 format = surface->format->format;
  if (format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888) {
    for (int y = 0; y < h; ++y)
      std::memcpy(to + static_cast<ptrdiff_t>(y) * surface->pitch, from + static_cast<ptrdiff_t>(y) * pitch,
                  static_cast<size_t>(w) * 4);
  } else {
    ok = SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_ARGB8888, from, pitch * 4, format, to, surface->pitch) == 0;
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  SDL_Rect area{left, top, w, h};
  return ok && SDL_UpdateWindowSurfaceRects(native_, &area, 1) == 0;
}

}  // namespace platform::sdl2
