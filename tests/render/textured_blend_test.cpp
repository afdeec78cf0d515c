// The program's text is drawn as screen quads whose colour and alpha are texture times vertex colour,
// blended SRCALPHA / INVSRCALPHA over the picture. These pin the exact bytes of that mix for opaque,
// half-covered, faint and empty texels, with a white and a tinted, half-transparent vertex colour.
#include "render_test_util.h"

namespace rendertest {
namespace {

constexpr D3DCOLOR kBackground = 0xFF204080;

class TexturedBlend : public DeviceFixture {
 protected:
  void SetUp() override {
    Open(8, 8);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground, 1.0f, 0);
    // One texel per 4 x 4 block of the 8 x 8 quad.
    texture = MakeTexture(2, 2, {0x80FF8040, 0x00FFFFFF, 0xFF10E0A0, 0x40FFFFFF});
    device->SetTexture(0, texture);
  }
  void TearDown() override {
    device->SetTexture(0, nullptr);
    if (texture) texture->Release();
    DeviceFixture::TearDown();
  }
  IDirect3DTexture8* texture = nullptr;
};

// Expected bytes, worked out channel by channel as s·a/255 + d·(255 − a)/255 rounded to nearest, with
// s and a the texel times the vertex colour (also rounded), d the background 0xFF204080.
TEST_F(TexturedBlend, WhiteVertexColourMixesEachTexelByItsOwnAlpha) {
  ScreenQuad(0, 0, 8, 8, 0xFFFFFFFF);
  EXPECT_EQ(Pixel(1, 1), 0xBF906060u) << "half-covered texel";
  EXPECT_EQ(Pixel(5, 1), kBackground) << "an empty texel leaves the picture as it was, alpha included";
  EXPECT_EQ(Pixel(2, 6), 0xFF10E0A0u) << "an opaque texel replaces the picture";
  EXPECT_EQ(Pixel(6, 6), 0xCF5870A0u) << "a faint white texel";
}

TEST_F(TexturedBlend, TintedHalfTransparentVertexColourScalesColourAndCoverage) {
  ScreenQuad(0, 0, 8, 8, 0x80FF8000);
  EXPECT_EQ(Pixel(1, 1), 0xCF584060u);
  EXPECT_EQ(Pixel(5, 1), kBackground);
  EXPECT_EQ(Pixel(2, 6), 0xBF185840u) << "opaque texel, half-transparent vertex: blended after all";
  EXPECT_EQ(Pixel(6, 6), 0xE33C4870u);
}

}  // namespace
}  // namespace rendertest
