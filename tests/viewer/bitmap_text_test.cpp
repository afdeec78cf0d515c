// DrawLargeText and DrawSmallText: one sprite per character from the font texture's glyph cells.
#include <cstring>

#include "scene_fixture.h"

namespace viewertest {
namespace {

class BitmapText : public SceneTest {
 protected:
  // The quads the device was asked to draw, in order (the four screen vertices of each).
  std::vector<std::vector<ScreenVertex>> Quads() const {
    std::vector<std::vector<ScreenVertex>> quads;
    for (const auto& call : log->Calls()) {
      if (call.text.rfind("DrawPrimitiveUP(6, 2", 0) != 0) continue;
      std::vector<ScreenVertex> v(4);
      EXPECT_EQ(call.vertices.size(), sizeof(ScreenVertex) * 4);
      std::memcpy(v.data(), call.vertices.data(), std::min(call.vertices.size(), sizeof(ScreenVertex) * 4));
      quads.push_back(v);
    }
    return quads;
  }
  // The font texture's size, which the blit divides the source rectangle by.
  void FontSize(float& w, float& h) {
    D3DSURFACE_DESC desc{};
    graphics->GetTexture(kFontTextureName)->GetLevelDesc(0, &desc);
    w = static_cast<float>(desc.Width);
    h = static_cast<float>(desc.Height);
  }
  // Checks that quad q shows the source rectangle (l, t, r, b) at (x, y).
  void ExpectQuad(const std::vector<ScreenVertex>& q, float x, float y, int l, int t, int r, int b) {
    float w = 0, h = 0;
    FontSize(w, h);
    EXPECT_EQ(q[0].x, x);
    EXPECT_EQ(q[0].y, y);
    EXPECT_EQ(q[2].x, x + static_cast<float>(r - l));
    EXPECT_EQ(q[2].y, y + static_cast<float>(b - t));
    EXPECT_FLOAT_EQ(q[0].u, l / w);
    EXPECT_FLOAT_EQ(q[0].v, t / h);
    EXPECT_FLOAT_EQ(q[2].u, r / w);
    EXPECT_FLOAT_EQ(q[2].v, b / h);
    EXPECT_EQ(q[0].colour, kWhite);
  }
};

TEST_F(BitmapText, TheFpsTextTakesSixSmallCellsEightPixelsApart) {
  Open();
  StartScene();
  log->Clear();
  scene->DrawSmallText(580, 470, "FPS:60", kWhite);
  const auto quads = Quads();
  ASSERT_EQ(quads.size(), 6u);
  // F (0,5), P (0,15), S (0,18), ":" (2,15), "6" (2,7), "0" (2,1).
  const int cells[6][2] = {{0, 5}, {0, 15}, {0, 18}, {2, 15}, {2, 7}, {2, 1}};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    const int r = cells[i][0], k = cells[i][1];
    ExpectQuad(quads[i], 580.0f + 8 * i, 470.0f, 9 * k, 64 + 9 * r, 9 * k + 8, 64 + 9 * r + 8);
  }
}

TEST_F(BitmapText, LargeGlyphsAreSixteenPixelsOnTheSeventeenPixelGrid) {
  Open();
  StartScene();
  log->Clear();
  scene->DrawLargeText(10, 20, "-a", kWhite);
  const auto quads = Quads();
  ASSERT_EQ(quads.size(), 2u);
  ExpectQuad(quads[0], 10, 20, 204, 34, 220, 50);
  ExpectQuad(quads[1], 26, 20, 0, 17, 16, 33);
}

TEST_F(BitmapText, CharactersWithoutAGlyphShowTheGlyphOfA) {
  Open();
  StartScene();
  log->Clear();
  scene->DrawSmallText(0, 100, "@%,\n\xe3", kWhite);
  scene->DrawLargeText(0, 200, "@{", kWhite);
  const auto quads = Quads();
  ASSERT_EQ(quads.size(), 7u);
  ExpectQuad(quads[0], 0, 100, 252, 82, 260, 90);  // the at sign has a small glyph of its own
  for (int i = 1; i < 5; ++i) ExpectQuad(quads[i], 8.0f * i, 100, 0, 64, 8, 72);
  ExpectQuad(quads[5], 0, 200, 0, 0, 16, 16);  // but not a large one
  ExpectQuad(quads[6], 16, 200, 0, 0, 16, 16);
}

TEST_F(BitmapText, SmallTextIsBracketedByTheSpriteWhenItIsOnAndLeavesTheStatesAsTheyWere) {
  // The bracket shows as the sprite's own states (no culling) in force around the glyphs.
  for (int32_t setting : {0, 1, 2}) {
    SCOPED_TRACE(setting);
    TearDown();
    SetUp();
    Open(Layers{.d3dxSprite = setting});
    StartScene();
    IDirect3DDevice8* device = graphics->device;
    DWORD cullBefore = 0, cullAfter = 0;
    device->GetRenderState(D3DRS_CULLMODE, &cullBefore);
    for (const char* text : {"", "Ab"}) {
      log->Clear();
      scene->DrawSmallText(0, 0, text, kWhite);
      EXPECT_EQ(log->CountStartingWith("SetRenderState(22, 1)") > 0, setting != 0) << '"' << text << '"';
      EXPECT_EQ(Quads().size(), std::strlen(text));
    }
    device->GetRenderState(D3DRS_CULLMODE, &cullAfter);
    EXPECT_EQ(cullAfter, cullBefore);
  }
}

TEST_F(BitmapText, GlyphPixelsAreTheFontCellsOverTheBackgroundWhateverTheSpriteSetting) {
  // The second text comes after the first one's sprite bracket has closed: what the bracket put back
  // must leave the blit's own texture and format in force.
  for (int32_t setting : {0, 1, 2}) {
    SCOPED_TRACE(setting);
    TearDown();
    SetUp();
    Open(Layers{.d3dxSprite = setting});
    StartScene();
    graphics->SetRenderStates(false);
    graphics->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground);
    graphics->device->BeginScene();
    scene->DrawSmallText(100, 200, "Hello, 42 {x}", kWhite);
    scene->DrawSmallText(100, 220, "Again", kWhite);
    graphics->device->EndScene();
    int w = 0, h = 0;
    const uint32_t* pixels = graphics->device->BackBufferPixels(&w, &h);
    // "," has no glyph: it shows as "A".
    EXPECT_EQ(SmallTextMismatches(pixels, w, 100, 200, "HelloA 42 {x}", kBackground), 0);
    EXPECT_EQ(SmallTextMismatches(pixels, w, 100, 220, "Again", kBackground), 0);
    // Nothing spills to the left of the first or right of the last glyph.
    for (int y = 200; y < 208; ++y) {
      EXPECT_EQ(pixels[y * w + 99], kBackground);
      EXPECT_EQ(pixels[y * w + 100 + 8 * 13], kBackground);
    }
  }
}

}  // namespace
}  // namespace viewertest
