// The font texture the build writes to data/font.dds: its DDS header, and that every glyph of the
// table sits in its cell as white pixels on transparent black, with nothing outside the cells.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "font_glyphs.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;

struct Texture {
  std::vector<uint8_t> bytes;
  uint32_t Dword(size_t offset) const {
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
           static_cast<uint32_t>(bytes[offset + 3]) << 24;
  }
  int width() const { return static_cast<int>(Dword(16)); }
  int height() const { return static_cast<int>(Dword(12)); }
  uint32_t Pixel(int x, int y) const { return Dword(128 + (static_cast<size_t>(y) * width() + x) * 4); }
};

Texture LoadFont() {
  std::ifstream in(std::string(SV_BUILD_DIR) + "/data/font.dds", std::ios::binary);
  Texture t;
  t.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return t;
}

struct Cell {
  char c;
  int left, top, size;
};

// The glyph table written out from its rows, independently of the viewer's glyph map.
std::vector<Cell> TableCells(bool large) {
  const std::string rows[3] = {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz",
                               large ? " 0123456789+-*/:._()[]!?><" : " 0123456789+-*/:._()[]!?><{}@"};
  std::vector<Cell> cells;
  for (int r = 0; r < 3; ++r) {
    for (int k = 0; k < static_cast<int>(rows[r].size()); ++k) {
      if (large) {
        cells.push_back({rows[r][k], 17 * k, 17 * r, 16});
      } else {
        cells.push_back({rows[r][k], 9 * k, 64 + 9 * r, 8});
      }
    }
  }
  return cells;
}

std::string CellPicture(const Texture& t, const Cell& cell) {
  std::string picture;
  for (int y = 0; y < cell.size; ++y) {
    for (int x = 0; x < cell.size; ++x) picture += t.Pixel(cell.left + x, cell.top + y) ? 'X' : '.';
    picture += '\n';
  }
  return picture;
}

class FontTexture : public ::testing::Test {
 protected:
  void SetUp() override {
    font_ = LoadFont();
    ASSERT_GE(font_.bytes.size(), 128u) << "build/data/font.dds is missing or short";
    ASSERT_EQ(font_.bytes.size(), 128u + static_cast<size_t>(font_.width()) * font_.height() * 4);
  }
  Texture font_;
};

TEST_F(FontTexture, HeaderDescribesOneUncompressedA8R8G8B8Level) {
  EXPECT_EQ(font_.Dword(0), 0x20534444u);  // "DDS "
  EXPECT_EQ(font_.Dword(4), 124u);
  EXPECT_EQ(font_.Dword(8), 0x1u | 0x2u | 0x4u | 0x8u | 0x1000u);
  EXPECT_GE(font_.width(), 441);
  EXPECT_GE(font_.height(), 90);
  EXPECT_EQ(font_.Dword(20), static_cast<uint32_t>(font_.width()) * 4);
  EXPECT_EQ(font_.Dword(76), 32u);
  EXPECT_EQ(font_.Dword(80), 0x41u);
  EXPECT_EQ(font_.Dword(84), 0u);
  EXPECT_EQ(font_.Dword(88), 32u);
  EXPECT_EQ(font_.Dword(92), 0x00FF0000u);
  EXPECT_EQ(font_.Dword(96), 0x0000FF00u);
  EXPECT_EQ(font_.Dword(100), 0x000000FFu);
  EXPECT_EQ(font_.Dword(104), 0xFF000000u);
  EXPECT_EQ(font_.Dword(108) & 0x1000u, 0x1000u);
}

TEST_F(FontTexture, PixelsAreOpaqueWhiteOrTransparentBlack) {
  for (int y = 0; y < font_.height(); ++y) {
    for (int x = 0; x < font_.width(); ++x) {
      const uint32_t p = font_.Pixel(x, y);
      ASSERT_TRUE(p == 0u || p == kWhite) << "pixel (" << x << ", " << y << ") is " << std::hex << p;
    }
  }
}

TEST_F(FontTexture, EveryGlyphCellButTheSpaceHasLitPixels) {
  for (bool large : {true, false}) {
    for (const Cell& cell : TableCells(large)) {
      const std::string picture = CellPicture(font_, cell);
      const bool lit = picture.find('X') != std::string::npos;
      EXPECT_EQ(lit, cell.c != ' ') << (large ? "large" : "small") << " '" << cell.c << "'\n"
                                    << picture;
    }
  }
}

TEST_F(FontTexture, NothingIsDrawnOutsideTheCells) {
  std::vector<bool> inside(static_cast<size_t>(font_.width()) * font_.height(), false);
  for (bool large : {true, false}) {
    for (const Cell& cell : TableCells(large)) {
      for (int y = 0; y < cell.size; ++y) {
        for (int x = 0; x < cell.size; ++x) {
          inside[static_cast<size_t>(cell.top + y) * font_.width() + cell.left + x] = true;
        }
      }
    }
  }
  for (int y = 0; y < font_.height(); ++y) {
    for (int x = 0; x < font_.width(); ++x) {
      if (!inside[static_cast<size_t>(y) * font_.width() + x]) {
        ASSERT_EQ(font_.Pixel(x, y), 0u) << "stray pixel at (" << x << ", " << y << ")";
      }
    }
  }
}

TEST_F(FontTexture, SmallGlyphsAreThePicturesAndLargeOnesDoubleThem) {
  const std::vector<Cell> small = TableCells(false);
  const std::vector<Cell> large = TableCells(true);
  for (size_t i = 0; i < small.size(); ++i) {
    font::GlyphBitmap glyph{};
    ASSERT_TRUE(font::FindGlyphBitmap(small[i].c, glyph)) << small[i].c;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        const bool lit = font_.Pixel(small[i].left + x, small[i].top + y) == kWhite;
        ASSERT_EQ(lit, glyph[y][x]) << "small '" << small[i].c << "' at (" << x << ", " << y << ")";
        if (i < large.size()) {
          for (int d = 0; d < 4; ++d) {
            const int lx = large[i].left + 2 * x + d % 2, ly = large[i].top + 2 * y + d / 2;
            ASSERT_EQ(font_.Pixel(lx, ly) == kWhite, glyph[y][x])
                << "large '" << large[i].c << "' at (" << 2 * x + d % 2 << ", " << 2 * y + d / 2 << ")";
          }
        }
      }
    }
  }
}

TEST_F(FontTexture, GlyphsAreDrawnAsDesigned) {
  EXPECT_EQ(CellPicture(font_, {'A', 0, 64, 8}),
            "..XXX...\n"
            ".X...X..\n"
            ".X...X..\n"
            ".XXXXX..\n"
            ".X...X..\n"
            ".X...X..\n"
            ".X...X..\n"
            "........\n");
  EXPECT_EQ(CellPicture(font_, {'g', 9 * 6, 73, 8}),
            "........\n"
            "........\n"
            "..XXXX..\n"
            ".X...X..\n"
            ".X...X..\n"
            "..XXXX..\n"
            ".....X..\n"
            "..XXX...\n");
  EXPECT_EQ(CellPicture(font_, {'-', 204, 34, 16}),
            "................\n"
            "................\n"
            "................\n"
            "................\n"
            "................\n"
            "................\n"
            "..XXXXXXXXXX....\n"
            "..XXXXXXXXXX....\n"
            "................\n"
            "................\n"
            "................\n"
            "................\n"
            "................\n"
            "................\n"
            "................\n"
            "................\n");
}

TEST_F(FontTexture, NoTwoCharactersShareAGlyph) {
  const std::vector<Cell> cells = TableCells(false);
  for (size_t i = 0; i < cells.size(); ++i) {
    for (size_t j = i + 1; j < cells.size(); ++j) {
      EXPECT_NE(CellPicture(font_, cells[i]), CellPicture(font_, cells[j]))
          << "'" << cells[i].c << "' and '" << cells[j].c << "' look the same";
    }
  }
}

}  // namespace
