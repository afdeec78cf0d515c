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

// The text's quads meet the depth test like any drawing: equal depths pass LESSEQUAL and fail LESS,
// farther ones fail, and each quad that passes writes its depth.
TEST_F(TexturedBlend, QuadsPassTheDepthTestByTheirDepth) {
  auto quadAt = [&](float z, D3DCOLOR c) {
    ScreenVertex v[4] = {{0, 0, z, 1, c, 0, 0}, {8, 0, z, 1, c, 1, 0}, {8, 8, z, 1, c, 1, 1}, {0, 8, z, 1, c, 0, 1}};
    device->SetVertexShader(kScreenFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof v[0]), D3D_OK);
  };
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  quadAt(0.5f, 0xFFFFFFFF);
  ASSERT_EQ(Pixel(2, 6), 0xFF10E0A0u);
  quadAt(0.75f, 0xFF000000);  // behind: nothing changes
  EXPECT_EQ(Pixel(2, 6), 0xFF10E0A0u);
  EXPECT_EQ(Pixel(1, 1), 0xBF906060u);
  quadAt(0.5f, 0xFF000000);  // level with the first: drawn over it (the opaque texel turns black)
  EXPECT_EQ(Pixel(2, 6), 0xFF000000u);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
  quadAt(0.5f, 0xFFFFFFFF);  // level, but LESS wants nearer
  EXPECT_EQ(Pixel(2, 6), 0xFF000000u);
  quadAt(0.25f, 0xFFFFFFFF);
  EXPECT_EQ(Pixel(2, 6), 0xFF10E0A0u);
}

}  // namespace
}  // namespace rendertest
