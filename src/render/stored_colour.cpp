#include "render/stored_colour.h"

namespace render {
namespace {

// One channel of `bits` bits: an eight-bit value goes to the nearest of the 2^bits levels, and the
// level reads back with its bits repeated (level 2 of five bits, 00010, reads as 00010000 | 000 = 16).
// No bits at all: the channel is not stored and reads as full, as a missing alpha does.
std::array<uint8_t, 256> Channel(int bits) {
  std::array<uint8_t, 256> table{};
  const int top = (1 << bits) - 1;
  for (int v = 0; v < 256; ++v) {
    if (bits == 0) {
      table[v] = 255;
    } else if (bits >= 8) {
      table[v] = static_cast<uint8_t>(v);
    } else {
      const int level = (v * top + 127) / 255;  // never a tie: 255 is odd
      int wide = 0;
      for (int shift = 8 - bits; shift > -bits; shift -= bits) wide |= shift >= 0 ? level << shift : level >> -shift;
      table[v] = static_cast<uint8_t>(wide);
    }
  }
  return table;
}

}  // namespace

StoredColour::StoredColour(D3DFORMAT format) {
  int a = 8, r = 8, g = 8, b = 8;
  switch (format) {
    case D3DFMT_R5G6B5: a = 0, r = 5, g = 6, b = 5; break;
    case D3DFMT_X1R5G5B5: a = 0, r = 5, g = 5, b = 5; break;
    case D3DFMT_A1R5G5B5: a = 1, r = 5, g = 5, b = 5; break;
    default: break;
  }
  exact_ = a == 8 && r == 8 && g == 8 && b == 8;
  a_ = Channel(a);
  r_ = Channel(r);
  g_ = Channel(g);
  b_ = Channel(b);
}

void StoredColour::Hold(uint32_t* colours, size_t count) const {
  if (exact_) return;
  for (size_t i = 0; i < count; ++i) colours[i] = Held(colours[i]);
}

}  // namespace render
