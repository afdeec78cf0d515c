// The SDL main window: a WindowObject whose present target is the window surface. The surface keeps
// what was last presented and, everywhere else, the class's background, so an expose shows it again
// as it was. Full-screen, the client area is the picture scaled to fill the screen, black around it.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/backend.h"
#include "platform/picture_fit.h"

namespace platform::sdl2 {

class SdlWindow : public WindowObject, public PresentTarget {
 public:
  // `background` (0xRRGGBB): what the client area shows where nothing was presented.
  // `scale`: screen pixels a side for each picture pixel (the window is that much larger).
  SdlWindow(SDL_Window* native, std::optional<uint32_t> background, int scale = 1)
      : native_(native), background_(background), scale_(scale) {}
  ~SdlWindow() override;
  SdlWindow(const SdlWindow&) = delete;
  SdlWindow& operator=(const SdlWindow&) = delete;

  SDL_Window* Native() const { return native_; }
  uint32_t Id() const { return SDL_GetWindowID(native_); }

  // Copies the rectangle into the window surface (converting the pixel format if the surface is not
  // 32-bit XRGB; each pixel a scale × scale block, or scaled to fill the screen) and shows it.
  bool PresentPixels(const uint32_t* pixels, int pitch, const RECT& source, const RECT& destination) override;
  int ClientWidth() const override;
  int ClientHeight() const override;

  // Shows the whole surface again: on creation and whenever the window system has lost what the
  // window showed (an expose).
  void Repaint();

  // The picture pixel that window point (x, y) (SDL's window coordinates) shows; false outside the
  // picture. It follows the present's placement: a whole scale a side, or the full-screen fit.
  bool PicturePointOf(int x, int y, int* pictureX, int* pictureY);

  // Full-screen: the client area (clientWidth × clientHeight) fills the screen as far as its aspect
  // ratio allows, each screen pixel showing the nearest client pixel; the rest is black.
  void FillScreen(bool on);

 private:
  // The window surface; one SDL has just made (at the start, after a size change) is first filled with
  // the background, so only presents ever draw over it, and the picture is placed on it anew.
  SDL_Surface* Surface();

  SDL_Window* native_;
  std::optional<uint32_t> background_;
  int scale_;
  bool fillsScreen_ = false;
  PictureFit fit_;  // where the client area lies on the surface, for the surface last filled
  std::vector<uint32_t> stretched_;  // one screen row of the scaled picture
  SDL_Surface* filled_ = nullptr;  // the surface last filled, and its size
  int filledWidth_ = 0, filledHeight_ = 0;
};

}  // namespace platform::sdl2
