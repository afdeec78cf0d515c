// Start-up, main loop and shutdown with the scripted backend and recording layer hooks.
#include "app/win_main.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_texts.h"
#include "app/globals.h"
#include "platform/null/null_backend.h"
#include "temp_dir.h"

namespace {

class WinMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGlobals();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    savedRuntime = runtime ? runtime : "";
    setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);  // a guard of our own
    dataFile = dir / "points.csv";
    testsupport::WriteFile(dataFile, "1,2,3\n");
    hooks = Recording();
  }
  void TearDown() override {
    ResetGlobals();
    if (savedRuntime.empty()) unsetenv("XDG_RUNTIME_DIR");
    else setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
  }
  static void ResetGlobals() {
    delete g_frameTimer;
    g_frameTimer = nullptr;
    g_mainWindow = nullptr;
    g_quit = 0;
    g_dataPath.clear();
    g_savedImeContext = nullptr;
  }

  // Hooks that log each call; a frame closes the window after `framesBeforeClose` frames.
  app::StartupHooks Recording() {
    app::StartupHooks h;
    h.instanceName = "sv-test-winmain";
    h.applyConfig = [this](const app::StartupConfig& c) { calls.push_back("config fps=" + std::to_string(c.fps)); };
    h.initGraphics = [this](HWND w, const app::StartupConfig& c) {
      calls.push_back("graphics " + std::to_string(c.width) + "x" + std::to_string(c.height) +
                      (w == g_mainWindow && w ? " window" : " no-window"));
      return graphicsResult;
    };
    h.initInput = [this](HWND, HINSTANCE) {
      calls.push_back("input");
      return inputResult;
    };
    h.startScene = [this] { calls.push_back("start"); };
    h.runFrame = [this] {
      calls.push_back("frame");
      if (++frames == framesBeforeClose) null->Close();
      return frames == frameResultAt ? 1 : 0;
    };
    h.destroyInput = [this] { calls.push_back("delete input"); };
    h.destroyGraphics = [this] {
      calls.push_back(g_frameTimer ? "delete graphics" : "delete graphics after timer");
    };
    return h;
  }

  int Run(const std::string& commandLine) { return app::RunApplication(nullptr, commandLine.c_str(), hooks); }

  testsupport::TempDir dir;
  std::string savedRuntime, dataFile;
  platform::ScopedNullBackend null;
  app::StartupHooks hooks;
  std::vector<std::string> calls;
  int graphicsResult = 0, inputResult = 0, frames = 0, framesBeforeClose = 3, frameResultAt = -1;
};

TEST_F(WinMainTest, ANormalRunStartsTheLayersInOrderAndShutsDownInReverse) {
  EXPECT_EQ(Run("\"" + dataFile + "\""), 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"config fps=0", "graphics 640x480 window", "input", "start", "frame",
                                             "frame", "frame", "delete input", "delete graphics"}));
  ASSERT_EQ(null->windows.size(), 1u);
  EXPECT_EQ(null->windows[0]->title, dataFile) << "the window is titled with the data path";
  EXPECT_EQ(null->windows[0]->clientWidth, 640);
  EXPECT_EQ(null->windows[0]->clientHeight, 480);
  EXPECT_EQ(g_frameTimer, nullptr) << "the frame timer is destroyed last";
  EXPECT_TRUE(null->boxes.empty());
}

TEST_F(WinMainTest, AMissingDataFileShowsItsNameAndFailsBeforeAnyWindow) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run(dir / "missing.csv"), 1);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, dir / "missing.csv" + ": " + app::kTextFileNotFound + " (file not found)\n");
  ASSERT_EQ(null->boxes.size(), 1u);
  EXPECT_EQ(null->boxes[0].owner, nullptr);
  EXPECT_EQ(null->boxes[0].caption, dir / "missing.csv");
  EXPECT_TRUE(null->windows.empty());
  EXPECT_EQ(calls, (std::vector<std::string>{"config fps=0"}));
}

TEST_F(WinMainTest, AFolderIsNotADataFile) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run(dir.Path()), 1);
  ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(null->boxes.size(), 1u);
  EXPECT_EQ(null->boxes[0].text, app::kTextFileNotFound);
  EXPECT_TRUE(null->windows.empty());
}

TEST_F(WinMainTest, ASecondInstanceShowsItsWindowThenTheMessageAndFails) {
  FrameTimer first;  // another holder of the same guard
  ASSERT_FALSE(first.IsAlreadyRunning(hooks.instanceName));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run(dataFile), -1);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(null->windows.size(), 1u) << "the window exists before the check";
  ASSERT_EQ(null->boxes.size(), 1u);
  EXPECT_EQ(null->boxes[0].text, app::kTextSecondInstance);
  EXPECT_EQ(null->boxes[0].caption, app::kCaptionSecondInstance);
  EXPECT_EQ(null->boxes[0].owner, nullptr);
  EXPECT_EQ(err, std::string(app::kCaptionSecondInstance) + ": " + app::kTextSecondInstance +
                     " (scatterview is already running)\n");
  EXPECT_EQ(g_quit, 1);
  EXPECT_EQ(calls, (std::vector<std::string>{"config fps=0"})) << "no layer is created";
}

TEST_F(WinMainTest, EachGraphicsFailureHasItsOwnMessage) {
  struct Case {
    int result;
    const char* text;
    const char* caption;
    const char* gloss;  // after the text on stderr
  } cases[] = {{1, app::kTextGraphicsInit, app::kCaptionWarning, "graphics set-up failed"},
               {2, app::kTextDeviceInit, app::kCaptionDevice, "the graphics device could not be created"},
               {3, app::kTextSpriteInit, app::kCaptionWarning, "the sprite could not be created"},
               {4, app::kTextRefreshRate, app::kCaptionWarning, "the display refresh rate could not be set"},
               {5, app::kTextGraphicsUnknown, app::kCaptionWarning, "unknown graphics error"},
               {-1, app::kTextGraphicsUnknown, app::kCaptionWarning, "unknown graphics error"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    ResetGlobals();
    null->boxes.clear();
    calls.clear();
    graphicsResult = c.result;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run(dataFile), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              std::string(c.caption) + ": " + c.text + " (" + c.gloss + ")\n");
    ASSERT_EQ(null->boxes.size(), 1u);
    EXPECT_EQ(null->boxes[0].text, c.text);
    EXPECT_EQ(null->boxes[0].caption, c.caption);
    EXPECT_EQ(null->boxes[0].owner, g_mainWindow) << "owned by the main window";
    EXPECT_EQ(g_quit, 1);
    EXPECT_EQ(calls.back(), "graphics 640x480 window") << "nothing after the failure, no teardown";
  }
}

TEST_F(WinMainTest, AnInputFailureIsReportedAndNothingIsTornDown) {
  inputResult = 1;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run(dataFile), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            std::string(app::kCaptionWarning) + ": " + app::kTextInputInit + " (input set-up failed)\n");
  ASSERT_EQ(null->boxes.size(), 1u);
  EXPECT_EQ(null->boxes[0].text, app::kTextInputInit);
  EXPECT_EQ(null->boxes[0].caption, app::kCaptionWarning);
  EXPECT_EQ(calls.back(), "input");
  EXPECT_NE(g_frameTimer, nullptr) << "the process ends as it stands";
}

TEST_F(WinMainTest, ANonZeroFrameEndsTheLoopWithMessagesStillWaiting) {
  frameResultAt = 2;
  framesBeforeClose = -1;
  hooks.runFrame = [this] {
    calls.push_back("frame");
    if (++frames == 2) null->PressKey('Q');  // left in the queue: the loop ends first
    return frames == frameResultAt ? 1 : 0;
  };
  EXPECT_EQ(Run(dataFile), 0);
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(null->messages.size(), 1u);
  EXPECT_EQ(calls.back(), "delete graphics");
}

TEST_F(WinMainTest, MessagesAreDrainedBeforeEachFrameAndEscapeQuits) {
  framesBeforeClose = -1;
  hooks.runFrame = [this] {
    calls.push_back("frame");
    ++frames;
    if (frames == 1) {
      null->PressKey('A');
      null->Activate(true);
    }
    if (frames == 2) null->PressKey(VK_ESCAPE);  // Escape's own key-down ends the run
    return 0;
  };
  EXPECT_EQ(Run(dataFile), 0);
  EXPECT_EQ(frames, 2);
  EXPECT_TRUE(null->messages.empty());
}

TEST_F(WinMainTest, TheDataPathComesFromTheCommandLineOrElseFromName) {
  EXPECT_EQ(Run("\"" + dataFile + "\""), 0);
  EXPECT_EQ(g_dataPath, dataFile);
  ResetGlobals();
  frames = 0;
  // No argument: NAME of config.ini beside the program (here the test program's folder has none),
  // so the default data.csv relative to the current folder.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  testsupport::WriteFile(dir / "data.csv", "0,0,0\n");
  int status = Run("");
  EXPECT_EQ(chdir(cwd), 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(g_dataPath, "data.csv");
  EXPECT_EQ(null->windows.back()->title, "data.csv");
}

}  // namespace
