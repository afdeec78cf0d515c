// The SDL main window: a WindowObject whose present target is the window surface.
#pragma once

#include <SDL.h>

#include "platform/backend.h"

namespace platform::sdl2 {

class SdlWindow : public WindowObject, public PresentTarget {
 public:
  explicit SdlWindow(SDL_Window* native) : native_(native) {}
  ~SdlWindow() override;
  SdlWindow(const SdlWindow&) = delete;
  SdlWindow& operator=(const SdlWindow&) = delete;

  SDL_Window* Native() const { return native_; }
  uint32_t Id() const { return SDL_GetWindowID(native_); }

  // Copies the rectangle into the window surface (converting the pixel format if the surface is not
  // 32-bit XRGB) and shows that rectangle.
  bool PresentPixels(const uint32_t* pixels, int pitch, const RECT& source, const RECT& destination) override;
  int ClientWidth() const override;
  int ClientHeight() const override;

 private:
  SDL_Window* native_;
};

}  // namespace platform::sdl2
