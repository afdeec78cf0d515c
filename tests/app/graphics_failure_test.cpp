// Start-up with a real DirectGraphics whose set-up fails: each Init result reaches the user as its own
// message box, owned by the main window, and start-up ends with -1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/app_texts.h"
#include "app/globals.h"
#include "app/win_main.h"
#include "graphics/direct_graphics.h"
#include "platform/null/null_backend.h"
#include "recording_device.h"
#include "temp_dir.h"

namespace {

class GraphicsFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    savedRuntime = runtime ? runtime : "";
    setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    dataFile = dir / "points.csv";
    testsupport::WriteFile(dataFile, "1,2,3\n");
  }
  void TearDown() override {
    delete graphics;
    graphics = nullptr;
    delete g_frameTimer;
    g_frameTimer = nullptr;
    g_mainWindow = nullptr;
    g_quit = 0;
    if (savedRuntime.empty()) unsetenv("XDG_RUNTIME_DIR");
    else setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
  }

  // Runs start-up with a DirectGraphics made by `factory`, Init'ed with the program's defaults but the
  // given HARD_TL and FullScreen (VSYNC_WAIT on); returns the exit status.
  int Run(Direct3DFactory factory, int hardTl = 0, int fullScreen = 0) {
    app::StartupHooks hooks;
    hooks.instanceName = "sv-test-graphics-failure";
    hooks.applyConfig = [](const app::StartupConfig&) {};
    hooks.initGraphics = [&](HWND window, const app::StartupConfig& c) {
      graphics = new DirectGraphics(factory);
      return static_cast<int>(graphics->Init(window, fullScreen, c.width, c.height, c.bit, 1, c.drawLevel, hardTl,
                                             c.fog, c.d3dxSprite, c.noBackDraw));
    };
    hooks.initInput = [&](HWND, HINSTANCE) {
      inputStarted = true;
      return 0;
    };
    hooks.startScene = [] {};
    hooks.runFrame = [] { return 1; };
    hooks.destroyInput = [] {};
    hooks.destroyGraphics = [] {};
    ::testing::internal::CaptureStderr();
    const int status = app::RunApplication(nullptr, dataFile.c_str(), hooks);
    stderrText = ::testing::internal::GetCapturedStderr();
    return status;
  }
  void ExpectOneBox(const char* text, const char* caption, const char* gloss) {
    ASSERT_EQ(null->boxes.size(), 1u);
    EXPECT_EQ(null->boxes[0].text, text);
    EXPECT_EQ(null->boxes[0].caption, caption);
    EXPECT_NE(null->boxes[0].owner, nullptr);
    EXPECT_EQ(null->boxes[0].owner, g_mainWindow);
    EXPECT_EQ(stderrText, std::string(caption) + ": " + text + " (" + gloss + ")\n");
    EXPECT_FALSE(inputStarted) << "nothing starts after a failed graphics set-up";
  }

  testsupport::TempDir dir;
  std::string savedRuntime, dataFile, stderrText;
  platform::ScopedNullBackend null;
  DirectGraphics* graphics = nullptr;
  bool inputStarted = false;
};

TEST_F(GraphicsFailureTest, NoDirect3DObject) {
  EXPECT_EQ(Run([](UINT) -> IDirect3D8* { return nullptr; }), -1);
  ExpectOneBox(app::kTextGraphicsInit, app::kCaptionWarning, "graphics set-up failed");
}

TEST_F(GraphicsFailureTest, NoDevice) {
  auto log = std::make_shared<render::CallLog>();
  log->FailCall("CreateDevice", D3DERR_NOTAVAILABLE);
  EXPECT_EQ(Run([log](UINT) -> IDirect3D8* { return new render::RecordingDirect3D(log); }), -1);
  ExpectOneBox(app::kTextDeviceInit, app::kCaptionDevice, "the graphics device could not be created");
}

TEST_F(GraphicsFailureTest, NoSpriteWhenHardTlChoosesNoDevice) {
  EXPECT_EQ(Run(Direct3DCreate8, /*hardTl=*/3), -1);
  ExpectOneBox(app::kTextSpriteInit, app::kCaptionWarning, "the sprite could not be created");
}

TEST_F(GraphicsFailureTest, NoSixtyHertzDisplayForSynchronisedFullScreen) {
  null->availableRates = {};
  EXPECT_EQ(Run(Direct3DCreate8, 0, /*fullScreen=*/1), -1);
  ExpectOneBox(app::kTextRefreshRate, app::kCaptionWarning, "the display refresh rate could not be set");
}

TEST_F(GraphicsFailureTest, ASuccessfulSetUpShowsNoBox) {
  EXPECT_EQ(Run(Direct3DCreate8), 0);
  EXPECT_TRUE(null->boxes.empty());
  EXPECT_TRUE(inputStarted);
  ASSERT_NE(graphics, nullptr);
  EXPECT_NE(graphics->device, nullptr);
}

}  // namespace
