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
  return w / scale_;
}

int SdlWindow::ClientHeight() const {
  int w = 0, h = 0;
  SDL_GetWindowSize(native_, &w, &h);
  return h / scale_;
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
  // Clip to the surface (in picture pixels): the window manager may have given us less than we asked for.
  int left = std::max<int>(destination.left, 0), top = std::max<int>(destination.top, 0);
  int right = std::min<int>(destination.right, surface->w / scale_);
  int bottom = std::min<int>(destination.bottom, surface->h / scale_);
  if (right <= left || bottom <= top) return true;  // nothing visible to update
  const int w = right - left, h = bottom - top;
  const uint32_t* from = pixels + static_cast<ptrdiff_t>(source.top + (top - destination.top)) * pitch +
                         (source.left + (left - destination.left));
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
  uint8_t* to = static_cast<uint8_t*>(surface->pixels) + static_cast<ptrdiff_t>(top) * scale_ * surface->pitch +
                static_cast<ptrdiff_t>(left) * scale_ * surface->format->BytesPerPixel;
  const Uint32 format = surface->format->format;
  const bool sameFormat = format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888;
  // One screen row: as it is, or (scaled) each pixel repeated; converted when the surface differs.
  auto putRow = [&](const uint32_t* row, int width, uint8_t* out) {
    if (sameFormat) {
      std::memcpy(out, row, static_cast<size_t>(width) * 4);
      return true;
    }
    return SDL_ConvertPixels(width, 1, SDL_PIXELFORMAT_ARGB8888, row, width * 4, format, out, surface->pitch) == 0;
  };
  bool ok = true;
  if (scale_ == 1) {
    if (sameFormat) {
      for (int y = 0; y < h; ++y) putRow(from + static_cast<ptrdiff_t>(y) * pitch, w, to + static_cast<ptrdiff_t>(y) * surface->pitch);
    } else {
      ok = SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_ARGB8888, from, pitch * 4, format, to, surface->pitch) == 0;
    }
  } else {
    stretched_.resize(static_cast<size_t>(w) * scale_);
    for (int y = 0; y < h && ok; ++y) {
      const uint32_t* row = from + static_cast<ptrdiff_t>(y) * pitch;
      for (int x = 0; x < w; ++x) std::fill_n(stretched_.begin() + static_cast<ptrdiff_t>(x) * scale_, scale_, row[x]);
      for (int copy = 0; copy < scale_ && ok; ++copy)
        ok = putRow(stretched_.data(), w * scale_, to + static_cast<ptrdiff_t>(y * scale_ + copy) * surface->pitch);
    }
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  SDL_Rect area{left * scale_, top * scale_, w * scale_, h * scale_};
  return ok && SDL_UpdateWindowSurfaceRects(native_, &area, 1) == 0;
}

}  // namespace platform::sdl2
