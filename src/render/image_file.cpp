// Texture files other than DDS (PNG, JPEG, BMP, TGA) through stb_image, and the resampling helpers
// used for requested sizes and mip chains.
#include <climits>
#include <cstring>
#include <new>

#include <stb/stb_image.h>

#include "render/image.h"

namespace render {
namespace {

// stb_image trusts PNG chunk lengths and grows its buffer to each declared length, so a file that
// lies about one would make it allocate up to 2 GB. Every chunk must fit inside the file.
bool PngChunksFit(const uint8_t* data, size_t size) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) return true;  // not a PNG
  size_t offset = 8;
  while (offset + 12 <= size) {
    const uint64_t length = (uint64_t{data[offset]} << 24) | (uint64_t{data[offset + 1]} << 16) |
                            (uint64_t{data[offset + 2]} << 8) | data[offset + 3];
    if (offset + 12 + length > size) return false;
    if (std::memcmp(data + offset + 4, "IEND", 4) == 0) return true;
    offset += 12 + static_cast<size_t>(length);
  }
  return offset == size;
}

// stb_image would also try PNM, PSD, GIF, HDR and PIC on anything it is given, and its PNM reader
// runs past the end of a short file that declares a large image. Only the formats a texture file may
// be are handed to it: PNG, JPEG and BMP by their signatures, and TGA (which has none) by a plausible
// header: colour-map type 0 or 1 and a known image type.
bool IsDecodableImageType(const uint8_t* data, size_t size) {
  if (size >= 8 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G') return true;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return true;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return true;
  if (size < 18) return false;
  const uint8_t colourMapType = data[1], imageType = data[2];
  const bool knownType = imageType == 1 || imageType == 2 || imageType == 3 || imageType == 9 ||
                         imageType == 10 || imageType == 11;
  return colourMapType <= 1 && knownType;
}

}  // namespace

bool DecodeImageFile(const uint8_t* data, size_t size, DecodedImage& out, std::string& error) {
  if (!data || size < 4) {
    error = "file too short for an image";
    return false;
  }
  if (data[0] == 'D' && data[1] == 'D' && data[2] == 'S' && data[3] == ' ') return DecodeDds(data, size, out, error);
  if (size > static_cast<size_t>(INT_MAX)) {
    error = "image file too large";
    return false;
  }
  if (!IsDecodableImageType(data, size)) {
    error = "unrecognised image file";
    return false;
  }
  if (!PngChunksFit(data, size)) {
    error = "PNG chunk runs past the end of the file";
    return false;
  }
  const int length = static_cast<int>(size);
  int w = 0, h = 0, channels = 0;
  // Read the size first so that a lying header cannot make the decoder allocate a giant image.
  if (!stbi_info_from_memory(data, length, &w, &h, &channels)) {
    error = "unrecognised image file";
    return false;
  }
  if (w <= 0 || h <= 0 || static_cast<uint32_t>(w) > kMaxImageSide || static_cast<uint32_t>(h) > kMaxImageSide ||
      uint64_t(w) * uint64_t(h) > kMaxImageTexels) {
    error = "image is too large";
    return false;
  }
  int dw = 0, dh = 0, dc = 0;
  stbi_uc* pixels = stbi_load_from_memory(data, length, &dw, &dh, &dc, 4);
  if (!pixels) {
    error = std::string("image decoding failed: ") + (stbi_failure_reason() ? stbi_failure_reason() : "unknown");
    return false;
  }
  bool ok = dw == w && dh == h;
  if (ok) {
    try {
      out.levels.assign(1, ImageLevel{});
      ImageLevel& level = out.levels[0];
      level.width = static_cast<uint32_t>(w);
      level.height = static_cast<uint32_t>(h);
      level.texels.resize(static_cast<size_t>(w) * h);
      for (size_t i = 0; i < level.texels.size(); ++i) {
        const stbi_uc* p = pixels + 4 * i;
        level.texels[i] = (uint32_t{p[3]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
      }
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  stbi_image_free(pixels);
  if (!ok) {
    error = "image decoding failed";
    return false;
  }
  out.fileFormat = channels == 4 || channels == 2 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  // D3DXIFF_* codes from the file's first bytes.
  if (data[0] == 0x89 && data[1] == 'P') out.fileType = 3;
  else if (data[0] == 0xFF && data[1] == 0xD8) out.fileType = 1;
  else if (data[0] == 'B' && data[1] == 'M') out.fileType = 0;
  else out.fileType = 2;
  return true;
}

ImageLevel ResizeLevel(const ImageLevel& src, uint32_t width, uint32_t height, bool pointFilter) {
  ImageLevel out;
  out.width = width;
  out.height = height;
  out.texels.resize(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    // The source footprint of destination texel (x, y): at least one texel.
    uint32_t y0 = static_cast<uint32_t>(uint64_t{y} * src.height / height);
    uint32_t y1 = static_cast<uint32_t>(uint64_t{y + 1} * src.height / height);
    if (y1 <= y0) y1 = y0 + 1;
    if (pointFilter) y1 = y0 + 1;
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t x0 = static_cast<uint32_t>(uint64_t{x} * src.width / width);
      uint32_t x1 = static_cast<uint32_t>(uint64_t{x + 1} * src.width / width);
      if (x1 <= x0) x1 = x0 + 1;
      if (pointFilter) x1 = x0 + 1;
      uint64_t sum[4] = {0, 0, 0, 0};
      for (uint32_t sy = y0; sy < y1; ++sy)
        for (uint32_t sx = x0; sx < x1; ++sx) {
          const uint32_t t = src.texels[static_cast<size_t>(sy) * src.width + sx];
          for (int c = 0; c < 4; ++c) sum[c] += (t >> (8 * c)) & 0xFF;
        }
      const uint64_t n = uint64_t{y1 - y0} * (x1 - x0);
      uint32_t t = 0;
      for (int c = 0; c < 4; ++c) t |= static_cast<uint32_t>((sum[c] + n / 2) / n) << (8 * c);
      out.texels[static_cast<size_t>(y) * width + x] = t;
    }
  }
  return out;
}

ImageLevel HalveLevel(const ImageLevel& src, bool pointFilter) {
  return ResizeLevel(src, src.width > 1 ? src.width / 2 : 1, src.height > 1 ? src.height / 2 : 1, pointFilter);
}

}  // namespace render
