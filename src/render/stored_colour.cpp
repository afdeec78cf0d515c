#include "render/stored_colour.h"


namespace render {
namespace {

// A level of `bits` bits read back with its bits repeated to fill eight (level 2 of five bits, 00010,
// reads as 00010000 | 000 = 16).
int Widened(int level, int bits) {
  int wide = 0;
  for (int shift = 8 - bits; shift > -bits; shift -= bits) wide |= shift >= 0 ? level << shift : level >> -shift;
  return wide;
}

// One channel of `bits` bits: an eight-bit value goes to the nearest of the 2^bits levels, read back
// widened. No bits at all: the channel is not stored and reads as full, as a missing alpha does.
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
      table[v] = static_cast<uint8_t>(Widened(level, bits));
    }
  }
  return table;
}

// For each eight-bit value, the held values of a `bits`-bit channel just below and just above it
// (both the value itself when it is held).
std::array<StoredColour::Between, 256> Betweens(int bits) {
  std::array<StoredColour::Between, 256> table{};
  if (bits == 0 || bits >= 8) {
    for (int v = 0; v < 256; ++v) table[v].below = table[v].above = static_cast<uint8_t>(bits == 0 ? 255 : v);
    return table;
  }
  const int top = (1 << bits) - 1;
  for (int level = 0, v = 0; level < top; ++level) {
    const int low = Widened(level, bits), high = Widened(level + 1, bits);
    for (; v < high; ++v) table[v] = {static_cast<uint8_t>(low), static_cast<uint8_t>(v == low ? low : high)};
  }
  table[255] = {255, 255};
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
  rBetween_ = Betweens(r);
  gBetween_ = Betweens(g);
  bBetween_ = Betweens(b);
  a_ = Channel(a);
  r_ = Channel(r);
  g_ = Channel(g);
  b_ = Channel(b);
}

uint32_t StoredColour::Dithered(uint32_t colour, int x, int y) const {
  if (exact_) return colour;
  // The thresholds, in sixteenths of the way from one held value to the next (plus a half).
  static constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const int t = kBayer[y & 3][x & 3];
  auto channel = [t](uint32_t v, const Between& between) {
    const int below = between.below, above = between.above;
    // Above when (v - below) / (above - below) > (t + 0.5) / 16.
    return static_cast<uint32_t>(32 * (static_cast<int>(v) - below) > (2 * t + 1) * (above - below) ? above : below);
  };
  const uint32_t r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
  return static_cast<uint32_t>(a_[colour >> 24]) << 24 | channel(r, rBetween_[r]) << 16 |
         channel(g, gBetween_[g]) << 8 | channel(b, bBetween_[b]);
}

void StoredColour::Hold(uint32_t* colours, size_t count) const {
  if (exact_) return;
  for (size_t i = 0; i < count; ++i) colours[i] = Held(colours[i]);
}

}  // namespace render
