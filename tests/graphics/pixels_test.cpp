// What DirectGraphics draws on the real software device: sprites texel for texel, and points and lines
// where the camera maths puts them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "graphics_test_util.h"

namespace {

using graphicstest::Picture;
using graphicstest::PixelAt;
using graphicstest::Settings;
using graphicstest::TextureFolder;
using ::testing::ElementsAreArray;

constexpr D3DCOLOR kBackground = 0xFF140000;  // the scene's very dark red

// A glyph as the font texture holds it: white where inked, transparent elsewhere.
const char* const kGlyph[8] = {
    "..##....",
    ".#..#...",
    "#....#..",
    "#....#..",
    "######..",
    "#....#..",
    "#....#..",
    "........",
};

class PixelTest : public ::testing::Test {
 protected:
  void Open(const Settings& s) {
    ResetTextureBindingCache();
    ASSERT_EQ(graphicstest::InitWith(graphics, s), GRAPHICS_OK);
    graphics.SetRenderStates(false);
    graphics.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground);
    graphics.device->BeginScene();
  }
  void TearDown() override {
    if (graphics.device) graphics.device->EndScene();
    ResetTextureBindingCache();
  }

  // A 32 × 16 texture: the glyph in the cell at (8, 0), every other texel a colour of its own.
  std::string LoadGlyphTexture() {
    std::vector<uint32_t> texels(32 * 16);
    for (uint32_t y = 0; y < 16; ++y)
      for (uint32_t x = 0; x < 32; ++x) texels[y * 32 + x] = 0xFF000000u | (x * 8) << 16 | (y * 16) << 8 | 0x40;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) texels[y * 32 + 8 + x] = kGlyph[y][x] == '#' ? 0xFFFFFFFFu : 0x00000000u;
    const std::string name = folder.Write("glyphs.dds", graphicstest::DdsBytes(32, 16, texels));
    graphics.LoadTexture(name.c_str(), D3DX_FILTER_POINT);
    return name;
  }

  platform::ScopedNullBackend null;
  TextureFolder folder;
  DirectGraphics graphics;  // the real Direct3D
};

SpriteBlit Blit(IDirect3DTexture8* texture, int32_t x, int32_t y, RECT source, D3DCOLOR colour) {
  SpriteBlit b;
  b.x = x;
  b.y = y;
  b.source = source;
  b.texture = texture;
  b.colour = colour;
  return b;
}

TEST_F(PixelTest, AGlyphLandsTexelExactOnBothPaths) {
  for (int32_t spriteSetting : {0, 1}) {
    SCOPED_TRACE(spriteSetting ? "sprite path" : "quad path");
    Settings s;
    s.d3dxSprite = spriteSetting;
    DirectGraphics g;
    ResetTextureBindingCache();
    ASSERT_EQ(graphicstest::InitWith(g, s), GRAPHICS_OK);
    g.SetRenderStates(false);
    g.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground);
    g.device->BeginScene();
    std::vector<uint32_t> texels(32 * 16, 0xFF0000FF);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) texels[y * 32 + 8 + x] = kGlyph[y][x] == '#' ? 0xFFFFFFFFu : 0x00000000u;
    const std::string name = folder.Write("glyph" + std::to_string(spriteSetting) + ".dds",
                                          graphicstest::DdsBytes(32, 16, texels));
    g.LoadTexture(name.c_str(), D3DX_FILTER_POINT);
    // Yellow ink: white texels times the colour; transparent texels leave the background.
    const D3DCOLOR yellow = 0xFFFFFF00;
    if (spriteSetting == 1) g.sprite->Begin();
    g.BlitSprite(Blit(g.GetTexture(name.c_str()), 101, 37, RECT{8, 0, 16, 8}, yellow));
    if (spriteSetting == 1) g.sprite->End();
    g.device->EndScene();
    // One pixel of margin all round: nothing may spill out of the 8 × 8 cell.
    const std::vector<std::string> expected = {
        "..........",
        "...##.....",
        "..#..#....",
        ".#....#...",
        ".#....#...",
        ".######...",
        ".#....#...",
        ".#....#...",
        "..........",
        "..........",
    };
    EXPECT_THAT(Picture(g.device, 100, 36, 10, 10, kBackground, yellow), ElementsAreArray(expected));
    ResetTextureBindingCache();
  }
}

TEST_F(PixelTest, EveryTexelOfTheSourceRectangleLandsOnItsOwnPixel) {
  Open(Settings());
  const std::string name = LoadGlyphTexture();
  // The cell at (16, 4)-(28, 14) of distinct colours, drawn at (300, 200) in white (no change).
  graphics.BlitSprite(Blit(graphics.GetTexture(name.c_str()), 300, 200, RECT{16, 4, 28, 14}, 0xFFFFFFFF));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      const uint32_t texel = 0xFF000000u | ((16 + x) * 8) << 16 | ((4 + y) * 16) << 8 | 0x40;
      ASSERT_EQ(PixelAt(graphics.device, 300 + x, 200 + y), texel) << "texel (" << 16 + x << ", " << 4 + y << ")";
    }
  EXPECT_EQ(PixelAt(graphics.device, 299, 200), kBackground);
  EXPECT_EQ(PixelAt(graphics.device, 312, 200), kBackground);
  EXPECT_EQ(PixelAt(graphics.device, 300, 199), kBackground);
  EXPECT_EQ(PixelAt(graphics.device, 300, 210), kBackground);
}

TEST_F(PixelTest, OnAWiderBackBufferASpriteAt640DrawsAndAt641DoesNot) {
  Settings s;
  s.width = 800;
  s.height = 600;
  Open(s);
  const std::string name = LoadGlyphTexture();
  IDirect3DTexture8* texture = graphics.GetTexture(name.c_str());
  graphics.BlitSprite(Blit(texture, 640, 100, RECT{0, 0, 4, 4}, 0xFFFFFFFF));
  graphics.BlitSprite(Blit(texture, 641, 300, RECT{0, 0, 4, 4}, 0xFFFFFFFF));
  EXPECT_EQ(PixelAt(graphics.device, 640, 100), 0xFF000040u);  // texel (0, 0)
  EXPECT_EQ(PixelAt(graphics.device, 643, 103), 0xFF183040u);  // texel (3, 3)
  EXPECT_EQ(PixelAt(graphics.device, 641, 300), kBackground);
  EXPECT_EQ(PixelAt(graphics.device, 644, 303), kBackground);
}

// --- points and lines through the camera

// Where a world point lands on a 640 × 480 screen, from the look-at and perspective formulas in doubles.
struct ScreenPoint {
  double x, y;
};
ScreenPoint Project(const double p[3], const double eye[3], const double at[3], const double up[3], double zn,
                    double zf, bool leftHanded) {
  auto norm = [](double v[3]) {
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; ++i) v[i] /= n;
  };
  double z[3], x[3], y[3];
  for (int i = 0; i < 3; ++i) z[i] = leftHanded ? at[i] - eye[i] : eye[i] - at[i];
  norm(z);
  x[0] = up[1] * z[2] - up[2] * z[1];
  x[1] = up[2] * z[0] - up[0] * z[2];
  x[2] = up[0] * z[1] - up[1] * z[0];
  norm(x);
  y[0] = z[1] * x[2] - z[2] * x[1];
  y[1] = z[2] * x[0] - z[0] * x[2];
  y[2] = z[0] * x[1] - z[1] * x[0];
  double d[3];
  for (int i = 0; i < 3; ++i) d[i] = p[i] - eye[i];
  const double vx = x[0] * d[0] + x[1] * d[1] + x[2] * d[2];
  const double vy = y[0] * d[0] + y[1] * d[1] + y[2] * d[2];
  const double vz = z[0] * d[0] + z[1] * d[1] + z[2] * d[2];
  const double h = 1.0 / std::tan(1.0471976 / 2.0), w = h / (640.0 / 480.0);
  const double clipW = leftHanded ? vz : -vz;
  (void)zn;
  (void)zf;
  return ScreenPoint{(1.0 + w * vx / clipW) * 320.0, (1.0 - h * vy / clipW) * 240.0};
}

// A size-1 point lights the pixel whose centre is nearest, ties going left and up.
int PixelOf(double coordinate) { return static_cast<int>(std::ceil(coordinate - 0.5)); }

const double kEye[3] = {176.78, 176.78, 150.0}, kAt[3] = {0, 0, 0}, kUp[3] = {0, 0, 1};

TEST_F(PixelTest, PointsLandWhereTheDefaultCameraPutsThem) {
  for (bool leftHanded : {false, true}) {
    SCOPED_TRACE(leftHanded ? "left-handed" : "right-handed");
    DirectGraphics g;
    ResetTextureBindingCache();
    ASSERT_EQ(graphicstest::InitWith(g, Settings()), GRAPHICS_OK);
    g.SetRenderStates(false);
    g.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground);
    g.device->BeginScene();
    g.SetCamera(176.78f, 176.78f, 150.0f, 0, 0, 0, 0, 0, 1, 0, 1000, leftHanded);
    D3DXMatrixIdentity(&g.worldMatrix);
    g.device->SetTransform(D3DTS_WORLD, &g.worldMatrix);
    const double points[][3] = {{0, 0, 0}, {60, 0, 0}, {0, 60, 0}, {0, 0, 60}, {-30, 45, -20}};
    for (const auto& p : points) g.DrawPoint(p[0], p[1], p[2], 0xFFFFFFFF);
    g.device->EndScene();

    int lit = 0;
    int w = 0, h = 0;
    const uint32_t* pixels = g.device->BackBufferPixels(&w, &h);
    for (int i = 0; i < w * h; ++i) lit += pixels[i] == 0xFFFFFFFFu;
    EXPECT_EQ(lit, 5);
    for (const auto& p : points) {
      const ScreenPoint s = Project(p, kEye, kAt, kUp, 0, 1000, leftHanded);
      // Keep clear of pixel borders, where float and double could round apart.
      ASSERT_GT(std::fabs(s.x - std::floor(s.x) - 0.5), 0.01);
      ASSERT_GT(std::fabs(s.y - std::floor(s.y) - 0.5), 0.01);
      EXPECT_EQ(PixelAt(g.device, PixelOf(s.x), PixelOf(s.y)), 0xFFFFFFFFu)
          << "(" << p[0] << ", " << p[1] << ", " << p[2] << ") predicted at (" << s.x << ", " << s.y << ")";
    }
    const ScreenPoint origin = Project(points[0], kEye, kAt, kUp, 0, 1000, leftHanded);
    EXPECT_EQ(PixelOf(origin.x), 320);
    EXPECT_EQ(PixelOf(origin.y), 240);
  }
}

TEST_F(PixelTest, ALineFollowsTheProjectedSegment) {
  Open(Settings());
  graphics.SetCamera(176.78f, 176.78f, 150.0f, 0, 0, 0, 0, 0, 1, 0, 1000, false);
  D3DXMatrixIdentity(&graphics.worldMatrix);
  graphics.device->SetTransform(D3DTS_WORLD, &graphics.worldMatrix);
  const double a[3] = {-80, 0, 0}, b[3] = {80, 0, 0};
  graphics.DrawLine(a[0], a[1], a[2], b[0], b[1], b[2], 0xFF00FF00);
  graphics.device->EndScene();
  const ScreenPoint sa = Project(a, kEye, kAt, kUp, 0, 1000, false);
  const ScreenPoint sb = Project(b, kEye, kAt, kUp, 0, 1000, false);
  int w = 0, h = 0;
  const uint32_t* pixels = graphics.device->BackBufferPixels(&w, &h);
  int lit = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (pixels[y * w + x] != 0xFF00FF00u) continue;
      ++lit;
      // Every lit pixel lies within a pixel of the segment between the projected ends.
      const double dx = sb.x - sa.x, dy = sb.y - sa.y;
      const double t = std::clamp(((x - sa.x) * dx + (y - sa.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
      EXPECT_LE(std::hypot(sa.x + t * dx - x, sa.y + t * dy - y), 1.0) << "(" << x << ", " << y << ")";
    }
  // One pixel per step along the longer axis.
  const double steps = std::max(std::fabs(sb.x - sa.x), std::fabs(sb.y - sa.y));
  EXPECT_NEAR(lit, steps, 2.0);
  EXPECT_EQ(PixelAt(graphics.device, 320, 240), 0xFF00FF00u);  // through the origin's pixel centre
}

}  // namespace
