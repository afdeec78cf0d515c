// Sprites, points and lines: the vertices that reach the device (recording device), the states it is
// left in and where the pixels land (the real software device).
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <utility>

#include "graphics_test_util.h"

namespace {

using graphicstest::RecordedGraphicsTest;
using graphicstest::Settings;

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
  // The format and texture bound; once a texture has been bound, stage 0 as texture times diffuse, point-sampled.
  void ExpectDrawingState(DWORD fvf, IDirect3DBaseTexture8* bound, bool stageSet = true) {
    IDirect3DDevice8* d = graphics->device;
    DWORD value = 0;
    d->GetVertexShader(&value);
    EXPECT_EQ(value, fvf);
    IDirect3DBaseTexture8* t = nullptr;
    d->GetTexture(0, &t);
    EXPECT_EQ(t, bound);
    if (t) t->Release();
    const std::pair<D3DTEXTURESTAGESTATETYPE, DWORD> stageStates[] = {
        {D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG1, D3DTA_TEXTURE}, {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
        {D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
        {D3DTSS_MAGFILTER, D3DTEXF_POINT}, {D3DTSS_MINFILTER, D3DTEXF_POINT}, {D3DTSS_MIPFILTER, D3DTEXF_POINT}};
    if (!stageSet) return;
    for (const auto& [state, want] : stageStates) {
      d->GetTextureStageState(0, state, &value);
      EXPECT_EQ(value, want) << "stage state " << state;
    }
  }
  IDirect3DTexture8* texture = nullptr;
};

// --- the quad and the sprite path

TEST_F(PrimitiveCallsTest, QuadPathDrawsAFanOfFourScreenVerticesWithoutHalfPixelOffsets) {
  OpenWithSprite(0);
  graphics->BlitSprite(Blit(texture, 100, 50, RECT{16, 32, 24, 48}, 0x80FF8040));
  ExpectDrawingState(SCREEN_VERTEX_FVF, texture);
  ASSERT_EQ(log->CountStartingWith("DrawPrimitiveUP(6, 2, 28)"), 1u);
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

TEST_F(PrimitiveCallsTest, OnlyD3dxSpriteOneWithoutNoSpriteBlendsThroughTheSpriteObject) {
  // With blending off on the device, the quad writes its half-transparent red as it is; the sprite
  // object blends it over the black background, whatever the device was set to.
  const struct {
    int32_t setting;
    bool noSprite, throughSprite;
  } cases[] = {{0, false, false}, {1, false, true}, {1, true, false}, {2, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "D3DX_SPRITE " << c.setting << ", noSprite " << c.noSprite);
    graphics.reset();
    ResetTextureBindingCache();
    OpenWithSprite(c.setting);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 128; ++y)
      std::fill_n(reinterpret_cast<uint32_t*>(static_cast<char*>(locked.pBits) + y * locked.Pitch), 256, 0xFFFFFFFFu);
    texture->UnlockRect(0);
    graphics->device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    graphics->Clear(D3DCLEAR_TARGET, 0xFF000000);
    graphics->device->BeginScene();
    graphics->BlitSprite(Blit(texture, 30, 40, RECT{0, 0, 8, 16}, 0x80FF0000, c.noSprite));
    graphics->device->EndScene();
    const uint32_t red = (graphicstest::PixelAt(graphics->device, 33, 45) >> 16) & 0xFF;
    EXPECT_EQ(red, c.throughSprite ? 0x80u : 0xFFu);
    EXPECT_EQ(graphicstest::PixelAt(graphics->device, 38, 45) & 0xFFFFFF, 0u) << "eight pixels wide";
  }
}

TEST_F(PrimitiveCallsTest, ConsecutiveSpritesOfOneTextureBindItOnce) {
  OpenWithSprite(0);
  for (int i = 0; i < 5; ++i) graphics->BlitSprite(Blit(texture, i * 8, 0, RECT{0, 0, 8, 8}));
  EXPECT_EQ(log->CountStartingWith("SetTexture("), 1u);
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
    EXPECT_EQ(log->CountStartingWith("DrawPrimitiveUP("), c.submitted ? 1u : 0u) << "at (" << c.x << ", " << c.y << ")";
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

TEST_F(PrimitiveCallsTest, APointDrawsUntexturedInTheSceneFormatWhateverWasDrawnBefore) {
  OpenWithSprite(0);
  const std::function<void()> before[] = {
      [] {}, [&] { graphics->BlitSprite(Blit(texture, 0, 0, RECT{0, 0, 8, 8})); },
      [&] { graphics->FillRect(0, 0, 4, 4, 0xFF102030); }, [&] { graphics->DrawPoint(0, 0, 0, 0xFFFFFFFF); }};
  for (size_t i = 0; i < std::size(before); ++i) {
    SCOPED_TRACE(i);
    before[i]();
    log->Clear();
    graphics->DrawPoint(0.1, 1e10, -7, 0xFF123456);
    ExpectDrawingState(SCENE_VERTEX_FVF, nullptr, /*stageSet=*/i > 0);  // the blit's texture came and went
    const auto point = VerticesOf<SceneVertex>(*LastDraw(*log));
    ASSERT_EQ(point.size(), 1u);
    const SceneVertex want{0.1f, 1e10f, -7.0f, 0xFF123456, 0.0f, 0.0f};  // narrowed from double
    EXPECT_EQ(std::memcmp(&point[0], &want, sizeof want), 0);
  }
}

TEST_F(PrimitiveCallsTest, DrawLineDrawsOneSegmentWithItsTextureCoordinates) {
  OpenWithSprite(0);
  graphics->BlitSprite(Blit(texture, 0, 0, RECT{0, 0, 8, 8}));
  graphics->DrawLine(1, 2, 3, -4, -5, -6, 0xFFFF0000);
  ExpectDrawingState(SCENE_VERTEX_FVF, nullptr);
  ASSERT_EQ(log->CountStartingWith("DrawPrimitiveUP(2, 1, 24)"), 1u);
  const auto line = VerticesOf<SceneVertex>(*LastDraw(*log));
  ASSERT_EQ(line.size(), 2u);
  const SceneVertex want[2] = {{1, 2, 3, 0xFFFF0000, 0, 1}, {-4, -5, -6, 0xFFFF0000, 1, 1}};
  EXPECT_EQ(std::memcmp(line.data(), want, sizeof want), 0);
}

}  // namespace
