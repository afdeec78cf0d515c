// Pixel rules of the software device: points, lines, filled quads, MODULATE, blending and Clear.
#include <bit>
#include <utility>

#include "render_test_util.h"

namespace rendertest {
namespace {

class Points : public DeviceFixture {
 protected:
  void SetUp() override { Open(8, 3); }
};

TEST_F(Points, LandOnThePixelTheyRoundToAndNowhereOffTheTarget) {
  ScreenPoint(2.4f, 1.0f);  // rounds down to column 2
  ScreenPoint(4.6f, 1.4f);  // rounds up to column 5, row 1
  ScreenPoint(6.5f, 0.5f);  // exact halves go left and up: (6, 0)
  for (const auto& [x, y] : {std::pair{-0.6f, 1.0f}, {7.6f, 1.0f}, {3.0f, -0.51f}, {3.0f, 2.51f}}) ScreenPoint(x, y);
  EXPECT_EQ(Picture(),
            "......#.\n"
            "..#..#..\n"
            "........\n");
}

// Sides 3 at a corner, 2 (the extra pixel left and up), 1, 3 at depth 0.25 under 9 at 0.5 (green; the
// nearer pixels stay), 2.6 (3) centred off the left edge, 0.4 (1): each clipped at the edges.
struct SizedPoints : DeviceFixture { void SetUp() override { Open(8, 5); } };
TEST_F(SizedPoints, CoverThatManyPixelsASideAroundTheirsClippedAndDepthTested) {
  const float points[][5] = {{0, 0, 0, 3, 1},       {4, 1, 0, 2, 1},      {6, 0, 0, 1, 1},   {5, 3, 0.25f, 3, 1},
                             {7, 4, 0.5f, 9, 0},    {-1, 3, 0, 2.6f, 1},  {1, 4, 0, 0.4f, 1}};
  device->SetVertexShader(kScreenFvf);
  for (const auto& p : points) {
    ScreenVertex v{p[0], p[1], p[2], 1, p[4] != 0 ? kWhite : 0xFF00FF00, 0, 0};
    device->SetRenderState(D3DRS_POINTSIZE, std::bit_cast<DWORD>(p[3]));
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v), D3D_OK);
  }
  EXPECT_EQ(Picture({{0xFF00FF00, 'g'}}), "##.##g#g\n##.##ggg\n#..g###g\n#..g###g\n##.g###g\n");
}

class Lines : public DeviceFixture {
 protected:
  void SetUp() override { Open(8, 6); }
};

TEST_F(Lines, HorizontalVerticalAndDiagonalLightBothEndpoints) {
  ScreenLine(1, 0, 6, 0);  // horizontal, left to right
  ScreenLine(0, 1, 0, 5);  // vertical
  ScreenLine(2, 1, 6, 5);  // 45 degrees
  EXPECT_EQ(Picture(),
            ".######.\n"
            "#.#.....\n"
            "#..#....\n"
            "#...#...\n"
            "#....#..\n"
            "#.....#.\n");
}

TEST_F(Lines, WithoutLastPixelTheEndIsLeftOut) {
  device->SetRenderState(D3DRS_LASTPIXEL, FALSE);
  ScreenLine(6, 2, 1, 2);  // right to left: the start (6) is drawn, the end (1) is not
  ScreenLine(7, 0, 7, 4);
  EXPECT_EQ(Picture(),
            ".......#\n"
            ".......#\n"
            "..######\n"
            ".......#\n"
            "........\n"
            "........\n");
}

TEST_F(Lines, ShallowLineTakesOnePixelPerColumn) {
  ScreenLine(0, 1, 7, 3.8f);
  EXPECT_EQ(Picture(),
            "........\n"
            "##......\n"
            "..##....\n"
            "....###.\n"
            ".......#\n"
            "........\n");
}

class Quads : public DeviceFixture {
 protected:
  void SetUp() override { Open(12, 4); }
};

TEST_F(Quads, AQuadFromTwoToTenCoversColumnsTwoToNineShiftedByHalfAPixelOrNot) {
  for (float shift : {0.0f, -0.5f}) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    ScreenQuad(2 + shift, 1 + shift, 10 + shift, 3 + shift, kWhite);
    EXPECT_EQ(Picture(),
              "............\n"
              "..########..\n"
              "..########..\n"
              "............\n")
        << "shift " << shift;
  }
}

TEST_F(Quads, EachTexelIsSampledExactlyOnceAtOneToOne) {
  // Eight texels of distinct colours, drawn unshifted 1:1: u = (column - 2) / 8 lands on texel edges.
  std::vector<uint32_t> texels;
  for (uint32_t i = 0; i < 8; ++i) texels.push_back(0xFF000000u | (i + 1) * 0x10);
  IDirect3DTexture8* t = MakeTexture(8, 1, texels);
  device->SetTexture(0, t);
  ScreenQuad(2, 0, 10, 1, kWhite);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(Pixel(2 + x, 0), texels[x]) << "column " << 2 + x;
  EXPECT_EQ(Pixel(1, 0), kBlack);
  EXPECT_EQ(Pixel(10, 0), kBlack);
  device->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(Quads, ModulateMultipliesTextureByVertexColour) {
  IDirect3DTexture8* t = MakeTexture(1, 1, {0xFFFF8040});
  device->SetTexture(0, t);
  ScreenQuad(0, 0, 2, 1, 0xFF808080);  // half grey
  EXPECT_EQ(Pixel(0, 0), 0xFF804020u);
  device->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(Quads, WithoutTextureTheVertexColourShowsAsIs) {
  ScreenQuad(0, 0, 2, 1, 0xFF123456);
  EXPECT_EQ(Pixel(0, 0) | 0xFF000000u, 0xFF123456u);
}

TEST_F(Quads, HalfAlphaBlendsWithTheBackground) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  ScreenQuad(0, 0, 4, 1, 0x80FF0000);  // red at alpha 128 over blue
  const uint32_t p = Pixel(0, 0);
  EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 128, 1);
  EXPECT_EQ((p >> 8) & 0xFF, 0u);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 127, 1);
}

TEST_F(Quads, TransparentTexelsLeaveTheBackground) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  IDirect3DTexture8* t = MakeTexture(2, 1, {0x00FFFFFF, 0xFFFFFFFF});
  device->SetTexture(0, t);
  ScreenQuad(0, 0, 2, 1, kWhite);
  EXPECT_EQ(Pixel(0, 0) | 0xFF000000u, 0xFF00FF00u);
  EXPECT_EQ(Pixel(1, 0) | 0xFF000000u, kWhite);
  device->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(Quads, CounterClockwiseTrianglesAreCulledByDefault) {
  ScreenVertex ccw[3] = {{0, 0, 0, 1, kWhite, 0, 0}, {0, 4, 0, 1, kWhite, 0, 0}, {4, 0, 0, 1, kWhite, 0, 0}};
  device->SetVertexShader(kScreenFvf);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof ccw[0]);
  EXPECT_EQ(CountNot(kBlack), 0);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof ccw[0]);
  EXPECT_GT(CountNot(kBlack), 0);
}

TEST_F(Quads, SharedDiagonalIsFilledOnceWithoutGaps) {
  // Two triangles of one square with additive blending: every pixel is hit exactly once.
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  const D3DCOLOR c = 0xFF010101;
  ScreenVertex tri[6] = {{0, 0, 0, 1, c, 0, 0}, {4, 0, 0, 1, c, 0, 0}, {4, 4, 0, 1, c, 0, 0},
                         {0, 4, 0, 1, c, 0, 0}, {0, 0, 0, 1, c, 0, 0}, {4, 4, 0, 1, c, 0, 0}};
  device->SetVertexShader(kScreenFvf);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, tri, sizeof tri[0]);
  EXPECT_EQ(Picture({{0xFF010101, '1'}, {0xFF020202, '2'}}),
            "1111........\n"
            "1111........\n"
            "1111........\n"
            "1111........\n");
}

TEST_F(Quads, BlendFactorsMixEveryChannelAlphaIncluded) {
  // Source (192, 128, 64) at alpha 128 over (32, 64, 96) at alpha 255, worked out by hand with
  // x·f/255 rounded to nearest.
  struct Case {
    DWORD source, destination;
    uint32_t expected;
  };
  for (const Case& c : {Case{D3DBLEND_ONE, D3DBLEND_ONE, 0xFFE0C0A0},
                        Case{D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, 0x80182018},
                        Case{D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 0xC0706050}}) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060, 1.0f, 0);
    device->SetRenderState(D3DRS_SRCBLEND, c.source);
    device->SetRenderState(D3DRS_DESTBLEND, c.destination);
    ScreenQuad(0, 0, 2, 1, 0x80C08040);
    EXPECT_EQ(Pixel(0, 0), c.expected) << c.source << "/" << c.destination;
  }
}

TEST_F(Quads, FogMixesEachChannelWithItsFogColourChannel) {
  // Identity transforms put every vertex at w = 1: linear fog from 0 to 2 leaves half (128/255) of
  // the colour (192, 128, 64), and the rest is the fog colour (0, 0, 255).
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_FOGENABLE, TRUE);
  device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
  const float start = 0.0f, end = 2.0f;
  device->SetRenderState(D3DRS_FOGSTART, std::bit_cast<DWORD>(start));
  device->SetRenderState(D3DRS_FOGEND, std::bit_cast<DWORD>(end));
  device->SetRenderState(D3DRS_FOGCOLOR, 0xFF0000FF);
  const SceneVertex cover[3] = {{-1, -1, 0.5f, 0xFFC08040, 0, 0}, {-1, 3, 0.5f, 0xFFC08040, 0, 0},
                                {3, -1, 0.5f, 0xFFC08040, 0, 0}};
  device->SetVertexShader(kSceneFvf);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cover, sizeof cover[0]), D3D_OK);
  EXPECT_EQ(Pixel(5, 2) | 0xFF000000u, 0xFF60409Fu);
}

class Clearing : public DeviceFixture {
 protected:
  void SetUp() override { Open(4, 2); }
};

TEST_F(Clearing, FillsColourAndDepth) {
  device->EndScene();
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF140000, 0.0f, 0), D3D_OK);
  device->BeginScene();
  EXPECT_EQ(Picture({{0xFF140000, 'r'}}), "rrrr\nrrrr\n");
  // Depth 0 everywhere: a point at depth 0.5 fails LESSEQUAL.
  ScreenVertex v{1, 1, 0.5f, 1, kWhite, 0, 0};
  device->SetVertexShader(kScreenFvf);
  device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v);
  EXPECT_EQ(Pixel(1, 1), 0xFF140000u);
  device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v);
  EXPECT_EQ(Pixel(1, 1) | 0xFF000000u, kWhite);
}

TEST_F(Clearing, NearerDepthsAreKeptAndFartherOnesHidden) {
  // Depth 0.25 then 0.5 on one pixel: the farther point is hidden. A neighbour in the same 8 × 8
  // block still holds the cleared depth and accepts 0.75.
  ScreenVertex v[3] = {
      {1, 0, 0.25f, 1, kWhite, 0, 0}, {1, 0, 0.5f, 1, 0xFFFF0000, 0, 0}, {2, 1, 0.75f, 1, 0xFF00FF00, 0, 0}};
  device->SetVertexShader(kScreenFvf);
  device->DrawPrimitiveUP(D3DPT_POINTLIST, 3, v, sizeof v[0]);
  EXPECT_EQ(Picture({{0xFF00FF00, 'g'}}), ".#..\n..g.\n");
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v[1], sizeof v[0]);
  EXPECT_EQ(Picture({{0xFFFF0000, 'r'}, {0xFF00FF00, 'g'}}), ".r..\n..g.\n");
}

TEST_F(Clearing, RectangleClearsOnlyItsPart) {
  D3DRECT r{1, 0, 3, 1};
  device->Clear(1, &r, D3DCLEAR_TARGET, kWhite, 1.0f, 0);
  EXPECT_EQ(Picture(), ".##.\n....\n");
  EXPECT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, kWhite, 1.0f, 0), D3DERR_INVALIDCALL);
}

}  // namespace
}  // namespace rendertest
