// The smallest drawing operations: a textured screen rectangle (every character of the bitmap text),
// and single world-space points and lines (every data row of the scene). All draw from the stack.
#include "graphics/direct_graphics.h"
#include "render/clip_far_segments.h"

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
// is the same as reaching the device through g_graphics. Both run up to 150 000 times a frame: no
// allocation, nothing but the vertex on the stack and three device calls.
void DirectGraphics::DrawPoint(double x, double y, double z, D3DCOLOR colour) {
  const SceneVertex vertex{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), colour, 0.0f, 0.0f};
  // The format goes to the device directly: BindTexture(null) skips it when nothing is bound.
  device->SetVertexShader(SCENE_VERTEX_FVF);
  BindTexture(0, nullptr, SCENE_VERTEX_FVF);
  device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &vertex, sizeof(SceneVertex));
}

void DirectGraphics::DrawLine(double x1, double y1, double z1, double x2, double y2, double z2, D3DCOLOR colour) {
  const double a[3] = {x1, y1, z1}, b[3] = {x2, y2, z2};
  if (render::IsFarSegment(a, b)) [[unlikely]] {
    DrawFarLine(a, b, colour);
    return;
  }
  const SceneVertex line[2] = {
      {static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(z1), colour, 0.0f, 1.0f},
      {static_cast<float>(x2), static_cast<float>(y2), static_cast<float>(z2), colour, 1.0f, 1.0f},
  };
  device->SetVertexShader(SCENE_VERTEX_FVF);
  BindTexture(0, nullptr, SCENE_VERTEX_FVF);
  device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(SceneVertex));
}

void DirectGraphics::DrawFarLine(const double a[3], const double b[3], D3DCOLOR colour) {
  double points[3][3] = {{a[0], a[1], a[2]}, {b[0], b[1], b[2]}}, eye[3];
  const int pieces = farLineEye_.Of(*device, eye) ? render::NearChords(eye, a, b, points) : 1;
  device->SetVertexShader(SCENE_VERTEX_FVF);
  BindTexture(0, nullptr, SCENE_VERTEX_FVF);
  for (int i = 0; i < pieces; ++i) {
    const double* p = points[i];
    const double* q = points[i + 1];
    const SceneVertex line[2] = {
        {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]), colour, 0.0f, 1.0f},
        {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]), colour, 1.0f, 1.0f},
    };
    device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(SceneVertex));
  }
}

SceneVertex* DirectGraphics::RunVertices() {
  if (!runVertices_) runVertices_.reset(new SceneVertex[kRunVertices]);
  return runVertices_.get();
}

void DirectGraphics::DrawVertexRun(D3DPRIMITIVETYPE type, const SceneVertex* vertices, size_t count,
                                   bool mixedColours) {
  const UINT primitives = static_cast<UINT>(type == D3DPT_LINESTRIP ? count - 1 : count);
  device->SetVertexShader(SCENE_VERTEX_FVF);
  BindTexture(0, nullptr, SCENE_VERTEX_FVF);
  if (!mixedColours) {
    device->DrawPrimitiveUP(type, primitives, vertices, sizeof(SceneVertex));
    return;
  }
  DWORD shading = D3DSHADE_GOURAUD;
  device->GetRenderState(D3DRS_SHADEMODE, &shading);
  device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
  device->DrawPrimitiveUP(type, primitives, vertices, sizeof(SceneVertex));
  device->SetRenderState(D3DRS_SHADEMODE, shading);
}
