// The DDS reader: every supported uncompressed format, DXT1/3/5 blocks, and hostile files.
#include <gtest/gtest.h>

#include "dds_builder.h"
#include "render/image.h"

namespace rendertest {
namespace {

using render::DecodedImage;

std::vector<uint32_t> Decode(const std::string& file) {
  DecodedImage image;
  std::string error;
  EXPECT_TRUE(render::DecodeDds(reinterpret_cast<const uint8_t*>(file.data()), file.size(), image, error)) << error;
  if (image.levels.empty()) return {};
  return image.levels[0].texels;
}

bool Rejects(const std::string& file) {
  DecodedImage image;
  std::string error;
  const bool ok = render::DecodeDds(reinterpret_cast<const uint8_t*>(file.data()), file.size(), image, error);
  return !ok && !error.empty();
}

struct MaskCase {
  const char* name;
  uint32_t pfFlags, bitCount, r, g, b, a;
  std::vector<uint32_t> raw;       // four texels as stored
  std::vector<uint32_t> expected;  // A8R8G8B8
};

class MaskFormats : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskFormats, DecodeFourDistinctTexels) {
  const MaskCase& c = GetParam();
  DdsFields f;
  f.pfFlags = c.pfFlags;
  f.bitCount = c.bitCount;
  f.rMask = c.r;
  f.gMask = c.g;
  f.bMask = c.b;
  f.aMask = c.a;
  const std::vector<uint32_t> got = Decode(DdsHeader(f) + Texels(c.raw, static_cast<int>(c.bitCount / 8)));
  EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dds, MaskFormats,
    ::testing::Values(
        MaskCase{"A8R8G8B8", 0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000,
                 {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x12345678},
                 {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x12345678}},
        MaskCase{"X8R8G8B8", 0x40, 32, 0xFF0000, 0xFF00, 0xFF, 0,
                 {0x00FF0000, 0x1200FF00, 0x000000FF, 0x00345678},
                 {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF345678}},
        MaskCase{"R8G8B8", 0x40, 24, 0xFF0000, 0xFF00, 0xFF, 0,
                 {0xFF0000, 0x00FF00, 0x0000FF, 0x102030},
                 {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF102030}},
        MaskCase{"R5G6B5", 0x40, 16, 0xF800, 0x07E0, 0x001F, 0,
                 {0xF800, 0x07E0, 0x001F, 0x8410},
                 {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF848284}},
        MaskCase{"X1R5G5B5", 0x40, 16, 0x7C00, 0x03E0, 0x001F, 0,
                 {0x7C00, 0x83E0, 0x001F, 0x0000},
                 {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000}},
        MaskCase{"A1R5G5B5", 0x41, 16, 0x7C00, 0x03E0, 0x001F, 0x8000,
                 {0xFC00, 0x03E0, 0x801F, 0xFFFF},
                 {0xFFFF0000, 0x0000FF00, 0xFF0000FF, 0xFFFFFFFF}},
        MaskCase{"A4R4G4B4", 0x41, 16, 0x0F00, 0x00F0, 0x000F, 0xF000,
                 {0xFF00, 0x80F0, 0x000F, 0x1234},
                 {0xFFFF0000, 0x8800FF00, 0x000000FF, 0x11223344}},
        MaskCase{"L8", 0x20000, 8, 0xFF, 0, 0, 0, {0x00, 0x80, 0xFF, 0x12},
                 {0xFF000000, 0xFF808080, 0xFFFFFFFF, 0xFF121212}},
        MaskCase{"L8WrittenAsRgb", 0x40, 8, 0xFF, 0, 0, 0, {0x00, 0x80, 0xFF, 0x12},
                 {0xFF000000, 0xFF808080, 0xFFFFFFFF, 0xFF121212}},
        MaskCase{"A8L8", 0x20001, 16, 0x00FF, 0, 0, 0xFF00, {0xFF00, 0x8080, 0x00FF, 0x4020},
                 {0xFF000000, 0x80808080, 0x00FFFFFF, 0x40202020}},
        MaskCase{"A8", 0x2, 8, 0, 0, 0, 0xFF, {0x00, 0x80, 0xFF, 0x12},
                 {0x00000000, 0x80000000, 0xFF000000, 0x12000000}}),
    [](const ::testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.name); });

// One DXT1 colour block: c0, c1 (R5G6B5) and 16 two-bit indices (texel 0 in the lowest bits).
std::string ColourBlock(uint16_t c0, uint16_t c1, uint32_t indices) {
  std::string s;
  s += static_cast<char>(c0 & 0xFF);
  s += static_cast<char>(c0 >> 8);
  s += static_cast<char>(c1 & 0xFF);
  s += static_cast<char>(c1 >> 8);
  Put32(s, indices);
  return s;
}

DdsFields Compressed(const char* fourCC, uint32_t w = 4, uint32_t h = 4) {
  DdsFields f;
  f.pfFlags = 0x4;
  f.fourCC = FourCC(fourCC);
  f.bitCount = 0;
  f.rMask = f.gMask = f.bMask = f.aMask = 0;
  f.width = w;
  f.height = h;
  return f;
}

void ExpectNear(uint32_t got, uint32_t want) {
  for (int s = 0; s < 32; s += 8)
    EXPECT_NEAR(static_cast<int>((got >> s) & 0xFF), static_cast<int>((want >> s) & 0xFF), 1)
        << std::hex << got << " vs " << want;
}

TEST(DdsBlocks, Dxt1FourColourMode) {
  // c0 red > c1 blue; texels 0..3 use indices 0, 1, 2, 3.
  const auto t = Decode(DdsHeader(Compressed("DXT1")) + ColourBlock(0xF800, 0x001F, 0b11100100));
  ASSERT_EQ(t.size(), 16u);
  EXPECT_EQ(t[0], 0xFFFF0000u);
  EXPECT_EQ(t[1], 0xFF0000FFu);
  ExpectNear(t[2], 0xFFAA0055);
  ExpectNear(t[3], 0xFF5500AA);
  EXPECT_EQ(t[4], 0xFFFF0000u);  // index 0 for the rest
}

TEST(DdsBlocks, Dxt1ThreeColourModeHasTransparentBlack) {
  const auto t = Decode(DdsHeader(Compressed("DXT1")) + ColourBlock(0x001F, 0xF800, 0b11100100));
  EXPECT_EQ(t[0], 0xFF0000FFu);
  EXPECT_EQ(t[1], 0xFFFF0000u);
  ExpectNear(t[2], 0xFF800080);
  EXPECT_EQ(t[3], 0x00000000u);
}

TEST(DdsBlocks, Dxt3UsesExplicitAlphaAndAlwaysFourColours) {
  std::string alpha;
  alpha += static_cast<char>(0xF0);  // texel 0 alpha 0, texel 1 alpha 15
  alpha += static_cast<char>(0x08);  // texel 2 alpha 8
  alpha += std::string(6, '\0');
  // c0 < c1 would be the three-colour mode in DXT1; DXT3 must still interpolate index 3.
  const auto t = Decode(DdsHeader(Compressed("DXT3")) + alpha + ColourBlock(0x001F, 0xF800, 0b11000000));
  EXPECT_EQ(t[0], 0x000000FFu);
  EXPECT_EQ(t[1], 0xFF0000FFu);
  EXPECT_EQ(t[2] >> 24, 0x88u);
  ExpectNear(t[3], 0x00AA0055);
}

TEST(DdsBlocks, Dxt5BothAlphaModes) {
  auto block = [](uint8_t a0, uint8_t a1, uint64_t indices) {
    std::string s;
    s += static_cast<char>(a0);
    s += static_cast<char>(a1);
    for (int i = 0; i < 6; ++i) s += static_cast<char>((indices >> (8 * i)) & 0xFF);
    return s + ColourBlock(0xFFFF, 0xFFFF, 0);
  };
  // a0 > a1: eight values; texels 0..3 use indices 0, 1, 2, 7.
  auto t = Decode(DdsHeader(Compressed("DXT5")) + block(200, 60, 0b111'010'001'000));
  EXPECT_EQ(t[0] >> 24, 200u);
  EXPECT_EQ(t[1] >> 24, 60u);
  EXPECT_NEAR(static_cast<int>(t[2] >> 24), 180, 1);  // (6·200 + 60) / 7
  EXPECT_NEAR(static_cast<int>(t[3] >> 24), 80, 1);   // (200 + 6·60) / 7
  // a0 <= a1: six values, then 0 and 255.
  t = Decode(DdsHeader(Compressed("DXT5")) + block(60, 200, 0b111'110'010'000));
  EXPECT_EQ(t[0] >> 24, 60u);
  EXPECT_NEAR(static_cast<int>(t[1] >> 24), 88, 1);  // (4·60 + 200) / 5
  EXPECT_EQ(t[2] >> 24, 0u);
  EXPECT_EQ(t[3] >> 24, 255u);
  EXPECT_EQ(t[0] & 0xFFFFFF, 0xFFFFFFu);
}

TEST(DdsBlocks, ImageOfFiveByThreeKeepsOnlyItsTexels) {
  // Two blocks across, one down; the second block is blue.
  const auto t = Decode(DdsHeader(Compressed("DXT1", 5, 3)) + ColourBlock(0xF800, 0, 0) + ColourBlock(0x001F, 0, 0));
  ASSERT_EQ(t.size(), 15u);
  EXPECT_EQ(t[3], 0xFFFF0000u);
  EXPECT_EQ(t[4], 0xFF0000FFu);
  EXPECT_EQ(t[14], 0xFF0000FFu);
}

TEST(DdsMips, LevelsStoredInTheFileAreRead) {
  DdsFields f;
  f.mipCount = 2;
  const auto file = DdsHeader(f) + Texels({1, 2, 3, 4}, 4) + Texels({0xFF00FF00}, 4);
  DecodedImage image;
  std::string error;
  ASSERT_TRUE(render::DecodeDds(reinterpret_cast<const uint8_t*>(file.data()), file.size(), image, error));
  ASSERT_EQ(image.levels.size(), 2u);
  EXPECT_EQ(image.levels[1].width, 1u);
  EXPECT_EQ(image.levels[1].texels[0], 0xFF00FF00u);
}

TEST(DdsHostile, ShortWrongOrLyingHeadersAreRejected) {
  const std::string good = DdsHeader(DdsFields{}) + Texels({1, 2, 3, 4}, 4);
  EXPECT_TRUE(Rejects(""));
  EXPECT_TRUE(Rejects(good.substr(0, 127)));
  EXPECT_TRUE(Rejects("XDS " + good.substr(4)));
  for (uint32_t size : {0u, 0xFFFFFFFFu}) {
    DdsFields f;
    f.size = size;
    EXPECT_TRUE(Rejects(DdsHeader(f) + Texels({1, 2, 3, 4}, 4))) << size;
  }
  DdsFields pf;
  pf.pfSize = 0;
  EXPECT_TRUE(Rejects(DdsHeader(pf) + Texels({1, 2, 3, 4}, 4)));
}

TEST(DdsHostile, SizesThatAreZeroHugeOrOverflowingAreRejectedBeforeAllocating) {
  DdsFields f;
  f.width = 0;
  EXPECT_TRUE(Rejects(DdsHeader(f) + Texels({1, 2, 3, 4}, 4)));
  f.width = f.height = 0x10000;
  EXPECT_TRUE(Rejects(DdsHeader(f) + Texels({1, 2, 3, 4}, 4)));
  f.width = 0xFFFFFFFF;
  f.height = 0xFFFFFFFF;
  EXPECT_TRUE(Rejects(DdsHeader(f) + Texels({1, 2, 3, 4}, 4)));
  f.width = f.height = 16384;  // within the side cap, but the data is not there
  EXPECT_TRUE(Rejects(DdsHeader(f) + Texels({1, 2, 3, 4}, 4)));
  DdsFields mips;
  mips.mipCount = 0xFFFFFFFF;
  EXPECT_TRUE(Rejects(DdsHeader(mips) + Texels({1, 2, 3, 4, 5}, 4)));
}

TEST(DdsHostile, TruncatedDataIsRejected) {
  DdsFields f;
  f.mipCount = 2;
  const std::string full = DdsHeader(f) + Texels({1, 2, 3, 4}, 4) + Texels({5}, 4);
  EXPECT_TRUE(Rejects(full.substr(0, full.size() - 1)));
  EXPECT_FALSE(Rejects(full));
  const std::string dxt = DdsHeader(Compressed("DXT5")) + std::string(15, '\0');
  EXPECT_TRUE(Rejects(dxt));
}

TEST(DdsHostile, UnknownOrMalformedPixelFormatsAreRejected) {
  EXPECT_TRUE(Rejects(DdsHeader(Compressed("ATI2")) + std::string(16, '\0')));
  EXPECT_TRUE(Rejects(DdsHeader(Compressed("DX10")) + std::string(64, '\0')));
  DdsFields gaps;
  gaps.rMask = 0x00F0F000;  // not contiguous
  EXPECT_TRUE(Rejects(DdsHeader(gaps) + Texels({1, 2, 3, 4}, 4)));
  DdsFields overlap;
  overlap.gMask = 0x00FFFF00;
  EXPECT_TRUE(Rejects(DdsHeader(overlap) + Texels({1, 2, 3, 4}, 4)));
  DdsFields wide;
  wide.bitCount = 16;  // masks of a 32-bit format do not fit
  EXPECT_TRUE(Rejects(DdsHeader(wide) + Texels({1, 2, 3, 4}, 2)));
  DdsFields odd;
  odd.bitCount = 12;
  EXPECT_TRUE(Rejects(DdsHeader(odd) + std::string(8, '\0')));
  DdsFields cube;
  cube.caps2 = 0xFE00;
  EXPECT_TRUE(Rejects(DdsHeader(cube) + std::string(96, '\0')));
}

}  // namespace
}  // namespace rendertest
