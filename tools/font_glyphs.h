// The project's own 8 x 8 glyph pictures, from which tools/make_font draws the font texture.
// 'X' is a lit pixel, '.' a clear one; row 0 is the top. Letters stand in columns 1-5 with their
// base line on row 6, so neighbouring glyphs keep two clear columns between them; descenders use row 7.
#pragma once

#include <array>
#include <cstddef>

namespace font {

inline constexpr int kGlyphSize = 8;

// One glyph as lit pixels, [row][column].
using GlyphBitmap = std::array<std::array<bool, kGlyphSize>, kGlyphSize>;

// Pictures are kept side by side in blocks: glyph i of a block takes columns 9i to 9i + 7 of
// each row string (one space between glyphs).
struct GlyphPictureBlock {
  const char* characters;
  const char* rows[kGlyphSize];
};

extern const GlyphPictureBlock kGlyphPictures[];
extern const std::size_t kGlyphPictureBlockCount;

// The picture of `c`; false when the project has none.
bool FindGlyphBitmap(char c, GlyphBitmap& out);

}  // namespace font
