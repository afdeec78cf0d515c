#include "platform/display_modes.h"

#include <cstdlib>

namespace platform {

bool RunsAt(int refreshHz, int wantedHz) { return refreshHz > 0 && std::abs(refreshHz - wantedHz) <= 1; }

std::optional<DisplayMode> ChooseFullScreenMode(const std::vector<DisplayMode>& offered, const DisplayMode& desktop,
                                                int width, int height, int wantedHz) {
  // A rate asked for must be had; with none asked for, the desktop's rate is the least surprise.
  const auto fits = [&](const DisplayMode& m) {
    return wantedHz == 0 || RunsAt(m.refreshHz, wantedHz);
  };
  const DisplayMode* pictureSized = nullptr;
  for (const DisplayMode& m : offered) {
    if (m.width != width || m.height != height || !fits(m)) continue;
    if (!pictureSized || (m.refreshHz == desktop.refreshHz && pictureSized->refreshHz != desktop.refreshHz))
      pictureSized = &m;
  }
  if (pictureSized) return *pictureSized;
  if (fits(desktop)) return desktop;
  return std::nullopt;
}

}  // namespace platform
