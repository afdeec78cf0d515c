// Where the viewer saves its view, run whole: beside the program while that folder (or the file
// there) may be written and no read-only file is there, else in the user's
// $XDG_CONFIG_HOME/scatterview/config.ini, which starts from the read-only file beside the program.
// Also what --help names as the file in use.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "program_folder.h"
#include "temp_dir.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

struct Case {
  const char* name;
  mode_t folderMode;
  std::optional<std::string> beside;  // a config.ini beside the program, made read-only
  bool savedForTheUser;               // else beside the program
  std::vector<std::string> expected;  // in the saved file
};

class SettingsPlace : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    mkdir(programFolder.c_str(), 0755);
    program = testsupport::PrepareProgramFolder(programFolder);
    WriteFile(dir / "sample.csv", "1,2,3\n4,5,6\n");
  }
  void TearDown() override { chmod(programFolder.c_str(), 0755); }  // so that it can be removed

  testsupport::TempDir dir;
  const std::string programFolder = dir / "lib";
  const std::string userFile = dir / "user-config/scatterview/config.ini";  // XDG_CONFIG_HOME of HeadlessRun
  std::string program;
};

TEST_P(SettingsPlace, TheViewIsSavedWhereItCanBeKept) {
  const Case& c = GetParam();
  const std::string besideFile = programFolder + "/config.ini";
  if (c.beside) {
    WriteFile(besideFile, *c.beside);
    chmod(besideFile.c_str(), 0444);
  }
  chmod(programFolder.c_str(), c.folderMode);  // the mode bits count even for root

  testsupport::ProcessLaunch help = testsupport::HeadlessRun(program, dir.Path());
  help.args = {"--help"};
  testsupport::RunResult usage = testsupport::RunProcess(help);
  ASSERT_EQ(usage.status, 0) << usage.err;
  const std::string inUse = c.savedForTheUser ? userFile : besideFile;
  EXPECT_NE(usage.out.find("in use: " + inUse + "\n"), std::string::npos) << usage.out;

  testsupport::ProcessLaunch launch = testsupport::HeadlessRun(program, dir.Path());
  launch.args = {"sample.csv"};
  testsupport::Process viewer(launch);
  ASSERT_TRUE(viewer.Started());
  const std::string lock = testsupport::InstanceLockFile(dir.Path());
  ASSERT_TRUE(testsupport::WaitUntil(
      [&] { return testsupport::HoldsFlock(viewer.Pid(), lock) || !viewer.Running(); }, 20000));
  ASSERT_TRUE(viewer.Running()) << viewer.Stderr();
  viewer.Signal(SIGTERM);
  ASSERT_TRUE(viewer.Wait(20000));
  EXPECT_EQ(viewer.ExitStatus(), 0) << viewer.Stderr();

  const std::string saved = ReadFile(inUse);
  for (const std::string& part : c.expected) EXPECT_NE(saved.find(part), std::string::npos) << part << " in " << saved;
  if (c.savedForTheUser) {
    EXPECT_EQ(ReadFile(besideFile), c.beside.value_or("")) << "the file beside the program is left alone";
    EXPECT_EQ(FileExists(besideFile), c.beside.has_value());
  } else {
    EXPECT_FALSE(FileExists(userFile)) << "nothing in the user's folder";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsPlace,
    ::testing::Values(
        Case{"WritableFolder", 0755, std::nullopt, false, {"SHOWHINT=1", "CAMERA_T=45", "CAMERA_R=250", "AXIS_Y=0"}},
        Case{"ReadOnlyFolder", 0555, std::nullopt, true, {"SHOWHINT=1", "CAMERA_T=45", "CAMERA_R=250", "AXIS_Y=0"}},
        Case{"ReadOnlyFolderAndFile", 0555, "; kept\n[CONFIG]\nCAMERA_T=123\n[Other]\nA=1\n", true,
             {"; kept\n[CONFIG]\n", "CAMERA_T=123\n", "CAMERA_R=250", "[Other]\nA=1\n"}},
        // A read-only file is a starting file whatever the folder's mode (root may write the package's
        // folder): it stays as it is and the user's file starts from it.
        Case{"WritableFolderAndReadOnlyFile", 0755, "[CONFIG]\nCAMERA_T=123\n", true,
             {"[CONFIG]\nCAMERA_T=123\n", "CAMERA_R=250"}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
