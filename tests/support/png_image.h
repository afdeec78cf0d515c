// Reads PNG pictures back for tests (stb_image, whatever the encoder chose: palette or RGB) and
// compares two pictures pixel by pixel. Paired with png_image.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct RgbImage {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB, row by row
  uint32_t Pixel(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool Empty() const { return pixels.empty(); }
};

// The picture, or an empty one when the file is missing or no PNG.
RgbImage ReadPng(const std::string& path);
RgbImage DecodePng(const std::vector<uint8_t>& bytes);

// "" when both have the same size and pixels; otherwise what differs first and how many differ.
std::string CompareImages(const RgbImage& actual, const RgbImage& expected);

}  // namespace testsupport
