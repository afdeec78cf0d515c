// make_font OUT.dds — draws the viewer's font texture from the glyph pictures of font_glyphs.cpp and
// writes it as an uncompressed A8R8G8B8 DDS with one level. Each glyph goes to the cell that
// viewer/glyph_map gives its character, once as drawn (small) and once with every pixel doubled
// (large); lit pixels are opaque white, everything else transparent black.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "font_glyphs.h"
#include "viewer/glyph_map.h"

namespace {

constexpr int kWidth = 512;
constexpr int kHeight = 128;
constexpr uint32_t kLit = 0xFFFFFFFFu;

// Every character of the glyph table; the last three have small glyphs only.
std::string TableCharacters() {
  std::string all = " ";
  for (char c = 'A'; c <= 'Z'; ++c) all += c;
  for (char c = 'a'; c <= 'z'; ++c) all += c;
  for (char c = '0'; c <= '9'; ++c) all += c;
  return all + viewer::kGlyphPunctuation;
}

void DrawGlyph(std::vector<uint32_t>& pixels, const font::GlyphBitmap& glyph, const RECT& cell,
               int scale) {
  for (int row = 0; row < font::kGlyphSize * scale; ++row) {
    for (int column = 0; column < font::kGlyphSize * scale; ++column) {
      if (glyph[row / scale][column / scale]) {
        pixels[static_cast<size_t>(cell.top + row) * kWidth + cell.left + column] = kLit;
      }
    }
  }
}

void PutDword(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The 128 bytes before the pixels: magic, then the 124-byte header with its 32-byte pixel format.
std::vector<uint8_t> DdsHeader() {
  constexpr uint32_t kCaps = 0x1, kHeightFlag = 0x2, kWidthFlag = 0x4, kPitch = 0x8,
                     kPixelFormat = 0x1000;
  constexpr uint32_t kRgb = 0x40, kAlphaPixels = 0x1, kCapsTexture = 0x1000;
  std::vector<uint8_t> h;
  PutDword(h, 0x20534444u);  // "DDS "
  PutDword(h, 124);
  PutDword(h, kCaps | kHeightFlag | kWidthFlag | kPitch | kPixelFormat);
  PutDword(h, kHeight);
  PutDword(h, kWidth);
  PutDword(h, kWidth * 4);  // row pitch in bytes
  PutDword(h, 0);           // depth
  PutDword(h, 0);           // mip map count: one level
  for (int i = 0; i < 11; ++i) PutDword(h, 0);
  PutDword(h, 32);  // pixel format size
  PutDword(h, kRgb | kAlphaPixels);
  PutDword(h, 0);  // no FourCC
  PutDword(h, 32);
  PutDword(h, 0x00FF0000u);
  PutDword(h, 0x0000FF00u);
  PutDword(h, 0x000000FFu);
  PutDword(h, 0xFF000000u);
  PutDword(h, kCapsTexture);
  for (int i = 0; i < 4; ++i) PutDword(h, 0);  // caps2, caps3, caps4, reserved
  return h;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_font OUT.dds\n");
    return 2;
  }
  std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight, 0u);
  for (char c : TableCharacters()) {
    font::GlyphBitmap glyph{};
    if (!font::FindGlyphBitmap(c, glyph)) {
      std::fprintf(stderr, "make_font: no glyph picture for '%c'\n", c);
      return 1;
    }
    const auto byte = static_cast<unsigned char>(c);
    const viewer::GlyphCell small = viewer::FindGlyphCell(byte, viewer::GlyphSize::Small);
    DrawGlyph(pixels, glyph, viewer::GlyphSourceRect(small, viewer::GlyphSize::Small), 1);
    const viewer::GlyphCell large = viewer::FindGlyphCell(byte, viewer::GlyphSize::Large);
    if (c == 'A' || !(large == viewer::GlyphCell{})) {  // large-less characters map to "A"
      DrawGlyph(pixels, glyph, viewer::GlyphSourceRect(large, viewer::GlyphSize::Large), 2);
    }
  }

  std::vector<uint8_t> file = DdsHeader();
  for (uint32_t p : pixels) PutDword(file, p);

  const std::filesystem::path out = argv[1];
  std::error_code error;
  if (out.has_parent_path()) std::filesystem::create_directories(out.parent_path(), error);
  const std::string temp = out.string() + ".tmp";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) {
    std::perror(("make_font: " + temp).c_str());
    return 1;
  }
  const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  if (std::fclose(f) != 0 || !written) {
    std::fprintf(stderr, "make_font: could not write %s\n", temp.c_str());
    std::remove(temp.c_str());
    return 1;
  }
  std::filesystem::rename(temp, out, error);
  if (error) {
    std::fprintf(stderr, "make_font: could not write %s: %s\n", out.string().c_str(),
                 error.message().c_str());
    return 1;
  }
  return 0;
}
