// Text drawn from the font texture, one screen-space sprite per character, 16 or 8 pixels apart. The
// texture is looked up by name for every character, the way the store is meant to be used; the
// texture binding cache makes repeated look-ups of the same texture cost no device call.
#include "graphics/direct_graphics.h"
#include "viewer/glyph_map.h"
#include "viewer/viewer_scene.h"

namespace {

void DrawGlyphs(int32_t x, int32_t y, const char* text, D3DCOLOR colour, viewer::GlyphSize size, int32_t advance) {
  for (int32_t i = 0; text[i] != '\0'; ++i) {
    SpriteBlit blit;
    blit.x = x + advance * i;
    blit.y = y;
    blit.source = viewer::GlyphSourceRect(viewer::FindGlyphCell(static_cast<unsigned char>(text[i]), size), size);
    blit.texture = g_graphics->GetTexture(kFontTextureName);
    blit.colour = colour;
    blit.noSprite = false;
    g_graphics->BlitSprite(blit);
  }
}

}  // namespace

void ViewerScene::DrawLargeText(int32_t x, int32_t y, const char* text, D3DCOLOR colour) {
  DrawGlyphs(x, y, text, colour, viewer::GlyphSize::Large, viewer::kLargeGlyphPixels);
}

void ViewerScene::DrawSmallText(int32_t x, int32_t y, const char* text, D3DCOLOR colour) {
  // The sprite object batches its draws between Begin and End; with D3DX_SPRITE other than 1 the blit
  // draws quads itself, but the bracket is kept for any non-zero setting.
  const bool useSprite = g_graphics->config.D3DX_SPRITE != 0 && g_graphics->sprite;
  if (useSprite) g_graphics->sprite->Begin();
  DrawGlyphs(x, y, text, colour, viewer::GlyphSize::Small, viewer::kSmallGlyphPixels);
  if (useSprite) g_graphics->sprite->End();
}
