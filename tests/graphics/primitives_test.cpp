// Sprites, points and lines: what reaches the device (recording device) and where the pixels land
// (the real software device).
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cmath>
#include <cstring>

#include "graphics_test_util.h"

namespace {

using graphicstest::RecordedGraphicsTest;
using graphicstest::Settings;
using ::testing::ElementsAre;

SpriteBlit Blit(IDirect3DTexture8* texture, int32_t x, int32_t y, RECT source, D3DCOLOR colour = 0xFFFFFFFF,
                bool noSprite = false) {
  SpriteBlit b;
  b.x = x;
  b.y = y;
  b.source = source;
  b.texture = texture;
  b.colour = colour;
  b.noSprite = noSprite;
  return b;
}

template <typename Vertex>
std::vector<Vertex> VerticesOf(const render::CallLog::Call& call) {
  std::vector<Vertex> out(call.vertices.size() / sizeof(Vertex));
  if (!out.empty()) std::memcpy(out.data(), call.vertices.data(), out.size() * sizeof(Vertex));
  return out;
}

const render::CallLog::Call* LastDraw(const render::CallLog& log) {
  const render::CallLog::Call* last = nullptr;
  for (const auto& c : log.Calls())
    if (c.text.rfind("DrawPrimitiveUP(", 0) == 0) last = &c;
  return last;
}

class PrimitiveCallsTest : public RecordedGraphicsTest {
 protected:
  void OpenWithSprite(int32_t d3dxSprite) {
    Settings s;
    s.d3dxSprite = d3dxSprite;
    ASSERT_EQ(Open(s), GRAPHICS_OK);
    texture = MakeTexture(256, 128);
    log->Clear();
  }
  size_t Submitted() const {
    return log->CountStartingWith("DrawPrimitiveUP(") + log->CountStartingWith("Sprite.Draw(");
  }
  IDirect3DTexture8* texture = nullptr;
};

// --- the quad and the sprite path

TEST_F(PrimitiveCallsTest, QuadPathDrawsAFanOfFourScreenVerticesWithoutHalfPixelOffsets) {
  OpenWithSprite(0);
  graphics->BlitSprite(Blit(texture, 100, 50, RECT{16, 32, 24, 48}, 0x80FF8040));
  EXPECT_THAT(Calls(), ElementsAre("SetTexture(0, tex1)", "SetVertexShader(0x00000144)",
                                   "SetTextureStageState(0, 4, 4)", "SetTextureStageState(0, 5, 2)",
                                   "SetTextureStageState(0, 6, 0)", "SetTextureStageState(0, 1, 4)",
                                   "SetTextureStageState(0, 2, 2)", "SetTextureStageState(0, 3, 0)",
                                   "SetTextureStageState(0, 18, 1)", "SetTextureStageState(0, 16, 1)",
                                   "SetTextureStageState(0, 17, 1)", "DrawPrimitiveUP(6, 2, 28)"));
  const auto quad = VerticesOf<ScreenVertex>(*LastDraw(*log));
  ASSERT_EQ(quad.size(), 4u);
  const float expected[4][4] = {{100, 50, 16 / 256.0f, 32 / 128.0f},
                                {108, 50, 24 / 256.0f, 32 / 128.0f},
                                {108, 66, 24 / 256.0f, 48 / 128.0f},
                                {100, 66, 16 / 256.0f, 48 / 128.0f}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(quad[i].x, expected[i][0]);
    EXPECT_EQ(quad[i].y, expected[i][1]);
    EXPECT_EQ(quad[i].u, expected[i][2]);
    EXPECT_EQ(quad[i].v, expected[i][3]);
    EXPECT_EQ(quad[i].z, 0.0f);
    EXPECT_EQ(quad[i].rhw, 1.0f);
    EXPECT_EQ(quad[i].colour, 0x80FF8040u);
  }
}

TEST_F(PrimitiveCallsTest, SpritePathWithD3dxSpriteOneSkipsTheQuad) {
  OpenWithSprite(1);
  graphics->BlitSprite(Blit(texture, 30, 40, RECT{0, 0, 8, 16}, 0xFF00FF00));
  EXPECT_EQ(log->CountStartingWith("SetTexture(0, tex1)"), 1u);  // still bound through the cache
  EXPECT_THAT(log->EntriesStartingWith("Sprite.Draw("), ElementsAre("Sprite.Draw((0,0,8,16), (30,40), 0xff00ff00)"));
  EXPECT_EQ(log->CountStartingWith("DrawPrimitiveUP("), 0u);
}

TEST_F(PrimitiveCallsTest, NoSpriteOrAnyOtherSpriteSettingTakesTheQuadPath) {
  OpenWithSprite(1);
  graphics->BlitSprite(Blit(texture, 30, 40, RECT{0, 0, 8, 16}, 0xFFFFFFFF, /*noSprite=*/true));
  EXPECT_EQ(log->CountStartingWith("Sprite.Draw("), 0u);
  EXPECT_EQ(log->CountStartingWith("DrawPrimitiveUP(6, 2, 28)"), 1u);
  graphics.reset();
  log->Clear();
  ResetTextureBindingCache();

  OpenWithSprite(2);
  graphics->BlitSprite(Blit(texture, 30, 40, RECT{0, 0, 8, 16}));
  EXPECT_EQ(log->CountStartingWith("Sprite.Draw("), 0u);
  EXPECT_EQ(log->CountStartingWith("DrawPrimitiveUP(6, 2, 28)"), 1u);
}

TEST_F(PrimitiveCallsTest, ConsecutiveSpritesOfOneTextureBindItOnce) {
  OpenWithSprite(0);
  for (int i = 0; i < 5; ++i) graphics->BlitSprite(Blit(texture, i * 8, 0, RECT{0, 0, 8, 8}));
  EXPECT_EQ(log->CountStartingWith("SetTexture("), 1u);
  EXPECT_EQ(log->CountStartingWith("SetTextureStageState("), 9u);
  EXPECT_EQ(log->CountStartingWith("DrawPrimitiveUP("), 5u);
}

TEST_F(PrimitiveCallsTest, ASpriteWithoutTextureDrawsNothing) {
  OpenWithSprite(0);
  graphics->BlitSprite(Blit(nullptr, 10, 10, RECT{0, 0, 8, 8}));
  EXPECT_TRUE(Calls().empty());
}

// --- visibility against the fixed 640 × 480 screen (the texture is 256 × 128)

TEST_F(PrimitiveCallsTest, VisibilityUsesTheWholeTextureSizeAndTheFixedScreen) {
  OpenWithSprite(0);
  struct Case {
    int32_t x, y;
    bool submitted;
  } cases[] = {
      {640, 0, true},    {641, 0, false},   {0, 480, true},    {0, 481, false},
      {-256, 0, true},   {-257, 0, false},  {0, -128, true},   {0, -129, false},
      {-256, -128, true}, {639, 479, true},
  };
  for (const Case& c : cases) {
    log->Clear();
    // The source rectangle is small and far from the edge: only the texture size counts.
    graphics->BlitSprite(Blit(texture, c.x, c.y, RECT{0, 0, 8, 8}));
    EXPECT_EQ(Submitted(), c.submitted ? 1u : 0u) << "at (" << c.x << ", " << c.y << ")";
  }
}

TEST_F(PrimitiveCallsTest, AnInvisibleSpriteDoesNotEvenBindItsTexture) {
  OpenWithSprite(0);
  graphics->BlitSprite(Blit(texture, 641, 0, RECT{0, 0, 8, 8}));
  EXPECT_TRUE(Calls().empty());
}

TEST_F(RecordedGraphicsTest, SpritesBeyond640AreDroppedEvenOnALargerBackBuffer) {
  Settings s;
  s.width = 800;
  s.height = 600;
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  IDirect3DTexture8* texture = MakeTexture(8, 8);
  log->Clear();
  graphics->BlitSprite(Blit(texture, 700, 10, RECT{0, 0, 8, 8}));
  graphics->BlitSprite(Blit(texture, 10, 500, RECT{0, 0, 8, 8}));
  EXPECT_EQ(log->CountStartingWith("DrawPrimitiveUP("), 0u);
}

// --- points and lines

TEST_F(PrimitiveCallsTest, DrawPointAfterBlitSpriteUnbindsTheTextureAndSetsTheSceneFormat) {
  OpenWithSprite(0);
  graphics->BlitSprite(Blit(texture, 0, 0, RECT{0, 0, 8, 8}));
  log->Clear();
  graphics->DrawPoint(1.5, -2.25, 3.0, 0xFFFFFFFF);
  EXPECT_THAT(Calls(), ElementsAre("SetVertexShader(0x00000142)", "SetTexture(0, null)",
                                   "SetVertexShader(0x00000142)", "SetTextureStageState(0, 4, 4)",
                                   "SetTextureStageState(0, 5, 2)", "SetTextureStageState(0, 6, 0)",
                                   "SetTextureStageState(0, 1, 4)", "SetTextureStageState(0, 2, 2)",
                                   "SetTextureStageState(0, 3, 0)", "SetTextureStageState(0, 18, 1)",
                                   "SetTextureStageState(0, 16, 1)", "SetTextureStageState(0, 17, 1)",
                                   "DrawPrimitiveUP(1, 1, 24)"));
  const auto point = VerticesOf<SceneVertex>(*LastDraw(*log));
  ASSERT_EQ(point.size(), 1u);
  EXPECT_EQ(point[0].x, 1.5f);
  EXPECT_EQ(point[0].y, -2.25f);
  EXPECT_EQ(point[0].z, 3.0f);
  EXPECT_EQ(point[0].colour, 0xFFFFFFFFu);
  EXPECT_EQ(point[0].u, 0.0f);
  EXPECT_EQ(point[0].v, 0.0f);
}

TEST_F(PrimitiveCallsTest, DrawPointTwiceSetsTheFormatTwiceAndLeavesTheBindingAlone) {
  OpenWithSprite(0);
  graphics->DrawPoint(0, 0, 0, 0xFFFFFFFF);
  graphics->DrawPoint(0.1, 1e10, -7, 0xFF123456);
  EXPECT_THAT(Calls(), ElementsAre("SetVertexShader(0x00000142)", "DrawPrimitiveUP(1, 1, 24)",
                                   "SetVertexShader(0x00000142)", "DrawPrimitiveUP(1, 1, 24)"));
  const auto point = VerticesOf<SceneVertex>(*LastDraw(*log));
  ASSERT_EQ(point.size(), 1u);
  EXPECT_EQ(point[0].x, 0.1f);  // narrowed from double
  EXPECT_EQ(point[0].y, 1e10f);
  EXPECT_EQ(point[0].colour, 0xFF123456u);
}

TEST_F(PrimitiveCallsTest, DrawLineDrawsOneSegmentWithItsTextureCoordinates) {
  OpenWithSprite(0);
  graphics->DrawLine(1, 2, 3, -4, -5, -6, 0xFFFF0000);
  EXPECT_THAT(Calls(), ElementsAre("SetVertexShader(0x00000142)", "DrawPrimitiveUP(2, 1, 24)"));
  const auto line = VerticesOf<SceneVertex>(*LastDraw(*log));
  ASSERT_EQ(line.size(), 2u);
  EXPECT_EQ(line[0].x, 1.0f);
  EXPECT_EQ(line[0].z, 3.0f);
  EXPECT_EQ(line[0].u, 0.0f);
  EXPECT_EQ(line[0].v, 1.0f);
  EXPECT_EQ(line[1].x, -4.0f);
  EXPECT_EQ(line[1].y, -5.0f);
  EXPECT_EQ(line[1].z, -6.0f);
  EXPECT_EQ(line[1].u, 1.0f);
  EXPECT_EQ(line[1].v, 1.0f);
  EXPECT_EQ(line[0].colour, 0xFFFF0000u);
  EXPECT_EQ(line[1].colour, 0xFFFF0000u);
}

}  // namespace
