// Character to glyph cell of the font texture.
#include "viewer/glyph_map.h"

namespace viewer {

GlyphCell FindGlyphCell(unsigned char c, GlyphSize size) {
  constexpr int kPunctuationCount = static_cast<int>(sizeof kGlyphPunctuation) - 1;
  const int usable = size == GlyphSize::Large ? kPunctuationCount - kSmallOnlyPunctuation
                                              : kPunctuationCount;
  if (c == ' ') return {2, 0};
  for (int i = 0; i < usable; ++i) {
    if (static_cast<unsigned char>(kGlyphPunctuation[i]) == c) return {2, kFirstPunctuationColumn + i};
  }
  if (c >= 'A' && c <= 'Z') return {0, c - 'A'};
  if (c >= 'a' && c <= 'z') return {1, c - 'a'};
  if (c >= '0' && c <= '9') return {2, c - '0' + 1};
  return {0, 0};
}

RECT GlyphSourceRect(GlyphCell cell, GlyphSize size) {
  if (size == GlyphSize::Large) {
    const LONG left = cell.column * kLargeGlyphPitch;
    const LONG top = cell.row * kLargeGlyphPitch;
    return {left, top, left + kLargeGlyphPixels, top + kLargeGlyphPixels};
  }
  const LONG left = cell.column * kSmallGlyphPitch;
  const LONG top = kSmallGlyphTop + cell.row * kSmallGlyphPitch;
  return {left, top, left + kSmallGlyphPixels, top + kSmallGlyphPixels};
}

}  // namespace viewer
