// The graphics settings of config.ini seen from outside: the built program run headless, each run in a
// folder of its own. A failed graphics set-up shows its message and ends with status 255.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "program_folder.h"
#include "temp_dir.h"

namespace {

using testsupport::Process;
using testsupport::RunProcess;
using testsupport::RunResult;
using testsupport::WriteFile;

class GraphicsSetupRun : public ::testing::Test {
 protected:
  void SetUp() override {
    program = testsupport::PrepareProgramFolder(dir.Path());
    WriteFile(dir / "data.csv", "1,2,3\n-4,5,-6\n");
  }
  RunResult RunWithConfig(const std::string& config) {
    WriteFile(dir / "config.ini", config);
    return RunProcess(testsupport::HeadlessRun(program, dir.Path()));
  }
  // Starts a run with `config` and returns once it is up (holds its instance lock) or has ended.
  std::unique_ptr<Process> StartWithConfig(const std::string& config) {
    WriteFile(dir / "config.ini", config);
    auto p = std::make_unique<Process>(testsupport::HeadlessRun(program, dir.Path()));
    EXPECT_TRUE(p->Started());
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] { return testsupport::HoldsFlock(p->Pid(), testsupport::InstanceLockFile(dir.Path())) || !p->Running(); },
        20000));
    return p;
  }

  testsupport::TempDir dir;
  std::string program;
};

TEST_F(GraphicsSetupRun, HardTlThreeMakesNoDeviceAndReportsTheSpriteFailure) {
  const RunResult r = RunWithConfig("[CONFIG]\nHARD_TL=3\n");
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "警告: DirectSpriteの初期化に失敗(*ﾟДﾟ)∂ (the sprite could not be created)\n");
}

TEST_F(GraphicsSetupRun, SynchronisedFullScreenWithoutA60HzDisplayReportsTheRefreshFailure) {
  // The headless display has one mode, of unknown refresh rate: no 60 Hz mode to switch to.
  const RunResult r = RunWithConfig("[CONFIG]\nFullScreen=1\nVSYNC_WAIT=1\n");
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "警告: リフレッシュレート変更に失敗しました(´Д｀) (the display refresh rate could not be set)\n");
}

TEST_F(GraphicsSetupRun, EveryDeviceChoiceThatExistsRunsUntilStopped) {
  // 0: software vertex processing; 1: hardware first (our device has both); 2: the reference device.
  // Full-screen without vertical sync needs no 60 Hz display.
  for (const char* config : {"[CONFIG]\nHARD_TL=0\n", "[CONFIG]\nHARD_TL=1\n", "[CONFIG]\nHARD_TL=2\n",
                             "[CONFIG]\nFullScreen=1\nVSYNC_WAIT=0\nBIT=1\n"}) {
    SCOPED_TRACE(config);
    const std::unique_ptr<Process> p = StartWithConfig(config);
    p->Signal(SIGTERM);
    ASSERT_TRUE(p->Wait(20000));
    // A failed set-up would have ended on its own with 255 and a message.
    EXPECT_EQ(p->ExitStatus(), 0);
    EXPECT_EQ(p->Stderr(), "");
  }
}

TEST_F(GraphicsSetupRun, NoSettingOfFullScreenAndVsyncLeavesTheFramesUnpaced) {
  // A headless display has no retrace to wait for, so the frame timer paces every run that starts
  // (full-screen with VSYNC_WAIT needs a 60 Hz display, which a headless one is not: see above). A loop
  // that never waits would take a whole processor.
#if defined(__SANITIZE_ADDRESS__)
  // Under the address sanitizer a paced full-screen frame, scaled over the display, costs most of its
  // slot by itself: the share no longer tells pacing from spinning.
  GTEST_SKIP() << "the sanitizer's own cost fills the frames' time";
#endif
  for (const char* config : {"[CONFIG]\nFullScreen=0\nVSYNC_WAIT=0\n", "[CONFIG]\nFullScreen=0\nVSYNC_WAIT=1\n",
                             "[CONFIG]\nFullScreen=1\nVSYNC_WAIT=0\n"}) {
    SCOPED_TRACE(config);
    const std::unique_ptr<Process> p = StartWithConfig(config);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // past the loading frame
    const double before = p->CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const double share =
        (p->CpuSeconds() - before) / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(p->Running());
    EXPECT_LT(share, 0.6);
    p->Signal(SIGTERM);
    ASSERT_TRUE(p->Wait(20000));
    EXPECT_EQ(p->ExitStatus(), 0);
  }
}

}  // namespace
