// What a back buffer of a given format holds: the A8R8G8B8 colours the pixel stage works out, cut to
// the format's channel depths and read back as Direct3D reads them (each channel's bits repeated to
// fill eight). The colour buffer itself stays at eight bits a channel for every format; a format of
// fewer bits is honoured wherever a stored colour is read (blending, presenting, reading the picture
// back), which gives exactly what a buffer of that format would hold, since holding a held colour
// changes nothing. A dithered write (DITHERENABLE) stores a held colour at once, chosen by the pixel's
// place. Paired with stored_colour.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "render/d3d8.h"

namespace render {

class StoredColour {
 public:
  // R5G6B5, X1R5G5B5 and A1R5G5B5 cut their channels; A8R8G8B8, X8R8G8B8 and anything else hold
  // every colour as it is (X8R8G8B8 keeps the alpha byte it is given, as it always has here).
  explicit StoredColour(D3DFORMAT format = D3DFMT_A8R8G8B8);

  // Whether every colour is held as it is.
  bool Exact() const { return exact_; }

  // The colour a buffer of this format reads back after `colour` was written to it.
  uint32_t Held(uint32_t colour) const {
    return static_cast<uint32_t>(a_[colour >> 24]) << 24 | static_cast<uint32_t>(r_[(colour >> 16) & 0xFF]) << 16 |
           static_cast<uint32_t>(g_[(colour >> 8) & 0xFF]) << 8 | static_cast<uint32_t>(b_[colour & 0xFF]);
  }

  // Held for `count` colours, in place.
  void Hold(uint32_t* colours, size_t count) const;

  // What a buffer of this format holds after `colour` was written to pixel (x, y) with dithering: each
  // colour channel takes the held value just below or just above it, above where the pixel's threshold
  // in a 4 × 4 ordered (Bayer) pattern is under the channel's fraction of the way between them, so an
  // area of one colour averages to it. A held value stays as it is (blending over a dithered picture
  // adds no noise); alpha is held as without dithering. A format that holds every colour keeps it.
  uint32_t Dithered(uint32_t colour, int x, int y) const;

  // The held values around each eight-bit value of one channel.
  struct Between {
    uint8_t below, above;
  };

 private:
  bool exact_ = true;
  std::array<uint8_t, 256> r_{}, g_{}, b_{}, a_{};
  std::array<Between, 256> rBetween_{}, gBetween_{}, bBetween_{};
};

}  // namespace render
