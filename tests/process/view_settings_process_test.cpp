// The view keys of config.ini across whole runs of the built program (headless): written at every way
// a run ends, with the values it was left at, and nothing else in the file lost.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "ini_keys.h"
#include "program_folder.h"
#include "temp_dir.h"

namespace {

using testsupport::DefaultViewKeys;
using testsupport::IniSection;
using testsupport::IniSectionLines;
using testsupport::Process;
using testsupport::ReadFile;
using testsupport::RunProcess;
using testsupport::RunResult;
using testsupport::WriteFile;

class ViewSettingsRun : public ::testing::Test {
 protected:
  void SetUp() override {
    program = testsupport::PrepareProgramFolder(dir.Path());
    WriteFile(dir / "data.csv", "1,2,3\n4,5,6\n");
  }
  // Runs until it is up (its single-instance lock held) plus a few frames, then SIGTERM; the status.
  int RunAWhile() {
    Process p(testsupport::HeadlessRun(program, dir.Path()));
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] { return testsupport::HoldsFlock(p.Pid(), testsupport::InstanceLockFile(dir.Path())) || !p.Running(); },
        20000));
    EXPECT_TRUE(p.Running()) << p.Stderr();
    // Frames run: view control has had its turn (a frame is 1/60 s; this leaves ample room).
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    p.Signal(SIGTERM);
    EXPECT_TRUE(p.Wait(20000));
    err = p.Stderr();
    return p.ExitStatus();
  }
  std::string Config() { return ReadFile(dir / "config.ini"); }

  testsupport::TempDir dir;
  std::string program;
  std::string err;
};

TEST_F(ViewSettingsRun, WithoutAConfigFileTheRunWritesTheTenKeysWithTheirDefaults) {
  EXPECT_EQ(RunAWhile(), 0);
  EXPECT_EQ(err, "");
  EXPECT_EQ(IniSectionLines(Config(), "CONFIG"), DefaultViewKeys()) << Config();
}

TEST_F(ViewSettingsRun, OtherKeysSectionsAndCommentsSurviveTheSave) {
  WriteFile(dir / "config.ini",
            "; kept comment\n[Display]\nMonitor=2\n\n[CONFIG]\nFPS=1\nNAME=data.csv\nLINESET=1\n[Tail]\nx=y\n");
  EXPECT_EQ(RunAWhile(), 0);
  std::string ini = Config();
  EXPECT_NE(ini.find("; kept comment"), std::string::npos) << ini;
  EXPECT_EQ(IniSection(ini, "Display"), (std::map<std::string, std::string>{{"Monitor", "2"}}));
  EXPECT_EQ(IniSection(ini, "Tail"), (std::map<std::string, std::string>{{"x", "y"}}));
  std::map<std::string, std::string> config = IniSection(ini, "CONFIG");
  EXPECT_EQ(config["FPS"], "1");
  EXPECT_EQ(config["NAME"], "data.csv");
  EXPECT_EQ(config["LINESET"], "1");
  for (const auto& [key, value] : DefaultViewKeys()) {
    if (key != "LINESET") {
      EXPECT_EQ(config[key], value) << key;
    }
  }
  EXPECT_EQ(config.size(), 12u) << ini;
}

TEST_F(ViewSettingsRun, ValuesComeBackAsTheRunLeftThem) {
  // SHOWHINT 5 stays on and is written in base 2; THETA 400 is wrapped to 40 by the first frames; R 0 is
  // raised to 1; a negative axis keeps its sign.
  WriteFile(dir / "config.ini", "[CONFIG]\nSHOWHINT=5\nCAMERA_T=400\nCAMERA_R=0\nAXIS_X=-12\nCAMERA_Y=7\n");
  EXPECT_EQ(RunAWhile(), 0);
  std::map<std::string, std::string> config = IniSection(Config(), "CONFIG");
  EXPECT_EQ(config["SHOWHINT"], "101");
  EXPECT_EQ(config["CAMERA_T"], "40");
  EXPECT_EQ(config["CAMERA_R"], "1");
  EXPECT_EQ(config["AXIS_X"], "-12");
  EXPECT_EQ(config["CAMERA_Y"], "7");
}

TEST_F(ViewSettingsRun, AMissingDataFileStillWritesTheKeysAsRead) {
  std::filesystem::remove(dir / "data.csv");
  WriteFile(dir / "config.ini", "[CONFIG]\nAXIS_Y=4\n");
  RunResult r = RunProcess(testsupport::HeadlessRun(program, dir.Path()));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "data.csv: ファイルが見つかりません (file not found)\n");
  std::map<std::string, std::string> config = IniSection(Config(), "CONFIG");
  EXPECT_EQ(config.size(), 10u) << Config();
  for (const auto& [key, value] : DefaultViewKeys()) EXPECT_EQ(config[key], key == "AXIS_Y" ? "4" : value) << key;
}

TEST_F(ViewSettingsRun, AMissingFontTextureEndsWithItsMessageAndStatusOneAndSaves) {
  std::filesystem::remove(dir / "data/font.dds");
  RunResult r = RunProcess(testsupport::HeadlessRun(program, dir.Path()));
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, ": フォントファイルがありません (font file data/font.dds missing)\n") << "empty caption, the text, the gloss";
  EXPECT_EQ(IniSectionLines(Config(), "CONFIG"), DefaultViewKeys()) << Config();
}

TEST_F(ViewSettingsRun, AFontFileThatIsNoTextureCountsAsMissing) {
  WriteFile(dir / "data/font.dds", "DDS not really a texture");
  RunResult r = RunProcess(testsupport::HeadlessRun(program, dir.Path()));
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, ": フォントファイルがありません (font file data/font.dds missing)\n");
}

}  // namespace
