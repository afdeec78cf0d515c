// Text drawn from the font texture, one screen-space sprite per character, 16 or 8 pixels apart. The
// texture is looked up by name for every character, the way the store is meant to be used; the
// texture binding cache makes repeated look-ups of the same texture cost no device call.
#include "graphics/direct_graphics.h"
#include "viewer/glyph_map.h"
#include "viewer/viewer_scene.h"

namespace {

// The picture sprites are tested against: the window's (TextScreen), or the scene's whole picture.
struct Screen {
  int32_t width, height;
};

void DrawGlyphs(int32_t x, int32_t y, const char* text, D3DCOLOR colour, viewer::GlyphSize size, int32_t advance,
                Screen screen) {
  for (int32_t i = 0; text[i] != '\0'; ++i) {
    SpriteBlit blit;
    blit.x = x + advance * i;
    blit.y = y;
    blit.source = viewer::GlyphSourceRect(viewer::FindGlyphCell(static_cast<unsigned char>(text[i]), size), size);
    blit.texture = g_graphics->GetTexture(kFontTextureName);
    blit.colour = colour;
    blit.noSprite = false;
    g_graphics->BlitSpriteWithin(blit, screen.width, screen.height);
  }
}

// The sprite object batches its draws between Begin and End; with D3DX_SPRITE other than 1 the blit
// draws quads itself, but the bracket is kept for any non-zero setting.
template <class Draw>
void InSpriteBracket(Draw draw) {
  const bool useSprite = g_graphics->config.D3DX_SPRITE != 0 && g_graphics->sprite;
  if (useSprite) g_graphics->sprite->Begin();
  draw();
  if (useSprite) g_graphics->sprite->End();
}

}  // namespace

void ViewerScene::DrawLargeText(int32_t x, int32_t y, const char* text, D3DCOLOR colour) {
  Screen screen{};
  TextScreen(&screen.width, &screen.height);
  DrawGlyphs(x, y, text, colour, viewer::GlyphSize::Large, viewer::kLargeGlyphPixels, screen);
}

void ViewerScene::DrawSmallText(int32_t x, int32_t y, const char* text, D3DCOLOR colour) {
  Screen screen{};
  TextScreen(&screen.width, &screen.height);
  InSpriteBracket(
      [&] { DrawGlyphs(x, y, text, colour, viewer::GlyphSize::Small, viewer::kSmallGlyphPixels, screen); });
}

void ViewerScene::DrawPictureText(int32_t x, int32_t y, const char* text, D3DCOLOR colour) {
  Screen screen{};
  PictureSize(&screen.width, &screen.height);
  InSpriteBracket(
      [&] { DrawGlyphs(x, y, text, colour, viewer::GlyphSize::Small, viewer::kSmallGlyphPixels, screen); });
}
