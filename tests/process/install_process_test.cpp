// `cmake --install` into a temporary prefix, then the installed programs run from there: the layout,
// the links, the desktop entry, a picture from the installed render tool and a headless viewer run
// that finds its font and keeps its config.ini beside the real program.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "png_image.h"
#include "process_runner.h"
#include "program_folder.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

testsupport::ProcessLaunch Command(const std::string& program, std::vector<std::string> args) {
  testsupport::ProcessLaunch launch;
  launch.program = program;
  launch.args = std::move(args);
  return launch;
}

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix = dir / "pre fix";  // a space, as users' folders have
    testsupport::ProcessLaunch launch = Command("/usr/bin/env", {"cmake", "--install", testsupport::BuildDir(), "--prefix", prefix});
    testsupport::RunResult r = testsupport::RunProcess(launch, 60000);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    testsupport::WriteFile(dir / "data.csv", "40,-20,30\n-30,50,-20\n20,60,40\n60,20,-40\n");
  }

  testsupport::TempDir dir;
  std::string prefix;
};

TEST_F(Installed, PutsTheProgramsAndFontTogetherAndLinksThemFromBin) {
  const std::string lib = prefix + "/lib/scatterview";
  for (const char* program : {"scatterview", "scatterview-render"}) {
    EXPECT_TRUE(fs::is_regular_file(lib + "/" + program)) << program;
    const fs::path link = prefix + "/bin/" + program;
    ASSERT_TRUE(fs::is_symlink(link)) << link;
    EXPECT_EQ(fs::read_symlink(link), fs::path("../lib/scatterview") / program) << "relative, so the tree can move";
    EXPECT_TRUE(fs::equivalent(link, lib + "/" + program));
  }
  EXPECT_EQ(testsupport::ReadFile(lib + "/data/font.dds"), testsupport::ReadFile(testsupport::BuildDir() + "/data/font.dds"));
}

TEST_F(Installed, HasADesktopEntryThatOpensCsvFilesWithTheViewer) {
  const std::string entry = testsupport::ReadFile(prefix + "/share/applications/scatterview.desktop");
  ASSERT_FALSE(entry.empty());
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
  EXPECT_NE(entry.find("\nExec=\"" + prefix + "/bin/scatterview\" %f\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nMimeType=text/csv;"), std::string::npos) << entry;
}

TEST_F(Installed, TheInstalledRenderToolDrawsWhatTheBuiltOneDraws) {
  testsupport::ProcessLaunch installed = Command(prefix + "/bin/scatterview-render", {"--no-axes", "data.csv", "installed.png"});
  installed.cwd = dir.Path();
  installed.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY"};
  testsupport::RunResult r = testsupport::RunProcess(installed);
  ASSERT_EQ(r.status, 0) << r.err;

  // The build's own tool, given an empty config file so that no config.ini in the build folder counts.
  testsupport::WriteFile(dir / "empty.ini", "");
  testsupport::WriteFile(prefix + "/lib/scatterview/config.ini", "");
  testsupport::ProcessLaunch built = Command(testsupport::BuildDir() + "/scatterview-render",
                                           {"--config", dir / "empty.ini", "--no-axes", "data.csv", "built.png"});
  built.cwd = dir.Path();
  ASSERT_EQ(testsupport::RunProcess(built).status, 0);
  ASSERT_EQ(testsupport::RunProcess(installed).status, 0);
  EXPECT_EQ(testsupport::CompareImages(testsupport::ReadPng(dir / "installed.png"), testsupport::ReadPng(dir / "built.png")),
            "");
}

TEST_F(Installed, TheInstalledViewerRunsHeadlessAndKeepsItsSettingsBesideTheRealProgram) {
  testsupport::ProcessLaunch launch = testsupport::HeadlessRun(prefix + "/bin/scatterview", dir.Path());
  launch.args = {"data.csv"};
  testsupport::Process viewer(launch);
  ASSERT_TRUE(viewer.Started());
  const std::string lock = testsupport::InstanceLockFile(dir.Path());
  ASSERT_TRUE(testsupport::WaitUntil([&] { return testsupport::HoldsFlock(viewer.Pid(), lock) || !viewer.Running(); },
                                     10000));
  ASSERT_TRUE(viewer.Running()) << viewer.Stderr();
  // A few frames, then the end a desktop session sends.
  testsupport::WaitUntil([] { return false; }, 300);
  viewer.Signal(SIGTERM);
  ASSERT_TRUE(viewer.Wait(10000));
  EXPECT_EQ(viewer.ExitStatus(), 0) << viewer.Stderr();
  EXPECT_EQ(viewer.Stderr().find("フォントファイルがありません"), std::string::npos) << viewer.Stderr();
  const std::string config = testsupport::ReadFile(prefix + "/lib/scatterview/config.ini");
  EXPECT_NE(config.find("CAMERA_T=45"), std::string::npos) << config;
  EXPECT_FALSE(testsupport::FileExists(prefix + "/bin/config.ini"));
}

}  // namespace
