// Our own DDS reader. Every field is read with bounded little-endian loads; every size is computed
// in 64 bits and checked against the caps and the file length before anything is allocated.
#include <algorithm>
#include <bit>
#include <new>

#include "render/image.h"

namespace render {
namespace {

constexpr uint32_t kHeaderSize = 124, kPixelFormatSize = 32, kDataOffset = 128;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1, DDPF_ALPHA = 0x2, DDPF_FOURCC = 0x4, DDPF_RGB = 0x40,
                   DDPF_LUMINANCE = 0x20000;
constexpr uint32_t DDSCAPS2_CUBEMAP = 0x200, DDSCAPS2_VOLUME = 0x200000;

uint32_t Read32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// One colour channel described by a bit mask.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  bool Set(uint32_t m, uint32_t bitCount) {
    mask = m;
    if (m == 0) return true;
    shift = std::countr_zero(m);
    const uint32_t bits = static_cast<uint32_t>(std::popcount(m));
    if ((m >> shift) != ((bits == 32) ? 0xFFFFFFFFu : ((1u << bits) - 1))) return false;  // not contiguous
    if (shift + bits > bitCount) return false;                                            // wider than the texel
    max = (bits == 32) ? 0xFFFFFFFFu : ((1u << bits) - 1);
    return true;
  }
  uint32_t Get(uint32_t texel) const {
    if (mask == 0) return 0;
    const uint64_t v = (texel & mask) >> shift;
    return static_cast<uint32_t>((v * 255 + max / 2) / max);
  }
};

struct MaskFormat {
  uint32_t bitCount = 0;
  Channel r, g, b, a;
  bool luminance = false, hasAlpha = false;
};

bool ParseMaskFormat(uint32_t flags, uint32_t bitCount, uint32_t rm, uint32_t gm, uint32_t bm, uint32_t am,
                     MaskFormat& f, D3DFORMAT& fileFormat, std::string& error) {
  if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
    error = "unsupported bits per texel";
    return false;
  }
  f.bitCount = bitCount;
  f.hasAlpha = (flags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) && am != 0;
  // Luminance files, including those written with the RGB flag and only the first mask set.
  f.luminance = (flags & DDPF_LUMINANCE) || ((flags & DDPF_RGB) && rm != 0 && gm == 0 && bm == 0);
  const bool alphaOnly = (flags & DDPF_ALPHA) && !(flags & (DDPF_RGB | DDPF_LUMINANCE));
  if (!(flags & (DDPF_RGB | DDPF_LUMINANCE)) && !alphaOnly) {
    error = "pixel format is neither RGB, luminance nor alpha";
    return false;
  }
  if (!f.r.Set(alphaOnly ? 0 : rm, bitCount) || !f.g.Set(f.luminance || alphaOnly ? 0 : gm, bitCount) ||
      !f.b.Set(f.luminance || alphaOnly ? 0 : bm, bitCount) || !f.a.Set(f.hasAlpha ? am : 0, bitCount)) {
    error = "bad channel masks";
    return false;
  }
  const uint32_t used[4] = {f.r.mask, f.g.mask, f.b.mask, f.a.mask};
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j)
      if (used[i] & used[j]) {
        error = "overlapping channel masks";
        return false;
      }
  if (!f.hasAlpha && f.r.mask == 0 && f.g.mask == 0 && f.b.mask == 0) {
    error = "pixel format without channels";
    return false;
  }
  if (alphaOnly) fileFormat = D3DFMT_A8;
  else if (f.luminance) fileFormat = f.hasAlpha ? D3DFMT_A8L8 : D3DFMT_L8;
  else if (bitCount == 32) fileFormat = f.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  else if (bitCount == 24) fileFormat = D3DFMT_R8G8B8;
  else if (bitCount == 16 && f.g.mask == 0x07E0) fileFormat = D3DFMT_R5G6B5;
  else if (bitCount == 16 && f.r.mask == 0x0F00) fileFormat = f.hasAlpha ? D3DFMT_A4R4G4B4 : D3DFMT_X4R4G4B4;
  else if (bitCount == 16) fileFormat = f.hasAlpha ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
  else fileFormat = D3DFMT_UNKNOWN;
  return true;
}

void DecodeMaskLevel(const uint8_t* p, const MaskFormat& f, ImageLevel& level) {
  const uint32_t bytes = f.bitCount / 8;
  for (size_t i = 0; i < level.texels.size(); ++i, p += bytes) {
    uint32_t t = 0;
    for (uint32_t k = 0; k < bytes; ++k) t |= uint32_t{p[k]} << (8 * k);
    uint32_t r, g, b;
    if (f.luminance) r = g = b = f.r.Get(t);
    else { r = f.r.Get(t); g = f.g.Get(t); b = f.b.Get(t); }
    const uint32_t a = f.hasAlpha ? f.a.Get(t) : 255;
    level.texels[i] = (a << 24) | (r << 16) | (g << 8) | b;
  }
}

uint32_t Expand565(uint16_t c) {
  const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

uint32_t Mix(uint32_t c0, uint32_t c1, uint32_t w0, uint32_t w1) {
  uint32_t out = 0;
  for (int s = 0; s < 24; s += 8) {
    const uint32_t v = (((c0 >> s) & 0xFF) * w0 + ((c1 >> s) & 0xFF) * w1 + (w0 + w1) / 2) / (w0 + w1);
    out |= v << s;
  }
  return out;
}

// Decodes the colour half of a DXT block into 16 A8R8G8B8 texels (alpha 255 or 0 for the 3-colour key).
void DecodeColourBlock(const uint8_t* p, bool allowThreeColour, uint32_t out[16]) {
  const uint16_t c0 = static_cast<uint16_t>(p[0] | (p[1] << 8)), c1 = static_cast<uint16_t>(p[2] | (p[3] << 8));
  const uint32_t e0 = Expand565(c0), e1 = Expand565(c1);
  uint32_t palette[4];
  palette[0] = 0xFF000000u | e0;
  palette[1] = 0xFF000000u | e1;
  if (c0 > c1 || !allowThreeColour) {
    palette[2] = 0xFF000000u | Mix(e0, e1, 2, 1);
    palette[3] = 0xFF000000u | Mix(e0, e1, 1, 2);
  } else {
    palette[2] = 0xFF000000u | Mix(e0, e1, 1, 1);
    palette[3] = 0x00000000u;  // transparent black
  }
  const uint32_t indices = Read32(p + 4);
  for (int k = 0; k < 16; ++k) out[k] = palette[(indices >> (2 * k)) & 3];
}

void DecodeBlockLevel(const uint8_t* p, D3DFORMAT format, ImageLevel& level) {
  const uint32_t bw = (level.width + 3) / 4, bh = (level.height + 3) / 4;
  const uint32_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
  uint32_t texels[16];
  for (uint32_t by = 0; by < bh; ++by) {
    for (uint32_t bx = 0; bx < bw; ++bx, p += blockBytes) {
      if (format == D3DFMT_DXT1) {
        DecodeColourBlock(p, true, texels);
      } else {
        DecodeColourBlock(p + 8, false, texels);
        uint32_t alpha[16];
        if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
          for (int k = 0; k < 16; ++k) alpha[k] = ((p[k / 2] >> (4 * (k % 2))) & 0xF) * 17;
        } else {
          const uint32_t a0 = p[0], a1 = p[1];
          uint32_t values[8] = {a0, a1};
          if (a0 > a1) {
            for (uint32_t i = 1; i < 7; ++i) values[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
          } else {
            for (uint32_t i = 1; i < 5; ++i) values[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
            values[6] = 0;
            values[7] = 255;
          }
          uint64_t bits = 0;
          for (int i = 0; i < 6; ++i) bits |= uint64_t{p[2 + i]} << (8 * i);
          for (int k = 0; k < 16; ++k) alpha[k] = values[(bits >> (3 * k)) & 7];
        }
        for (int k = 0; k < 16; ++k) texels[k] = (texels[k] & 0x00FFFFFFu) | (alpha[k] << 24);
      }
      // Edge blocks of sizes that are not multiples of 4 carry padding texels: keep only the image.
      for (uint32_t y = 0; y < 4; ++y) {
        const uint32_t ty = by * 4 + y;
        if (ty >= level.height) break;
        for (uint32_t x = 0; x < 4; ++x) {
          const uint32_t tx = bx * 4 + x;
          if (tx >= level.width) break;
          level.texels[static_cast<size_t>(ty) * level.width + tx] = texels[y * 4 + x];
        }
      }
    }
  }
}

// What the header says about the image: its size, its levels and how their texels are stored.
struct DdsLayout {
  uint32_t width = 0, height = 0, levels = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  bool blocks = false;  // DXT blocks, else texels described by masks
  MaskFormat mask;
};

// The bytes of one level of `w` × `h` texels.
uint64_t LevelBytes(const DdsLayout& dds, uint32_t w, uint32_t h) {
  return dds.blocks ? uint64_t{(w + 3) / 4} * ((h + 3) / 4) * (dds.format == D3DFMT_DXT1 ? 8 : 16)
                    : uint64_t{w} * h * (dds.mask.bitCount / 8);
}

uint32_t NextLevelSide(uint32_t side) { return side > 1 ? side / 2 : 1; }

// The magic, the header's own sizes, the image's size and its mip levels.
bool ReadImageSize(const uint8_t* data, size_t size, DdsLayout& dds, std::string& error) {
  if (!data || size < kDataOffset) {
    error = "file too short for a DDS header";
    return false;
  }
  if (data[0] != 'D' || data[1] != 'D' || data[2] != 'S' || data[3] != ' ') {
    error = "not a DDS file";
    return false;
  }
  const uint8_t* h = data + 4;
  if (Read32(h) != kHeaderSize || Read32(h + 72) != kPixelFormatSize) {
    error = "DDS header sizes are wrong";
    return false;
  }
  const uint32_t height = Read32(h + 8), width = Read32(h + 12);
  if (width == 0 || height == 0) {
    error = "DDS image has no size";
    return false;
  }
  if (width > kMaxImageSide || height > kMaxImageSide || uint64_t{width} * height > kMaxImageTexels) {
    error = "DDS image is too large";
    return false;
  }
  if (Read32(h + 108) & (DDSCAPS2_CUBEMAP | DDSCAPS2_VOLUME)) {
    error = "cube and volume DDS files are not supported";
    return false;
  }
  uint32_t fullChain = 1;
  for (uint32_t w = width, hh = height; w > 1 || hh > 1; w = NextLevelSide(w), hh = NextLevelSide(hh)) ++fullChain;
  const uint32_t levels = std::max(Read32(h + 24), 1u);
  if (levels > fullChain) {
    error = "DDS claims more mip levels than its size allows";
    return false;
  }
  dds.width = width, dds.height = height, dds.levels = levels;
  return true;
}

// The pixel format: a DXT compression, or masks.
bool ReadPixelFormat(const uint8_t* h, DdsLayout& dds, std::string& error) {
  const uint32_t pfFlags = Read32(h + 76), fourCC = Read32(h + 80);
  dds.blocks = (pfFlags & DDPF_FOURCC) != 0;
  if (!dds.blocks)
    return ParseMaskFormat(pfFlags, Read32(h + 84), Read32(h + 88), Read32(h + 92), Read32(h + 96), Read32(h + 100),
                           dds.mask, dds.format, error);
  if (fourCC != D3DFMT_DXT1 && fourCC != D3DFMT_DXT2 && fourCC != D3DFMT_DXT3 && fourCC != D3DFMT_DXT4 &&
      fourCC != D3DFMT_DXT5) {
    error = "unsupported DDS compression";
    return false;
  }
  dds.format = fourCC;
  return true;
}

// Whether every claimed level is present: checked before anything is allocated.
bool HoldsEveryLevel(const DdsLayout& dds, size_t size) {
  uint64_t end = kDataOffset;
  for (uint32_t i = 0, w = dds.width, h = dds.height; i < dds.levels; ++i, w = NextLevelSide(w), h = NextLevelSide(h))
    end += LevelBytes(dds, w, h);
  return end <= size;
}

void DecodeLevels(const uint8_t* data, const DdsLayout& dds, DecodedImage& out) {
  out.levels.assign(dds.levels, ImageLevel{});
  const uint8_t* p = data + kDataOffset;
  for (uint32_t i = 0, w = dds.width, h = dds.height; i < dds.levels; ++i, w = NextLevelSide(w), h = NextLevelSide(h)) {
    ImageLevel& level = out.levels[i];
    level.width = w;
    level.height = h;
    level.texels.assign(static_cast<size_t>(w) * h, 0);
    if (dds.blocks) DecodeBlockLevel(p, dds.format, level);
    else DecodeMaskLevel(p, dds.mask, level);
    p += static_cast<size_t>(LevelBytes(dds, w, h));
  }
}

}  // namespace

bool DecodeDds(const uint8_t* data, size_t size, DecodedImage& out, std::string& error) {
  DdsLayout dds;
  if (!ReadImageSize(data, size, dds, error) || !ReadPixelFormat(data + 4, dds, error)) return false;
  if (!HoldsEveryLevel(dds, size)) {
    error = "DDS file is truncated";
    return false;
  }
  try {
    DecodeLevels(data, dds, out);
  } catch (const std::bad_alloc&) {
    error = "out of memory";
    return false;
  }
  out.fileFormat = dds.format;
  out.fileType = 4;  // D3DXIFF_DDS
  return true;
}

}  // namespace render
