// Pictures of few colours as palette indices: the scene's pictures hold a handful (background, white,
// the axes, black) and PNG and GIF both store them a byte a pixel. Paired with colour_palette.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace render {

// The index of every pixel of the `width` × `height` picture (rows `pitch` pixels apart; alpha is
// ignored) in `palette` (0x00RRGGBB, replaced, in order of first appearance), written to `indices`
// with rows `indexPitch` bytes apart. False, leaving the rest unwritten, at a 257th colour.
bool IndexByExactPalette(const uint32_t* pixels, int width, int height, int pitch, uint8_t* indices,
                         size_t indexPitch, std::vector<uint32_t>& palette);

}  // namespace render
