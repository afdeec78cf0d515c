// Reads the viewer's 8 x 8 text back out of a screenshot. The reference glyphs come from the font
// texture the program itself draws with (build/data/font.dds): a screen cell reads as the character
// whose lit glyph pixels are exactly the cell's white pixels. Paired with screen_text.cpp.
#pragma once

#include <string>
#include <vector>

#include "xvfb_server.h"

namespace e2e {

class SmallGlyphs {
 public:
  // Loads the small glyphs of every character the font has; false when the file is not a 32-bit DDS
  // large enough to hold them.
  bool Load(const std::string& ddsPath);

  // The character whose glyph covers the 8 x 8 cell with top-left (x, y) exactly; '?' marks a cell
  // that matches no glyph (and "?" itself is a glyph, so a test compares whole strings).
  char ReadCell(const testsupport::Screenshot& shot, int x, int y) const;
  // `count` cells from (x, y), 8 pixels apart, as the text draws them.
  std::string Read(const testsupport::Screenshot& shot, int x, int y, int count) const;

 private:
  struct Glyph {
    char character;
    bool lit[8][8];
  };
  std::vector<Glyph> glyphs_;
};

// The glyph cell (row, column) of a character in the font's table, as drawn small; false for
// characters the table has no cell for.
bool GlyphCell(char c, int* row, int* column);

}  // namespace e2e
