// A scene on real layers for the viewer's tests: the scripted NullBackend (clock, keys, mouse, a 640 x 480
// window that keeps what was presented), a FrameTimer, an InputManager, and a DirectGraphics on the
// software device wrapped in a call recorder, with the font texture of build/data loaded. Each test
// gets its own config.ini and data file in a temporary folder and a fresh ViewerScene.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "graphics/direct_graphics.h"
#include "input/input_manager.h"
#include "platform/frame_timer.h"
#include "platform/null/null_backend.h"
#include "recording_device.h"
#include "temp_dir.h"
#include "viewer/viewer_scene.h"

namespace viewertest {

constexpr uint32_t kBackground = 0xFF140000u;
constexpr uint32_t kAxes = 0xFF008040u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;

// Graphics settings the tests vary (the rest are the program's defaults).
struct Layers {
  int32_t fullScreen = 0, vsyncWait = 1, drawLevel = 0, hardTl = 0, d3dxSprite = 0;
};

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the layers (graphics Init must succeed) and a scene reading `config` (no file when empty).
  void Open(const Layers& layers = Layers(), const std::string& config = "");
  // Writes the data file that LoadData reads (g_dataPath).
  void WriteData(const std::string& bytes);
  // The scene as the program uses it after Start: font loaded, state 0.
  void StartScene();
  // Loads the data (state 1) and draws one picture with Draw alone, straight into the back buffer.
  void LoadAndDraw();

  uint32_t BackPixel(int x, int y) const;
  // Pixels of the back buffer equal to `colour`.
  int CountBack(uint32_t colour) const;
  // The whole back buffer, a copy.
  std::vector<uint32_t> BackBuffer() const;
  // What the window shows after the last present.
  uint32_t ShownPixel(int x, int y) const { return null.backend.MainWindow()->Pixel(x, y); }

  // The font texture's texel (x, y) of level 0.
  uint32_t FontTexel(int x, int y);
  // Compares the back buffer at (x, y) with `text` drawn in small glyphs over `background` straight from
  // the font texture: opaque texels show as they are, transparent ones show the background. Returns the
  // number of differing pixels (0 = the text is there, exactly).
  int SmallTextMismatches(const uint32_t* pixels, int pitch, int x, int y, const std::string& text,
                          uint32_t background);

  platform::ScopedNullBackend null;
  testsupport::TempDir dir;
  std::shared_ptr<render::CallLog> log = std::make_shared<render::CallLog>();
  HWND window = nullptr;
  std::unique_ptr<FrameTimer> timer;
  std::unique_ptr<DirectGraphics> graphics;
  std::unique_ptr<InputManager> input;
  std::unique_ptr<ViewerScene> scene;
};

// Where the program's camera puts a world point on the 640 x 480 picture, worked out here from the camera
// formulas in double precision: eye (R cos t, R sin t, Z) with t = THETA * 3.141592 / 180, looking at
// (axisX, 0, axisY), up +z; right-handed look-at and perspective, fov 60 degrees, aspect 4 / 3, near 0;
// viewport x = (1 + x/w) * 320, y = (1 - y/w) * 240; a point lights the pixel ceil(v - 0.5).
struct Projected {
  double sx = 0, sy = 0;  // screen position before rounding
  int px = 0, py = 0;     // the pixel
  bool visible = false;   // in front of the eye and on the picture
};
Projected ProjectPoint(double thetaDegrees, double r, double z, double axisX, double axisY, double wx, double wy,
                       double wz);

}  // namespace viewertest
