// The smallest drawing operations: a textured screen rectangle (every character of the bitmap text),
// single world-space points and lines (the origin and the axes), all drawn from the stack, and the
// data rows from their vertex buffer.
#include "graphics/direct_graphics.h"

namespace {

// Sprites are tested against the fixed 640 × 480 picture, whatever size the back buffer has.
constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 480;

}  // namespace

void DirectGraphics::BlitSprite(SpriteBlit blit) { BlitSpriteWithin(blit, kScreenWidth, kScreenHeight); }

void DirectGraphics::BlitSpriteWithin(SpriteBlit blit, int32_t screenWidth, int32_t screenHeight) {
  if (!blit.texture) return;  // nothing to cut the rectangle from
  D3DSURFACE_DESC desc{};
  blit.texture->GetLevelDesc(0, &desc);
  const float textureWidth = static_cast<float>(desc.Width);
  const float textureHeight = static_cast<float>(desc.Height);

  // The whole texture's size decides visibility, not the source rectangle's: a rectangle starting at
  // x = 640 or y = 480 still counts as visible.
  if (static_cast<float>(blit.x) + textureWidth < 0.0f || blit.x > screenWidth ||
      static_cast<float>(blit.y) + textureHeight < 0.0f || blit.y > screenHeight)
    return;

  const RECT& s = blit.source;
  const float x = static_cast<float>(blit.x), y = static_cast<float>(blit.y);
  const float w = static_cast<float>(s.right - s.left), h = static_cast<float>(s.bottom - s.top);
  const float u0 = static_cast<float>(s.left) / textureWidth, u1 = static_cast<float>(s.right) / textureWidth;
  const float v0 = static_cast<float>(s.top) / textureHeight, v1 = static_cast<float>(s.bottom) / textureHeight;
  // No half-pixel offset: the device maps these edges onto whole texels.
  const ScreenVertex quad[4] = {
      {x, y, 0.0f, 1.0f, blit.colour, u0, v0},
      {x + w, y, 0.0f, 1.0f, blit.colour, u1, v0},
      {x + w, y + h, 0.0f, 1.0f, blit.colour, u1, v1},
      {x, y + h, 0.0f, 1.0f, blit.colour, u0, v1},
  };

  BindTexture(0, blit.texture, SCREEN_VERTEX_FVF);
  if (!blit.noSprite && config.D3DX_SPRITE == 1) {
    const D3DXVECTOR2 translation(x, y);
    sprite->Draw(blit.texture, &blit.source, nullptr, nullptr, 0.0f, &translation, blit.colour);
    return;
  }
  device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(ScreenVertex));
}

void DirectGraphics::FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, D3DCOLOR colour) {
  if (right <= left || bottom <= top) return;
  const float l = static_cast<float>(left), t = static_cast<float>(top);
  const float r = static_cast<float>(right), b = static_cast<float>(bottom);
  // With no texture bound the texture reads as opaque white, so the quad takes the colour as it is.
  const ScreenVertex quad[4] = {
      {l, t, 0.0f, 1.0f, colour, 0.0f, 0.0f},
      {r, t, 0.0f, 1.0f, colour, 0.0f, 0.0f},
      {r, b, 0.0f, 1.0f, colour, 0.0f, 0.0f},
      {l, b, 0.0f, 1.0f, colour, 0.0f, 0.0f},
  };
  device->SetVertexShader(SCREEN_VERTEX_FVF);
  BindTexture(0, nullptr, SCREEN_VERTEX_FVF);
  device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(ScreenVertex));
}

// DrawPoint and DrawLine act on this object; g_graphics is this very object in the program, so this
// is the same as reaching the device through g_graphics.
void DirectGraphics::DrawPoint(double x, double y, double z, D3DCOLOR colour) {
  const SceneVertex vertex{RowCoordinate(x), RowCoordinate(y), RowCoordinate(z), colour, 0.0f, 0.0f};
  // The format goes to the device directly: BindTexture(null) skips it when nothing is bound.
  device->SetVertexShader(SCENE_VERTEX_FVF);
  BindTexture(0, nullptr, SCENE_VERTEX_FVF);
  device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &vertex, sizeof(SceneVertex));
}

void DirectGraphics::DrawLine(double x1, double y1, double z1, double x2, double y2, double z2, D3DCOLOR colour) {
  const SceneVertex line[2] = {
      {RowCoordinate(x1), RowCoordinate(y1), RowCoordinate(z1), colour, 0.0f, 1.0f},
      {RowCoordinate(x2), RowCoordinate(y2), RowCoordinate(z2), colour, 1.0f, 1.0f},
  };
  // The device draws a segment with a far end as chords near the eye.
  device->SetVertexShader(SCENE_VERTEX_FVF);
  BindTexture(0, nullptr, SCENE_VERTEX_FVF);
  device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(SceneVertex));
}

void DirectGraphics::DrawRowBuffer(IDirect3DVertexBuffer8* rows, D3DPRIMITIVETYPE type, UINT first, UINT count) {
  device->SetVertexShader(ROW_VERTEX_FVF);
  BindTexture(0, nullptr, ROW_VERTEX_FVF);
  device->SetStreamSource(0, rows, sizeof(RowVertex));
  if (type != D3DPT_LINESTRIP) {
    device->DrawPrimitive(type, first, count);
    return;
  }
  DWORD shading = D3DSHADE_GOURAUD;
  device->GetRenderState(D3DRS_SHADEMODE, &shading);
  device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
  device->DrawPrimitive(type, first, count);
  device->SetRenderState(D3DRS_SHADEMODE, shading);
}
