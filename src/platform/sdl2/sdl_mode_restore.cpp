#include "platform/sdl2/sdl_mode_restore.h"

#include <SDL.h>

#include <cstring>

namespace platform::sdl2 {

namespace {

bool Shows(int display, const posix::KeptMode& kept) {
  SDL_DisplayMode now;
  return SDL_GetCurrentDisplayMode(display, &now) == 0 && now.w == kept.width && now.h == kept.height;
}

}  // namespace

bool RestoreDisplayMode(const posix::KeptMode& kept) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // A full-screen window that loses the focus would be minimised, which also leaves its mode.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
  // A headless driver (the program's own choice, or SDL's when the display has gone) has no mode to
  // give back.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) return true;
  const int display = kept.display < SDL_GetNumVideoDisplays() ? kept.display : 0;
  // The program gave it back itself, or the display never left it (a driver that only pretends).
  if (Shows(display, kept)) return true;
  SDL_DisplayMode wanted{0, kept.width, kept.height, kept.refreshHz, nullptr}, offered;
  if (!SDL_GetClosestDisplayMode(display, &wanted, &offered) || offered.w != kept.width || offered.h != kept.height)
    return false;
  // SDL changes a display's mode only for a full-screen window, when it is shown: a bare window of
  // the mode's size, made full-screen hidden, then shown.
  SDL_Window* window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED_DISPLAY(display),
                                        SDL_WINDOWPOS_UNDEFINED_DISPLAY(display), kept.width, kept.height,
                                        SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
  if (!window || SDL_SetWindowDisplayMode(window, &offered) != 0 ||
      SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0)
    return false;
  SDL_ShowWindow(window);
  return Shows(display, kept);
}

}  // namespace platform::sdl2
