#include "screen_text.h"

#include <cstdint>
#include <cstring>

#include "temp_dir.h"

namespace e2e {

namespace {

// Row 2 of the table after the space and the ten digits.
constexpr char kPunctuation[] = "+-*/:._()[]!?><{}@";

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

}  // namespace

bool GlyphCell(char c, int* row, int* column) {
  if (c >= 'A' && c <= 'Z') {
    *row = 0, *column = c - 'A';
  } else if (c >= 'a' && c <= 'z') {
    *row = 1, *column = c - 'a';
  } else if (c == ' ') {
    *row = 2, *column = 0;
  } else if (c >= '0' && c <= '9') {
    *row = 2, *column = c - '0' + 1;
  } else if (const char* p = c ? std::strchr(kPunctuation, c) : nullptr) {
    *row = 2, *column = 11 + static_cast<int>(p - kPunctuation);
  } else {
    return false;
  }
  return true;
}

bool SmallGlyphs::Load(const std::string& ddsPath) {
  // A DDS file: "DDS ", a 124-byte header (height at 12, width at 16, bits per pixel at 88), pixels.
  std::string file = testsupport::ReadFile(ddsPath);
  if (file.size() < 128 || file.compare(0, 4, "DDS ") != 0 || Le32(file, 88) != 32) return false;
  uint32_t height = Le32(file, 12), width = Le32(file, 16);
  if (width < 260 || height < 90 || file.size() < 128 + static_cast<size_t>(width) * height * 4) return false;
  glyphs_.clear();
  std::string characters;
  for (int c = 32; c < 127; ++c) characters += static_cast<char>(c);
  for (char c : characters) {
    int row = 0, column = 0;
    if (!GlyphCell(c, &row, &column)) continue;
    Glyph g{c, {}};
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        size_t texel = static_cast<size_t>(64 + 9 * row + y) * width + 9 * column + x;
        g.lit[y][x] = static_cast<unsigned char>(file[128 + texel * 4 + 3]) != 0;  // alpha of B8G8R8A8
      }
    glyphs_.push_back(g);
  }
  return true;
}

char SmallGlyphs::ReadCell(const testsupport::Screenshot& shot, int x, int y) const {
  if (x < 0 || y < 0 || x + 8 > shot.width || y + 8 > shot.height) return '?';
  for (const Glyph& g : glyphs_) {
    bool same = true;
    for (int dy = 0; dy < 8 && same; ++dy)
      for (int dx = 0; dx < 8 && same; ++dx) same = g.lit[dy][dx] == (shot.Pixel(x + dx, y + dy) == 0xFFFFFF);
    if (same) return g.character;
  }
  return '?';
}

std::string SmallGlyphs::Read(const testsupport::Screenshot& shot, int x, int y, int count) const {
  std::string text;
  for (int i = 0; i < count; ++i) text += ReadCell(shot, x + 8 * i, y);
  return text;
}

}  // namespace e2e
