// Fuzzes the texture-file decoder (DDS by our own code, other images through stb_image) and the mip
// chain built from what it decodes: any input must be rejected cleanly or decoded into consistent levels.
#include <cstddef>
#include <cstdint>
#include <string>

#include "render/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  render::DecodedImage image;
  std::string error;
  if (!render::DecodeImageFile(data, size, image, error)) return 0;
  if (image.levels.empty()) __builtin_trap();
  for (const auto& level : image.levels)
    if (level.texels.size() != static_cast<size_t>(level.width) * level.height) __builtin_trap();
  // Shrink small images all the way down, as the texture loader does for a full chain.
  render::ImageLevel level = image.levels[0];
  if (static_cast<uint64_t>(level.width) * level.height <= 4096) {
    while (level.width > 1 || level.height > 1) level = render::HalveLevel(level, (size & 1) != 0);
  }
  return 0;
}
