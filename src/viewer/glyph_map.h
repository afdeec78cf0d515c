// Where each character's glyph sits in the font texture data/font.dds, for the 16 x 16 (large) and
// 8 x 8 (small) text. The texture itself is written by tools/make_font from these same cells.
#pragma once

#include "platform/win32.h"

namespace viewer {

enum class GlyphSize { Large, Small };

// Row and column of a glyph in the table (row 0 "A"-"Z", row 1 "a"-"z", row 2 space, digits and
// punctuation).
struct GlyphCell {
  int row = 0;
  int column = 0;
  friend bool operator==(const GlyphCell&, const GlyphCell&) = default;
};

// Large cells are 16 x 16 on a 17-pixel grid from (0, 0); small cells 8 x 8 on a 9-pixel grid
// from (0, 64).
inline constexpr int kLargeGlyphPixels = 16;
inline constexpr int kLargeGlyphPitch = 17;
inline constexpr int kSmallGlyphPixels = 8;
inline constexpr int kSmallGlyphPitch = 9;
inline constexpr int kSmallGlyphTop = 64;

// The cell a byte is drawn from. Anything without a glyph of its own (control characters, bytes
// 128-255, and "{", "}", "@" in the large size) takes the cell of "A".
GlyphCell FindGlyphCell(unsigned char c, GlyphSize size);

// The cell's rectangle in texture pixels, right and bottom exclusive.
RECT GlyphSourceRect(GlyphCell cell, GlyphSize size);

// The characters of row 2 after the space and the digits, from column 11 on; the last three exist
// only in the small size.
inline constexpr char kGlyphPunctuation[] = "+-*/:._()[]!?><{}@";
inline constexpr int kFirstPunctuationColumn = 11;
inline constexpr int kSmallOnlyPunctuation = 3;

}  // namespace viewer
