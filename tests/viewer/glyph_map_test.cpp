// Which cell of the font texture each character is drawn from, in the large and the small size.
#include "viewer/glyph_map.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using viewer::FindGlyphCell;
using viewer::GlyphCell;
using viewer::GlyphSize;
using viewer::GlyphSourceRect;

void ExpectRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
  EXPECT_EQ(r.left, left);
  EXPECT_EQ(r.top, top);
  EXPECT_EQ(r.right, right);
  EXPECT_EQ(r.bottom, bottom);
}

// Row 2 of the glyph table, column by column.
const std::string kRowTwo = " 0123456789+-*/:._()[]!?><{}@";

TEST(GlyphMap, FpsReadoutUsesItsSixSmallCells) {
  const std::string text = "FPS:60";
  const GlyphCell expected[] = {{0, 5}, {0, 15}, {0, 18}, {2, 15}, {2, 7}, {2, 1}};
  for (size_t i = 0; i < text.size(); ++i) {
    EXPECT_EQ(FindGlyphCell(static_cast<unsigned char>(text[i]), GlyphSize::Small), expected[i])
        << "character " << text[i];
  }
  ExpectRect(GlyphSourceRect({0, 5}, GlyphSize::Small), 45, 64, 53, 72);
  ExpectRect(GlyphSourceRect({2, 15}, GlyphSize::Small), 135, 82, 143, 90);
}

TEST(GlyphMap, LargeMinusComesFromRowTwoColumnTwelve) {
  const GlyphCell cell = FindGlyphCell('-', GlyphSize::Large);
  EXPECT_EQ(cell, (GlyphCell{2, 12}));
  ExpectRect(GlyphSourceRect(cell, GlyphSize::Large), 204, 34, 220, 50);
}

TEST(GlyphMap, BracesAndAtSignExistOnlyInTheSmallSize) {
  const GlyphCell at = FindGlyphCell('@', GlyphSize::Small);
  EXPECT_EQ(at, (GlyphCell{2, 28}));
  ExpectRect(GlyphSourceRect(at, GlyphSize::Small), 252, 82, 260, 90);
  EXPECT_EQ(FindGlyphCell('{', GlyphSize::Small), (GlyphCell{2, 26}));
  EXPECT_EQ(FindGlyphCell('}', GlyphSize::Small), (GlyphCell{2, 27}));
  for (unsigned char c : {'@', '{', '}'}) {
    EXPECT_EQ(FindGlyphCell(c, GlyphSize::Large), (GlyphCell{0, 0})) << c;
  }
}

TEST(GlyphMap, EveryTableCharacterHasItsOwnCell) {
  for (GlyphSize size : {GlyphSize::Large, GlyphSize::Small}) {
    for (int k = 0; k < 26; ++k) {
      EXPECT_EQ(FindGlyphCell(static_cast<unsigned char>('A' + k), size), (GlyphCell{0, k}));
      EXPECT_EQ(FindGlyphCell(static_cast<unsigned char>('a' + k), size), (GlyphCell{1, k}));
    }
    const size_t columns = size == GlyphSize::Large ? 26 : 29;
    for (size_t k = 0; k < columns; ++k) {
      EXPECT_EQ(FindGlyphCell(static_cast<unsigned char>(kRowTwo[k]), size),
                (GlyphCell{2, static_cast<int>(k)}))
          << "character '" << kRowTwo[k] << "'";
    }
  }
}

TEST(GlyphMap, EveryOtherByteShowsTheGlyphOfA) {
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    if (letters.find(c) != std::string::npos) continue;
    const bool small = kRowTwo.find(c) != std::string::npos && b != 0;
    const bool large = kRowTwo.substr(0, 26).find(c) != std::string::npos && b != 0;
    if (!small) {
      EXPECT_EQ(FindGlyphCell(static_cast<unsigned char>(b), GlyphSize::Small), (GlyphCell{0, 0}))
          << "byte " << b;
    }
    if (!large) {
      EXPECT_EQ(FindGlyphCell(static_cast<unsigned char>(b), GlyphSize::Large), (GlyphCell{0, 0}))
          << "byte " << b;
    }
  }
  EXPECT_EQ(FindGlyphCell('%', GlyphSize::Large), (GlyphCell{0, 0}));
  EXPECT_EQ(FindGlyphCell(',', GlyphSize::Small), (GlyphCell{0, 0}));
  EXPECT_EQ(FindGlyphCell('\n', GlyphSize::Large), (GlyphCell{0, 0}));
}

TEST(GlyphMap, SourceRectanglesFollowTheTwoGrids) {
  // Large: 16 x 16 on a 17-pixel grid from (0, 0). Small: 8 x 8 on a 9-pixel grid from (0, 64).
  ExpectRect(GlyphSourceRect({0, 0}, GlyphSize::Large), 0, 0, 16, 16);
  ExpectRect(GlyphSourceRect({1, 25}, GlyphSize::Large), 425, 17, 441, 33);
  ExpectRect(GlyphSourceRect({2, 0}, GlyphSize::Large), 0, 34, 16, 50);
  ExpectRect(GlyphSourceRect({0, 0}, GlyphSize::Small), 0, 64, 8, 72);
  ExpectRect(GlyphSourceRect({1, 25}, GlyphSize::Small), 225, 73, 233, 81);
}

}  // namespace
