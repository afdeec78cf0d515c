// Builds small DDS files in memory for the decoder tests: a header from its fields, then the data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rendertest {

struct DdsFields {
  uint32_t size = 124, flags = 0x1007, height = 2, width = 2, pitch = 0, depth = 0, mipCount = 0;
  uint32_t pfSize = 32, pfFlags = 0x41, fourCC = 0, bitCount = 32;
  uint32_t rMask = 0x00FF0000, gMask = 0x0000FF00, bMask = 0x000000FF, aMask = 0xFF000000;
  uint32_t caps = 0x1000, caps2 = 0;
};

inline void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string DdsHeader(const DdsFields& f) {
  std::string s = "DDS ";
  Put32(s, f.size);
  Put32(s, f.flags);
  Put32(s, f.height);
  Put32(s, f.width);
  Put32(s, f.pitch);
  Put32(s, f.depth);
  Put32(s, f.mipCount);
  for (int i = 0; i < 11; ++i) Put32(s, 0);
  Put32(s, f.pfSize);
  Put32(s, f.pfFlags);
  Put32(s, f.fourCC);
  Put32(s, f.bitCount);
  Put32(s, f.rMask);
  Put32(s, f.gMask);
  Put32(s, f.bMask);
  Put32(s, f.aMask);
  Put32(s, f.caps);
  Put32(s, f.caps2);
  for (int i = 0; i < 3; ++i) Put32(s, 0);
  return s;
}

// Texels of `bytes` bytes each, little-endian.
inline std::string Texels(const std::vector<uint32_t>& values, int bytes) {
  std::string s;
  for (uint32_t v : values)
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

inline uint32_t FourCC(const char* c) {
  return uint32_t(uint8_t(c[0])) | uint32_t(uint8_t(c[1])) << 8 | uint32_t(uint8_t(c[2])) << 16 |
         uint32_t(uint8_t(c[3])) << 24;
}

}  // namespace rendertest
