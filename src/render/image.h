// Decoded images and the decoders of texture files: our own DDS reader (dds_decoder.cpp) and
// PNG/JPEG/BMP/TGA through stb_image (image_file.cpp). Every level comes out as A8R8G8B8 texels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "render/d3d8.h"

namespace render {

// Size limits for decoded images: no side beyond 16384, no more than 64 M texels in level 0, so a
// lying header can never ask for a giant allocation.
constexpr uint32_t kMaxImageSide = 16384;
constexpr uint64_t kMaxImageTexels = uint64_t{8192} * 8192;

struct ImageLevel {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> texels;  // A8R8G8B8, rows top to bottom
};

struct DecodedImage {
  std::vector<ImageLevel> levels;  // level 0 first; DDS files may bring their own smaller levels
  D3DFORMAT fileFormat = D3DFMT_UNKNOWN;
  DWORD fileType = 0;  // D3DXIFF_* value
};

// DDS: uncompressed formats described by bit masks and DXT1/DXT2/DXT3/DXT4/DXT5. False with a reason
// for anything short, lying, truncated, oversized or unsupported; `out` is then unspecified.
bool DecodeDds(const uint8_t* data, size_t size, DecodedImage& out, std::string& error);

// Any supported texture file: DDS by its magic, else PNG, JPEG, BMP or TGA.
bool DecodeImageFile(const uint8_t* data, size_t size, DecodedImage& out, std::string& error);

// Box or point resampling and mip generation on A8R8G8B8 levels. `pointFilter` picks nearest texels.
ImageLevel ResizeLevel(const ImageLevel& src, uint32_t width, uint32_t height, bool pointFilter);
ImageLevel HalveLevel(const ImageLevel& src, bool pointFilter);

}  // namespace render
