#include "render/colour_palette.h"

#include <cstring>

namespace render {

bool IndexByExactPalette(const uint32_t* pixels, int width, int height, int pitch, uint8_t* indices,
                         size_t indexPitch, std::vector<uint32_t>& palette) {
  palette.clear();
  // Runs of one colour are the rule, so the last colour seen answers most lookups; a small table
  // indexed by a hash of the colour answers the rest.
  int16_t slots[1024];
  std::memset(slots, 0xFF, sizeof slots);
  uint32_t lastColour = 0xFFFFFFFFu;  // no pixel has this value once alpha is masked off
  uint8_t lastIndex = 0;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = indices + indexPitch * static_cast<size_t>(y);
    const uint32_t* source = pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch);
    for (int x = 0; x < width; ++x) {
      const uint32_t colour = source[x] & 0x00FFFFFFu;
      if (colour != lastColour) {
        uint32_t slot = (colour * 2654435761u) >> 22;
        while (slots[slot] >= 0 && palette[static_cast<size_t>(slots[slot])] != colour) slot = (slot + 1) & 1023;
        if (slots[slot] < 0) {
          if (palette.size() == 256) return false;
          slots[slot] = static_cast<int16_t>(palette.size());
          palette.push_back(colour);
        }
        lastColour = colour;
        lastIndex = static_cast<uint8_t>(slots[slot]);
      }
      row[x] = lastIndex;
    }
  }
  return true;
}

}  // namespace render
