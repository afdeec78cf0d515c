// Which display mode a full-screen window uses, decided from plain numbers so it can be tested without
// a display: the picture's own size where the display offers it, else the desktop's mode with the
// picture scaled into it; and whether that mode runs at a wanted refresh rate. Paired with
// display_modes.cpp; the SDL backend feeds it the display's modes.
#pragma once

#include <optional>
#include <vector>

namespace platform {

struct DisplayMode {
  int width = 0, height = 0;
  int refreshHz = 0;  // 0: the display does not say
  bool operator==(const DisplayMode&) const = default;
};

// Whether a mode of `refreshHz` runs at `wantedHz`: one hertz either way counts, since X servers
// report 59.94 Hz as 59 or as 60. An unknown rate (0) runs at none.
bool RunsAt(int refreshHz, int wantedHz);

// The mode a full-screen window of a `width` × `height` picture uses, among the modes the display
// offers and its desktop mode. `wantedHz` 0 asks for no particular rate: a mode of the picture's size
// (at the desktop's rate when it is offered so), else the desktop mode. Otherwise only modes that run
// at `wantedHz` will do: one of the picture's size, else the desktop mode; none, when neither runs at it.
std::optional<DisplayMode> ChooseFullScreenMode(const std::vector<DisplayMode>& offered, const DisplayMode& desktop,
                                                int width, int height, int wantedHz);

}  // namespace platform
