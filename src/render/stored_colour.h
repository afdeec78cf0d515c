// What a back buffer of a given format holds: the A8R8G8B8 colours the pixel stage works out, cut to
// the format's channel depths and read back as Direct3D reads them (each channel's bits repeated to
// fill eight). The colour buffer itself stays at eight bits a channel for every format; a format of
// fewer bits is honoured wherever a stored colour is read (blending, presenting, reading the picture
// back), which gives exactly what a buffer of that format would hold, since holding a held colour
// changes nothing. Paired with stored_colour.cpp.
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

 private:
  bool exact_ = true;
  std::array<uint8_t, 256> r_{}, g_{}, b_{}, a_{};
};

}  // namespace render
