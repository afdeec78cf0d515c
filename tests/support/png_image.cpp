#include "png_image.h"

#include <stb/stb_image.h>

#include <cstdio>

#include "temp_dir.h"

namespace testsupport {

RgbImage DecodePng(const std::vector<uint8_t>& bytes) {
  RgbImage image;
  int w = 0, h = 0, channels = 0;
  stbi_uc* data = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels, 3);
  if (!data) return image;
  image.width = w;
  image.height = h;
  image.pixels.resize(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < image.pixels.size(); ++i)
    image.pixels[i] = (uint32_t{data[3 * i]} << 16) | (uint32_t{data[3 * i + 1]} << 8) | data[3 * i + 2];
  stbi_image_free(data);
  return image;
}

RgbImage ReadPng(const std::string& path) {
  const std::string text = ReadFile(path);
  return DecodePng(std::vector<uint8_t>(text.begin(), text.end()));
}

std::string CompareImages(const RgbImage& actual, const RgbImage& expected) {
  char line[160];
  if (actual.width != expected.width || actual.height != expected.height) {
    std::snprintf(line, sizeof line, "size %d x %d, expected %d x %d", actual.width, actual.height, expected.width,
                  expected.height);
    return line;
  }
  long differing = 0;
  std::string first;
  for (int y = 0; y < actual.height; ++y)
    for (int x = 0; x < actual.width; ++x)
      if (actual.Pixel(x, y) != expected.Pixel(x, y)) {
        if (differing++ == 0) {
          std::snprintf(line, sizeof line, "first at (%d, %d): %06x, expected %06x", x, y, actual.Pixel(x, y),
                        expected.Pixel(x, y));
          first = line;
        }
      }
  if (differing == 0) return "";
  return std::to_string(differing) + " pixels differ; " + first;
}

}  // namespace testsupport
