// The built program run whole and headless (SDL_VIDEODRIVER=offscreen), each run in a folder of its
// own with its own copy of the program, config.ini and single-instance lock.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <string>

#include "program_folder.h"
#include "temp_dir.h"

namespace {

using testsupport::HoldsFlock;
using testsupport::InstanceLockFile;
using testsupport::Process;
using testsupport::ProcessLaunch;
using testsupport::RunProcess;
using testsupport::RunResult;
using testsupport::WriteFile;

// The messages' stderr lines: the program's text, then its English gloss.
constexpr char kNotFound[] = "ファイルが見つかりません (file not found)";
constexpr char kSecondInstance[] =
    "（　´,_ゝ｀）,_ゝ｀）,_ゝ｀）,_ゝ｀）ｸﾜﾄﾞﾛﾌﾟﾙﾌﾟｹﾞﾗｯﾁｮ: 二重起動無理[ﾟдﾟ]<箱をｱｲｼﾃ!! (scatterview is already running)\n";

class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override {
    program = testsupport::PrepareProgramFolder(dir.Path());
    WriteFile(dir / "sample.csv", "1,2,3\n4,5,6\n");
  }
  ProcessLaunch Launch(std::vector<std::string> args = {}) {
    ProcessLaunch launch = testsupport::HeadlessRun(program, dir.Path());
    launch.args = std::move(args);
    return launch;
  }
  // Up and running: the instance holds its single-instance lock (read from /proc/locks).
  bool Running(Process& p) {
    return testsupport::WaitUntil([&] { return HoldsFlock(p.Pid(), InstanceLockFile(dir.Path())) || !p.Running(); },
                                  20000) &&
           p.Running();
  }
  // Starts the program on `args`, waits until it runs, ends it with `signal`; its exit status.
  int RunUntilSignal(std::vector<std::string> args, int signal) {
    Process p(Launch(std::move(args)));
    EXPECT_TRUE(Running(p)) << p.Stderr();
    p.Signal(signal);
    EXPECT_TRUE(p.Wait(20000)) << "the program ends on the signal";
    EXPECT_EQ(p.Stderr(), "") << "a normal run writes nothing";
    return p.ExitStatus();
  }

  testsupport::TempDir dir;
  std::string program;
};

TEST_F(ProgramRun, WithoutADataFileItShowsTheMissingNameAndFails) {
  RunResult r = RunProcess(Launch());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string("data.csv: ") + kNotFound + "\n");
  EXPECT_FALSE(r.timedOut);
}

TEST_F(ProgramRun, RunsHeadlessUntilSigtermAndEndsNormally) {
  EXPECT_EQ(RunUntilSignal({"sample.csv"}, SIGTERM), 0);
}

TEST_F(ProgramRun, CtrlCEndsTheRunNormally) {
  EXPECT_EQ(RunUntilSignal({"sample.csv"}, SIGINT), 0);
}

TEST_F(ProgramRun, ASecondInstanceFailsWith255AndTheFirstKeepsRunning) {
  Process first(Launch({"sample.csv"}));
  ASSERT_TRUE(Running(first));
  RunResult second = RunProcess(Launch({"sample.csv"}));
  EXPECT_EQ(second.status, 255);
  EXPECT_EQ(second.err, kSecondInstance);
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(HoldsFlock(first.Pid(), InstanceLockFile(dir.Path())));
  first.Signal(SIGTERM);
  ASSERT_TRUE(first.Wait(20000));
  EXPECT_EQ(first.ExitStatus(), 0);
  // With the first one gone, the next start is a first instance again.
  EXPECT_EQ(RunUntilSignal({"sample.csv"}, SIGTERM), 0);
}

TEST_F(ProgramRun, RunsInDifferentRuntimeFoldersDoNotMeet) {
  testsupport::TempDir other;
  Process first(Launch({"sample.csv"}));
  ASSERT_TRUE(Running(first));
  ProcessLaunch launch = Launch({"sample.csv"});
  launch.env["XDG_RUNTIME_DIR"] = other.Path();
  Process second(launch);
  EXPECT_TRUE(testsupport::WaitUntil([&] { return HoldsFlock(second.Pid(), InstanceLockFile(other.Path())); }, 20000));
  EXPECT_TRUE(second.Running());
}

TEST_F(ProgramRun, PathsWithSpacesOpenWithOrWithoutQuotes) {
  WriteFile(dir / "my data.csv", "1,2,3\n");
  EXPECT_EQ(RunUntilSignal({"my data.csv"}, SIGTERM), 0);
  EXPECT_EQ(RunUntilSignal({"my", "data.csv"}, SIGTERM), 0);
  EXPECT_EQ(RunUntilSignal({"\"my data.csv\""}, SIGTERM), 0);
}

TEST_F(ProgramRun, TheMissingPathIsShownWhole) {
  RunResult r = RunProcess(Launch({"\"no such.csv\""}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string("no such.csv: ") + kNotFound + "\n");
  r = RunProcess(Launch({"abc.csv"}));
  EXPECT_EQ(r.err, std::string("abc.csv: ") + kNotFound + "\n") << "an unquoted name loses nothing";
}

TEST_F(ProgramRun, AFolderAsDataPathCountsAsMissing) {
  ASSERT_EQ(mkdir((dir / "folder.csv").c_str(), 0755), 0);
  RunResult r = RunProcess(Launch({"folder.csv"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string("folder.csv: ") + kNotFound + "\n");
}

TEST_F(ProgramRun, TheDataPathComesFromNameInConfigBesideTheProgram) {
  WriteFile(dir / "config.ini", "[CONFIG]\nNAME=points.csv\n");
  RunResult r = RunProcess(Launch());
  EXPECT_EQ(r.err, std::string("points.csv: ") + kNotFound + "\n");
  WriteFile(dir / "points.csv", "0,0,0\n");
  EXPECT_EQ(RunUntilSignal({}, SIGTERM), 0);
  // An argument wins over NAME.
  r = RunProcess(Launch({"other.csv"}));
  EXPECT_EQ(r.err, std::string("other.csv: ") + kNotFound + "\n");
}

TEST_F(ProgramRun, TheDataPathIsRelativeToTheCurrentFolderNotTheProgram) {
  testsupport::TempDir elsewhere;
  WriteFile(elsewhere / "data.csv", "1,1,1\n");
  ProcessLaunch launch = Launch();
  launch.cwd = elsewhere.Path();
  Process p(launch);
  EXPECT_TRUE(Running(p)) << p.Stderr();
  p.Signal(SIGTERM);
  ASSERT_TRUE(p.Wait(20000));
  EXPECT_EQ(p.ExitStatus(), 0);
}

TEST_F(ProgramRun, LongPathsAreNotCut) {
  std::string folder = dir.Path();
  for (int i = 0; i < 5; ++i) {
    folder += "/" + std::string(60, static_cast<char>('a' + i));
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  }
  std::string data = folder + "/" + std::string(40, 'x') + ".csv";
  ASSERT_GT(data.size(), 300u);
  WriteFile(data, "1,2,3\n");
  EXPECT_EQ(RunUntilSignal({data}, SIGTERM), 0);
  RunResult r = RunProcess(Launch({data + ".missing"}));
  EXPECT_EQ(r.err, data + ".missing: " + kNotFound + "\n");
}

TEST_F(ProgramRun, AProgramInADeepFolderStillFindsItsConfig) {
  std::string folder = dir.Path();
  for (int i = 0; i < 5; ++i) {
    folder += "/" + std::string(60, static_cast<char>('k' + i));
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  }
  std::string deepProgram = testsupport::PrepareProgramFolder(folder);
  WriteFile(folder + "/config.ini", "[CONFIG]\nNAME=from-deep-config.csv\n");
  ProcessLaunch launch = Launch();
  launch.program = deepProgram;
  RunResult r = RunProcess(launch);
  EXPECT_EQ(r.err, std::string("from-deep-config.csv: ") + kNotFound + "\n");
}

TEST_F(ProgramRun, WithoutAnyDisplayItSaysSoAndFails) {
  ProcessLaunch launch = Launch({"sample.csv"});
  launch.env.erase("SDL_VIDEODRIVER");
  launch.unsetEnv.push_back("SDL_VIDEODRIVER");
  RunResult r = RunProcess(launch);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("no display available"), std::string::npos) << r.err;
  EXPECT_FALSE(testsupport::FileExists(InstanceLockFile(dir.Path()))) << "it stopped before starting up";
}

TEST_F(ProgramRun, HelpAndVersionNeedNoDisplay) {
  ProcessLaunch launch = Launch({"--help"});
  launch.env.erase("SDL_VIDEODRIVER");
  launch.unsetEnv.push_back("SDL_VIDEODRIVER");
  RunResult r = RunProcess(launch);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Usage: scatterview", 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");
  launch.args = {"-h"};
  EXPECT_EQ(RunProcess(launch).status, 0);
  launch.args = {"--version"};
  r = RunProcess(launch);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("scatterview ", 0), 0u) << r.out;
}

}  // namespace
