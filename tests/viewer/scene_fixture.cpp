#include "scene_fixture.h"

#include <algorithm>

#include "viewer/glyph_map.h"

namespace viewertest {

void SceneTest::SetUp() {
  ResetTextureBindingCache();
  null->now = 5000;
  window = null->CreateMainWindow("scene test", 640, 480, false);
  ASSERT_NE(window, nullptr);
}

void SceneTest::TearDown() {
  scene.reset();  // saves its settings while the layers still exist
  g_input = nullptr;
  g_graphics = nullptr;
  g_frameTimer = nullptr;
  input.reset();
  graphics.reset();
  timer.reset();
  g_dataPath.clear();
}

void SceneTest::Open(const Layers& layers, const std::string& config) {
  const std::string configPath = dir / "config.ini";
  if (!config.empty()) testsupport::WriteFile(configPath, config);
  g_dataPath = dir / "data.csv";
  if (!testsupport::FileExists(g_dataPath)) WriteData("");

  timer = std::make_unique<FrameTimer>();
  g_frameTimer = timer.get();
  auto shared = log;
  graphics = std::make_unique<DirectGraphics>([shared](UINT) { return new render::RecordingDirect3D(shared); });
  ASSERT_EQ(graphics->Init(window, layers.fullScreen, 640, 480, 0, layers.vsyncWait, layers.drawLevel, layers.hardTl,
                           1, layers.d3dxSprite, 0),
            0);
  g_graphics = graphics.get();
  input = std::make_unique<InputManager>();
  ASSERT_EQ(input->Init(window, nullptr, 1), 0);
  g_input = input.get();
  scene = std::make_unique<ViewerScene>(configPath);
}

void SceneTest::WriteData(const std::string& bytes) {
  g_dataPath = dir / "data.csv";
  testsupport::WriteFile(g_dataPath, bytes);
}

void SceneTest::StartScene() {
  scene->Start();
  ASSERT_NE(graphics->GetTexture(kFontTextureName), nullptr) << "build/data/font.dds did not load";
}

void SceneTest::LoadAndDraw() {
  StartScene();
  scene->LoadData();
  graphics->SetRenderStates(false);
  scene->Draw();
}

uint32_t SceneTest::BackPixel(int x, int y) const {
  int w = 0, h = 0;
  const uint32_t* p = graphics->device->BackBufferPixels(&w, &h);
  EXPECT_TRUE(x >= 0 && y >= 0 && x < w && y < h) << "(" << x << ", " << y << ") is off the back buffer";
  if (!(x >= 0 && y >= 0 && x < w && y < h)) return 0;
  return p[static_cast<size_t>(y) * w + x];
}

int SceneTest::CountBack(uint32_t colour) const {
  const std::vector<uint32_t> pixels = BackBuffer();
  return static_cast<int>(std::count(pixels.begin(), pixels.end(), colour));
}

std::vector<uint32_t> SceneTest::BackBuffer() const {
  int w = 0, h = 0;
  const uint32_t* p = graphics->device->BackBufferPixels(&w, &h);
  return std::vector<uint32_t>(p, p + w * h);
}

uint32_t SceneTest::FontTexel(int x, int y) {
  IDirect3DTexture8* font = graphics->GetTexture(kFontTextureName);
  if (!font) {
    ADD_FAILURE() << "no font texture";
    return 0;
  }
  D3DLOCKED_RECT locked{};
  if (FAILED(font->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
    ADD_FAILURE() << "cannot lock the font texture";
    return 0;
  }
  const auto* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
  uint32_t texel = reinterpret_cast<const uint32_t*>(row)[x];
  font->UnlockRect(0);
  return texel;
}

int SceneTest::SmallTextMismatches(const uint32_t* pixels, int pitch, int x, int y, const std::string& text,
                                   uint32_t background) {
  int mismatches = 0, lit = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const RECT cell = viewer::GlyphSourceRect(
        viewer::FindGlyphCell(static_cast<unsigned char>(text[i]), viewer::GlyphSize::Small), viewer::GlyphSize::Small);
    for (int v = 0; v < 8; ++v) {
      for (int u = 0; u < 8; ++u) {
        const uint32_t texel = FontTexel(cell.left + u, cell.top + v);
        const uint32_t alpha = texel >> 24;
        EXPECT_TRUE(alpha == 0 || alpha == 0xFF) << "the font has a half-transparent texel";
        const uint32_t expected = alpha == 0xFF ? texel : background;
        lit += alpha == 0xFF;
        const uint32_t shown = pixels[static_cast<size_t>(y + v) * pitch + x + 8 * static_cast<int>(i) + u];
        mismatches += (shown & 0xFFFFFFu) != (expected & 0xFFFFFFu);
      }
    }
  }
  EXPECT_GT(lit, 0) << "the glyphs of \"" << text << "\" are all blank";
  return mismatches;
}

Projected ProjectPoint(double thetaDegrees, double r, double z, double axisX, double axisY, double wx, double wy,
                       double wz) {
  const double t = thetaDegrees * 3.141592 / 180.0;
  const double eye[3] = {std::cos(t) * r, std::sin(t) * r, z};
  const double at[3] = {axisX, 0.0, axisY};
  // Right-handed: the view's z axis points from the look-at point back to the eye.
  double zc[3] = {eye[0] - at[0], eye[1] - at[1], eye[2] - at[2]};
  double n = std::sqrt(zc[0] * zc[0] + zc[1] * zc[1] + zc[2] * zc[2]);
  for (double& c : zc) c /= n;
  // x = up × z with up (0, 0, 1); y = z × x.
  double xc[3] = {-zc[1], zc[0], 0.0};
  n = std::sqrt(xc[0] * xc[0] + xc[1] * xc[1]);
  for (double& c : xc) c /= n;
  const double yc[3] = {zc[1] * xc[2] - zc[2] * xc[1], zc[2] * xc[0] - zc[0] * xc[2], zc[0] * xc[1] - zc[1] * xc[0]};
  const double d[3] = {wx - eye[0], wy - eye[1], wz - eye[2]};
  const double vx = xc[0] * d[0] + xc[1] * d[1] + xc[2] * d[2];
  const double vy = yc[0] * d[0] + yc[1] * d[1] + yc[2] * d[2];
  const double vz = zc[0] * d[0] + zc[1] * d[1] + zc[2] * d[2];
  const double h = 1.0 / std::tan(1.0471976 / 2.0);
  const double w = h / (640.0 / 480.0);
  Projected p;
  const double clipW = -vz;  // the right-handed projection's w is the distance in front of the eye
  if (clipW <= 0) return p;
  p.sx = (1.0 + vx * w / clipW) * 320.0;
  p.sy = (1.0 - vy * h / clipW) * 240.0;
  p.px = static_cast<int>(std::ceil(p.sx - 0.5));
  p.py = static_cast<int>(std::ceil(p.sy - 0.5));
  p.visible = p.px >= 0 && p.px < 640 && p.py >= 0 && p.py < 480;
  return p;
}

}  // namespace viewertest
