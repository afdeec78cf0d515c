// `cmake --install` into a temporary prefix, then the installed programs run from there: the layout,
// the links, the desktop entry, the read-only starting settings, a picture from the installed render
// tool and a headless viewer run that finds its font and keeps its view in the user's own folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

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
    testsupport::ProcessLaunch launch =
        Command("/usr/bin/env", {"cmake", "--install", testsupport::BuildDir(), "--prefix", prefix});
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
  EXPECT_EQ(testsupport::ReadFile(lib + "/data/font.dds"),
            testsupport::ReadFile(testsupport::BuildDir() + "/data/font.dds"));
}

TEST_F(Installed, StartsFromReadOnlySettingsThatFitTheDataAndRaiseTheRowLimit) {
  const std::string installed = prefix + "/lib/scatterview/config.ini";
  struct stat st {};
  ASSERT_EQ(stat(installed.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u) << "no write bit: every user, root too, keeps a copy of their own";
  const std::string text = testsupport::ReadFile(installed);
  EXPECT_EQ(text, testsupport::ReadFile(testsupport::SourceDir() + "/packaging/config.ini"));
  EXPECT_NE(text.find("\nFIT=2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nMAXROWS=10000000\n"), std::string::npos) << text;
}

// Whether `text` is a date written YYYY-MM-DD.
bool IsIsoDate(const std::string& text) {
  if (text.size() != 10) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (i == 4 || i == 7 ? text[i] != '-' : (text[i] < '0' || text[i] > '9')) return false;
  return true;
}

TEST_F(Installed, ManualPagesCarryTheVersionAndTheDateOfTheBuild) {
  const std::string project = testsupport::ReadFile(testsupport::SourceDir() + "/CMakeLists.txt");
  const size_t at = project.find("project(scatterview VERSION ") + 28;
  const std::string version = project.substr(at, project.find_first_of(" )", at) - at);
  const struct {
    const char* file;
    std::string title;
  } pages[] = {{"scatterview.1.gz", ".TH SCATTERVIEW 1 "}, {"scatterview-render.1.gz", ".TH SCATTERVIEW\\-RENDER 1 "}};
  for (const auto& page : pages) {
    testsupport::RunResult r =
        testsupport::RunProcess(Command("/usr/bin/env", {"zcat", prefix + "/share/man/man1/" + page.file}));
    ASSERT_EQ(r.status, 0) << page.file << r.err;
    const std::string first = r.out.substr(0, r.out.find('\n'));
    ASSERT_EQ(first.rfind(page.title, 0), 0u) << first;
    EXPECT_TRUE(IsIsoDate(first.substr(page.title.size(), 10))) << first;
    EXPECT_EQ(first.substr(page.title.size() + 10), " \"scatterview " + version + "\" \"User Commands\"") << first;
  }
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
  testsupport::ProcessLaunch installed =
      Command(prefix + "/bin/scatterview-render", {"--no-axes", "data.csv", "installed.png"});
  installed.cwd = dir.Path();
  installed.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY"};
  // A user without a config.ini of their own: the installed one is read, never the tester's.
  installed.env["XDG_CONFIG_HOME"] = dir / "user-config";
  testsupport::RunResult r = testsupport::RunProcess(installed);
  ASSERT_EQ(r.status, 0) << r.err;

  // The build's own tool, given an empty config file so that no config.ini in the build folder counts;
  // the installed one given an empty user's file, which takes the place of the starting settings.
  testsupport::WriteFile(dir / "empty.ini", "");
  std::filesystem::create_directories(dir / "user-config/scatterview");
  testsupport::WriteFile(dir / "user-config/scatterview/config.ini", "");
  testsupport::ProcessLaunch built = Command(testsupport::BuildDir() + "/scatterview-render",
                                           {"--config", dir / "empty.ini", "--no-axes", "data.csv", "built.png"});
  built.cwd = dir.Path();
  ASSERT_EQ(testsupport::RunProcess(built).status, 0);
  ASSERT_EQ(testsupport::RunProcess(installed).status, 0);
  EXPECT_EQ(
      testsupport::CompareImages(testsupport::ReadPng(dir / "installed.png"), testsupport::ReadPng(dir / "built.png")),
      "");
}

TEST_F(Installed, TheInstalledViewerRunsHeadlessAndKeepsItsViewInTheUsersFolder) {
  const std::string installed = prefix + "/lib/scatterview/config.ini";
  const std::string starting = testsupport::ReadFile(installed);
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
  // HeadlessRun's XDG_CONFIG_HOME; the copy keeps the starting keys and gains the view.
  const std::string config = testsupport::ReadFile(dir / "user-config/scatterview/config.ini");
  EXPECT_NE(config.find("CAMERA_T=45"), std::string::npos) << config;
  EXPECT_NE(config.find("\nFIT=2\n"), std::string::npos) << config;
  EXPECT_NE(config.find("\nMAXROWS=10000000\n"), std::string::npos) << config;
  EXPECT_EQ(testsupport::ReadFile(installed), starting) << "the installed file is never written";
  EXPECT_FALSE(testsupport::FileExists(prefix + "/bin/config.ini"));
}

}  // namespace

namespace {

// The build's copy of the starting settings beside build/scatterview: made when missing, and never
// over a file that is there, since the viewer saves the developer's view in it.
TEST(StartingSettings, AreCopiedBesideTheBuiltProgramOnlyWhenItHasNone) {
  EXPECT_TRUE(testsupport::FileExists(testsupport::BuildDir() + "/config.ini")) << "made by the build";
  testsupport::TempDir dir;
  const std::string source = testsupport::SourceDir() + "/packaging/config.ini";
  auto copy = [&] {
    testsupport::ProcessLaunch launch = Command("/usr/bin/env", {"cmake", "-DSOURCE=" + source,
        "-DDESTINATION=" + (dir / "config.ini"), "-P", testsupport::SourceDir() + "/packaging/starting_config.cmake"});
    return testsupport::RunProcess(launch).status;
  };
  ASSERT_EQ(copy(), 0);
  EXPECT_EQ(testsupport::ReadFile(dir / "config.ini"), testsupport::ReadFile(source));
  testsupport::WriteFile(dir / "config.ini", "[CONFIG]\nCAMERA_T=7\n");
  ASSERT_EQ(copy(), 0);
  EXPECT_EQ(testsupport::ReadFile(dir / "config.ini"), "[CONFIG]\nCAMERA_T=7\n");
}

}  // namespace
