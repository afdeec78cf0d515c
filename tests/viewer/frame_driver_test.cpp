// Start and RunFrame on the scripted clock: loading on the first frame, the Escape exit, half-rate
// drawing, the once-a-second measurement and its pacing restart, the wait, the FPS readout, the present.
#include "scene_fixture.h"

namespace viewertest {
namespace {

class FrameDriver : public SceneTest {
 protected:
  size_t Count(const std::string& prefix) const { return log->CountStartingWith(prefix); }
  // Frames at the given clock readings, with a schedule that is always behind (no frame waits), so the
  // test alone decides where the clock stands.
  void FramesAt(uint32_t firstMs, int frames, uint32_t stepMs) {
    for (int i = 0; i < frames; ++i) {
      null->now = firstMs + static_cast<uint32_t>(i) * stepMs;
      g_frameTimer->startTime = 0;
      g_frameTimer->nextDeadline = 0;
      ASSERT_EQ(scene->RunFrame(), 0);
    }
  }
};

TEST_F(FrameDriver, StartLoadsTheFontStartsThePacingAndPreparesTheFog) {
  Open();
  null->now = 12345;
  scene->state = 7;
  StartScene();
  EXPECT_EQ(scene->state, 0);
  EXPECT_EQ(graphics->FindTexture("data\\font.dds"), 0);
  EXPECT_EQ(g_frameTimer->startTime, 12345u);
  EXPECT_DOUBLE_EQ(g_frameTimer->nextDeadline, 1000.0 / 60.0);
  // Fog off, linear from 0 to 800 (float states as their bits), black.
  for (auto [state, want] : {std::pair<D3DRENDERSTATETYPE, DWORD>{D3DRS_FOGENABLE, FALSE}, {D3DRS_FOGSTART, 0u},
                             {D3DRS_FOGEND, 0x44480000u}, {D3DRS_FOGTABLEMODE, D3DFOG_LINEAR},
                             {D3DRS_FOGCOLOR, 0xFF000000u}}) {
    DWORD value = 0;
    graphics->device->GetRenderState(state, &value);
    EXPECT_EQ(value, want) << "state " << state;
  }
}

TEST_F(FrameDriver, TheFirstFrameLoadsTheDataAndDrawsLaterFramesApplyTheControls) {
  WriteData("1,2,3\n");
  Open();
  StartScene();
  log->Clear();
  null->keys.Press(VK_F5);
  EXPECT_EQ(scene->RunFrame(), 0);
  EXPECT_EQ(scene->state, 1);
  EXPECT_EQ(scene->dataX.size(), 2u);
  EXPECT_EQ(scene->showAxis, 1) << "no view control on the loading frame";
  EXPECT_EQ(Count("Clear("), 1u) << "the loading frame already draws";
  EXPECT_THAT(log->EntriesStartingWith("Present("), ::testing::ElementsAre("Present((0,0,640,480), (0,0,640,480))"));
  EXPECT_EQ(scene->RunFrame(), 0);
  EXPECT_EQ(scene->showAxis, 0);
  EXPECT_EQ(ShownPixel(639, 0), kBackground) << "the window shows the presented picture";
}

TEST_F(FrameDriver, EscapeBeforeLoadingEndsTheRunWithoutDrawingOrPresenting) {
  WriteData("1,2,3\n");
  Open();
  StartScene();
  log->Clear();
  null->keys.Press(VK_ESCAPE);
  EXPECT_EQ(scene->RunFrame(), 1);
  EXPECT_EQ(scene->state, 99);
  EXPECT_TRUE(scene->dataX.empty());
  EXPECT_EQ(scene->RunFrame(), 1);
  EXPECT_EQ(Count("Clear("), 0u);
  EXPECT_EQ(Count("BeginScene"), 0u);
  EXPECT_EQ(Count("Present("), 0u);
  EXPECT_TRUE(null->waits.empty()) << "no frame wait";
}

TEST_F(FrameDriver, EscapeWhileRunningIsLeftToTheWindowProcedure) {
  Open();
  StartScene();
  ASSERT_EQ(scene->RunFrame(), 0);
  null->keys.Press(VK_ESCAPE);
  EXPECT_EQ(scene->RunFrame(), 0);
  EXPECT_EQ(scene->state, 1);
}

TEST_F(FrameDriver, DrawLevelDrawsEverySecondFrameButPresentsEveryFrame) {
  Open(Layers{.drawLevel = 1});
  StartScene();
  log->Clear();
  std::vector<int> drawn;
  for (int i = 0; i < 6; ++i) {
    const size_t before = Count("Clear(");
    scene->RunFrame();
    drawn.push_back(static_cast<int>(Count("Clear(") - before));
  }
  EXPECT_EQ(drawn, (std::vector<int>{0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(Count("Present("), 6u);
  EXPECT_EQ(Count("SetRenderState(137, 0)"), 6u) << "the render states are set every frame";
}

// A resizable window: the frame after a new size draws and presents the whole picture at it (aspect
// W / H, the readout at the bottom-left); a size the device refuses keeps the old one, said once.
TEST_F(FrameDriver, AResizedWindowsNextFrameDrawsTheWholePictureAtItsSize) {
  WriteData("1,2,3\n");
  Open();
  graphics->FollowWindowSize();
  StartScene();
  struct Case {
    int32_t width, height, wantWidth, wantHeight;
    bool told;
  };
  for (const Case& c : {Case{800, 600, 800, 600, false}, Case{20000, 300, 800, 600, true},
                        Case{30000, 300, 800, 600, false}, Case{480, 360, 480, 360, false}}) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    graphics->WindowResized(c.width, c.height);
    log->Clear();
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(scene->RunFrame(), 0);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find("cannot be") != std::string::npos, c.told) << said;
    int width = 0, height = 0;
    const uint32_t* pixels = graphics->device->BackBufferPixels(&width, &height);
    ASSERT_EQ(width, c.wantWidth);
    ASSERT_EQ(height, c.wantHeight);
    D3DMATRIX projection{};
    graphics->device->GetTransform(D3DTS_PROJECTION, &projection);
    EXPECT_NEAR(projection.m[1][1] / projection.m[0][0], static_cast<double>(width) / height, 1e-5);
    const std::string whole = "(0,0," + std::to_string(width) + "," + std::to_string(height) + ")";
    EXPECT_THAT(log->EntriesStartingWith("Present("), ::testing::ElementsAre("Present(" + whole + ", " + whole + ")"));
    EXPECT_EQ(SmallTextMismatches(pixels, width, 2, height - 10, "CAMERA  R:250 THETA:045 Z:150", kBackground), 0);
  }
}

TEST_F(FrameDriver, OnlyARetraceThatPresentsWaitForSparesTheTimerWait) {
  // The timer waits unless full-screen with VSYNC_WAIT presents to a window whose presents wait for
  // the retrace; windowed runs wait on the timer even where the display could pace them.
  struct Case {
    int32_t fullScreen, vsyncWait;
    bool retraceWait;
    size_t waits;
  };
  for (const Case& c : {Case{1, 1, true, 0}, Case{1, 1, false, 5}, Case{0, 1, true, 5}, Case{1, 0, true, 5},
                        Case{0, 0, false, 5}}) {
    SCOPED_TRACE(::testing::Message() << "FullScreen=" << c.fullScreen << " VSYNC_WAIT=" << c.vsyncWait
                                      << " retrace wait " << c.retraceWait);
    scene.reset();  // each case with layers of its own
    graphics.reset();
    ResetTextureBindingCache();
    Open(Layers{.fullScreen = c.fullScreen, .vsyncWait = c.vsyncWait});
    null->retraceWait = c.retraceWait;
    StartScene();
    null->waits.clear();
    log->Clear();
    for (int i = 0; i < 5; ++i) scene->RunFrame();
    EXPECT_EQ(null->waits.size(), c.waits);
    EXPECT_EQ(Count("Present("), 5u);
  }
}

TEST_F(FrameDriver, PacedFramesRunAtSixtyAFrameAndTheReadoutCountsThem) {
  Open(Layers(), "[CONFIG]\nSHOWHINT=0\n");
  scene->SetShowFps(1);
  null->now = 5500;
  StartScene();
  // 2.4 s of paced frames: the wait moves the scripted clock exactly as far as the schedule says.
  while (null->now < 7900) scene->RunFrame();
  EXPECT_GE(scene->measuredFps, 59);
  EXPECT_LE(scene->measuredFps, 61);
  for (uint32_t w : null->waits) EXPECT_LE(w, 17u);
}

TEST_F(FrameDriver, TheReadoutShowsZeroUntilTheFirstWholeSecondThenTheCount) {
  Open(Layers(), "[CONFIG]\nSHOWHINT=0\n");
  scene->SetShowFps(1);
  StartScene();
  auto shows = [&](const std::string& text) {
    const platform::NullWindow* w = null->MainWindow();
    return SmallTextMismatches(w->pixels.data(), w->clientWidth, 580, 470, text, kBackground) == 0;
  };
  FramesAt(5100, 10, 10);  // second 5
  EXPECT_TRUE(shows("FPS:0"));
  EXPECT_EQ(scene->measuredFps, 0);
  FramesAt(6000, 1, 0);  // the frame that ends second 5 counts in it
  EXPECT_EQ(scene->measuredFps, 11);
  FramesAt(6010, 59, 10);
  FramesAt(7000, 1, 0);
  EXPECT_EQ(scene->measuredFps, 60);
  FramesAt(7010, 1, 0);
  EXPECT_TRUE(shows("FPS:60"));
  EXPECT_EQ(Count("BeginScene"), 2 * Count("Present("));
}

TEST_F(FrameDriver, ASecondOfFiftySixFramesRestartsThePacingAndFiftySevenDoesNot) {
  for (int frames : {56, 57}) {
    SCOPED_TRACE(frames);
    TearDown();
    SetUp();
    Open();
    StartScene();
    // Second 5 gets frames - 1 frames; the frame at 6000 ends it as the frames-th.
    FramesAt(5000, frames - 1, 10);
    ASSERT_EQ(scene->measuredFps, 0);
    FramesAt(6000, 1, 0);
    EXPECT_EQ(scene->measuredFps, frames);
    if (frames == 56) {
      // Paced anew from this frame: one period from now, then this frame's wait moved it on by one.
      EXPECT_EQ(g_frameTimer->startTime, 6000u);
      EXPECT_NEAR(g_frameTimer->nextDeadline, 2 * 1000.0 / 60.0, 1e-9);
      ASSERT_FALSE(null->waits.empty());
      EXPECT_EQ(null->waits.back(), 16u) << "the frame waits for its fresh slot";
    } else {
      EXPECT_EQ(g_frameTimer->startTime, 0u);
      EXPECT_NEAR(g_frameTimer->nextDeadline, 1000.0 / 60.0, 1e-9);
    }
  }
}

TEST_F(FrameDriver, AMissingFontShowsItsMessageAndExitsWithStatusOne) {
  Open();
  log->FailCall("CreateTexture", E_OUTOFMEMORY);
  EXPECT_EXIT(scene->Start(), ::testing::ExitedWithCode(1),
              ": フォントファイルがありません \\(font file data/font.dds missing\\)");
}

}  // namespace
}  // namespace viewertest
