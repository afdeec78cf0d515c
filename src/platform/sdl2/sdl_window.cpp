#include "platform/sdl2/sdl_window.h"

#include <algorithm>
#include <cstring>

namespace platform::sdl2 {

SdlWindow::~SdlWindow() {
  if (native_) SDL_DestroyWindow(native_);
}

int SdlWindow::ClientWidth() const {
  if (fillsScreen_) return clientWidth;
  int w = 0, h = 0;
  SDL_GetWindowSize(native_, &w, &h);
  return w / scale_;
}

int SdlWindow::ClientHeight() const {
  if (fillsScreen_) return clientHeight;
  int w = 0, h = 0;
  SDL_GetWindowSize(native_, &w, &h);
  return h / scale_;
}

void SdlWindow::FillScreen(bool on) {
  fillsScreen_ = on;
  filled_ = nullptr;  // the next surface is placed and filled anew
}

SDL_Surface* SdlWindow::Surface() {
  SDL_Surface* surface = SDL_GetWindowSurface(native_);  // cached by SDL; renewed after a resize
  if (!surface || (surface == filled_ && surface->w == filledWidth_ && surface->h == filledHeight_)) return surface;
  filled_ = surface;
  filledWidth_ = surface->w;
  filledHeight_ = surface->h;
  // A window shows what of the client area the window manager left it room for.
  fit_ = fillsScreen_ ? PictureFit::Filling(clientWidth, clientHeight, surface->w, surface->h)
                      : PictureFit::Scaled(surface->w / scale_, surface->h / scale_, scale_);
  if (fillsScreen_) SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
  if (background_) {
    const Uint32 colour = SDL_MapRGB(surface->format, static_cast<Uint8>(*background_ >> 16),
                                     static_cast<Uint8>(*background_ >> 8), static_cast<Uint8>(*background_));
    SDL_Rect client{fit_.Left(), fit_.Top(), fit_.Width(), fit_.Height()};
    SDL_FillRect(surface, fillsScreen_ ? &client : nullptr, colour);
  }
  return surface;
}

bool SdlWindow::PicturePointOf(int x, int y, int* pictureX, int* pictureY) {
  if (!Surface()) return false;
  // Window coordinates are surface pixels here: the window has no high-density backing.
  const int column = x - fit_.Left(), row = y - fit_.Top();
  if (column < 0 || row < 0 || column >= fit_.Width() || row >= fit_.Height()) return false;
  *pictureX = fit_.ColumnSource(column);
  *pictureY = fit_.RowSource(row);
  return true;
}

void SdlWindow::Repaint() {
  if (Surface()) SDL_UpdateWindowSurface(native_);
}

bool SdlWindow::PresentPixels(const uint32_t* pixels, int pitch, const RECT& source, const RECT& destination) {
  SDL_Surface* surface = Surface();
  if (!surface || !pixels) return false;
  // Clip to the client area the surface shows.
  const int left = std::max<int>(destination.left, 0), top = std::max<int>(destination.top, 0);
  const int right = std::min<int>(destination.right, fit_.PictureWidth());
  const int bottom = std::min<int>(destination.bottom, fit_.PictureHeight());
  if (right <= left || bottom <= top) return true;  // nothing visible to update
  // The screen pixels that show [left, right) × [top, bottom), counted from the client area's corner.
  int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  fit_.ColumnsShowing(left, right, &x0, &x1);
  fit_.RowsShowing(top, bottom, &y0, &y1);
  if (x1 <= x0 || y1 <= y0) return true;
  const int w = x1 - x0, h = y1 - y0;
  // Client pixel (x, y) of the presented rectangle is pixels[y * pitch + x] from here.
  const ptrdiff_t originOffset =
      static_cast<ptrdiff_t>(source.top - destination.top) * pitch + (source.left - destination.left);
  auto clientPixel = [&](int x, int y) { return pixels + (originOffset + static_cast<ptrdiff_t>(y) * pitch + x); };
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
  uint8_t* to = static_cast<uint8_t*>(surface->pixels) + static_cast<ptrdiff_t>(fit_.Top() + y0) * surface->pitch +
                static_cast<ptrdiff_t>(fit_.Left() + x0) * surface->format->BytesPerPixel;
  const Uint32 format = surface->format->format;
  const bool sameFormat = format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888;
  bool ok = true;
  if (fit_.OneToOne()) {
    const uint32_t* from = clientPixel(left, top);
    if (sameFormat) {
      for (int y = 0; y < h; ++y)
        std::memcpy(to + static_cast<ptrdiff_t>(y) * surface->pitch, from + static_cast<ptrdiff_t>(y) * pitch,
                    static_cast<size_t>(w) * 4);
    } else {
      ok = SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_ARGB8888, from, pitch * 4, format, to, surface->pitch) == 0;
    }
  } else {
    // Each screen row from its nearest client row, built once for the screen rows that repeat it.
    stretched_.resize(static_cast<size_t>(w));
    int built = -1;
    for (int y = 0; y < h && ok; ++y) {
      const int row = fit_.RowSource(y0 + y);
      if (row != built) {
        const uint32_t* from = clientPixel(0, row);
        for (int x = 0; x < w; ++x) stretched_[x] = from[fit_.ColumnSource(x0 + x)];
        built = row;
      }
      uint8_t* out = to + static_cast<ptrdiff_t>(y) * surface->pitch;
      if (sameFormat)
        std::memcpy(out, stretched_.data(), static_cast<size_t>(w) * 4);
      else
        ok = SDL_ConvertPixels(w, 1, SDL_PIXELFORMAT_ARGB8888, stretched_.data(), w * 4, format, out,
                               surface->pitch) == 0;
    }
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  SDL_Rect area{fit_.Left() + x0, fit_.Top() + y0, w, h};
  return ok && SDL_UpdateWindowSurfaceRects(native_, &area, 1) == 0;
}

}  // namespace platform::sdl2
