// A GIF's colours when a picture holds more than 256 (colour by height, fog): a palette of at most 256
// made from the colours of the pictures it is for (one for every frame of a turntable, so the frames do
// not flicker), and each picture put on it. The scene's own colours (the background, the origin's
// black, the axes, the box's grey, the text's white) are kept exactly; the rest share the other entries
// by median cut over their pixel counts, and a pixel whose colour is not in the palette takes its
// nearest entry with the error diffused to its neighbours of such colours (Floyd–Steinberg), never
// into a pixel of an exact colour, so the background stays whole. Paired with gif_palette.cpp.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "batch/scene_renderer.h"

namespace batch {

// How many pixels of each colour (0x00RRGGBB; alpha is ignored) the pictures added so far hold.
class ColourCounts {
 public:
  void Add(const Picture& picture);
  const std::unordered_map<uint32_t, uint64_t>& Counts() const { return counts_; }

 private:
  std::unordered_map<uint32_t, uint64_t> counts_;
};

// At most 256 colours for `counts`: every colour when they are that few, else the scene's own colours
// that occur and the others' median cut (each box its pixels' mean colour). The same counts always
// give the same palette.
std::vector<uint32_t> MakeGifPalette(const ColourCounts& counts);

// Puts pictures on one palette. Its nearest-entry look-ups are kept between pictures, and depend on
// the colour alone, so a frame's bytes do not depend on which frames the same worker drew before.
class GifQuantizer {
 public:
  explicit GifQuantizer(std::vector<uint32_t> palette);
  const std::vector<uint32_t>& Palette() const { return palette_; }

  // The palette index of every pixel of `picture`, rows `picture.width` bytes apart.
  void Index(const Picture& picture, uint8_t* indices);

 private:
  int ExactIndex(uint32_t colour) const;  // -1 when the colour is not in the palette
  uint8_t Nearest(int red, int green, int blue);

  std::vector<uint32_t> palette_;
  std::vector<uint32_t> slotColour_;  // an open-addressed table of the palette's colours
  std::vector<int16_t> slotIndex_;    // -1: empty
  std::vector<int16_t> nearest_;      // by the top 6 bits of each channel; -1 until looked up
};

}  // namespace batch
