// The scene's own colours, A8R8G8B8: the picture's background, the origin, the axes, the ranges' box
// and the white of the rows and the text. The GIF palette keeps them exact. Nothing else here.
#pragma once

#include <cstdint>

namespace viewer {

inline constexpr uint32_t kBackgroundColour = 0xFF140000u;  // a very dark red
inline constexpr uint32_t kOriginColour = 0xFF000000u;
inline constexpr uint32_t kAxesColour = 0xFF008040u;
inline constexpr uint32_t kBoxColour = 0xFF808080u;
inline constexpr uint32_t kWhiteColour = 0xFFFFFFFFu;

}  // namespace viewer
