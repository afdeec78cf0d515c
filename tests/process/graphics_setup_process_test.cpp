// The graphics settings of config.ini seen from outside: the built program run headless, each run in a
// folder of its own. A failed graphics set-up shows its message and ends with status 255.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

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
    WriteFile(dir / "config.ini", config);
    Process p(testsupport::HeadlessRun(program, dir.Path()));
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return testsupport::HoldsFlock(p.Pid(), testsupport::InstanceLockFile(dir.Path())) || !p.Running(); },
        20000));
    p.Signal(SIGTERM);
    ASSERT_TRUE(p.Wait(20000));
    // A failed set-up would have ended on its own with 255 and a message.
    EXPECT_EQ(p.ExitStatus(), 0);
    EXPECT_EQ(p.Stderr(), "");
  }
}

}  // namespace
