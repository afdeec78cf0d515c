// config.ini at its edges, run whole (headless): numbers past what their key holds, the line ends and
// comments of a file the save rewrites, settings folders and files that cannot take the view (said once
// on stderr), an answer (--help) that must create nothing, a file too large to be settings, and a huge
// file ended by SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "program_folder.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::FileExists;
using testsupport::Process;
using testsupport::ProcessLaunch;
using testsupport::ReadFile;
using testsupport::WriteFile;

// The view keys a save adds to a section without them, in their order and with their defaults, less
// those in `present`; each line ended by `eol`.
std::string AddedKeys(const std::vector<std::string>& present, const std::string& eol) {
  const std::vector<std::pair<std::string, std::string>> all = {
      {"SHOWHINT", "1"}, {"LINESET", "0"},  {"AUTOANIME", "0"}, {"SHOWAXIS", "1"}, {"CAMERA_X", "150"},
      {"CAMERA_Y", "30"}, {"CAMERA_T", "45"}, {"CAMERA_R", "250"}, {"AXIS_X", "0"},  {"AXIS_Y", "0"}};
  std::string lines;
  for (const auto& [key, value] : all)
    if (std::find(present.begin(), present.end(), key) == present.end()) lines += key + "=" + value + eol;
  return lines;
}

// A file with comments after two values, in the line ends `eol`. SHOWHINT 5 is written back in base 2
// and R 0 is raised to 1, so a save that did not read them, or rewrote them badly, shows.
std::string Commented(const std::string& eol, const std::string& showHint, const std::string& cameraR,
                      const std::string& added) {
  return "; mine" + eol + "[CONFIG]" + eol + "SHOWHINT = " + showHint + " ; on" + eol + "CAMERA_R=" + cameraR +
         "\t# raised" + eol + added + "[Other]" + eol + "k=v" + eol;
}

struct Case {
  std::string name;
  std::string config{};        // config.ini beside the program; none when empty
  mode_t configMode = 0644;
  mode_t folderMode = 0755;    // of the program's folder, dir/lib
  std::function<void(const std::string& dir, ProcessLaunch&)> prepare = [](const std::string&, ProcessLaunch&) {};
  std::vector<std::string> args = {"data.csv"};  // a run is ended by SIGTERM once up; --help runs out
  std::string err{};                             // all of stderr; "{dir}" stands for the test's folder
  std::optional<std::string> saved{};            // dir/lib/config.ini afterwards, whole; nullopt: absent
  std::vector<std::string> absent{};             // further paths under dir that must not exist afterwards
  bool rootWritesAnyway = false;                 // root makes files in any folder: staged only for others
};

std::string WithDir(std::string text, const std::string& dir) {
  for (size_t at = text.find("{dir}"); at != std::string::npos; at = text.find("{dir}", at + dir.size()))
    text.replace(at, 5, dir);
  return text;
}

void UnsetConfigHome(ProcessLaunch& launch, bool alsoHome) {
  launch.env.erase("XDG_CONFIG_HOME");
  launch.unsetEnv.push_back("XDG_CONFIG_HOME");
  if (alsoHome) launch.unsetEnv.push_back("HOME");
}

const std::string kLost = " is read-only: the view will not be saved\n";

TEST(ConfigEdges, EachCaseEndsWithItsStatusMessagesAndFile) {
  const std::vector<Case> cases = {
      {.name = "32-bit keys out of range keep their default, in range they read as ever",
       .config = "[CONFIG]\nAXIS_Y=-99999999999\nFIT=4294967297\nCAMERA_X=2147483647\nMAXROWS=4294967297\n",
       .err = "scatterview: config.ini: AXIS_Y=-99999999999 is out of range; 0 is used\n"
              "scatterview: config.ini: FIT=4294967297 is out of range; 0 is used\n",
       // MAXROWS takes what --max-rows takes: no notice of rows left out (wrapped, it read 1 row of 3).
       .saved = "[CONFIG]\nAXIS_Y=0\nFIT=0\nCAMERA_X=2147483647\nMAXROWS=4294967297\n" +
                AddedKeys({"AXIS_Y", "CAMERA_X"}, "\n")},
      {.name = "a row limit past 64 bits and a size past 32 bits keep their defaults",
       .config = "[CONFIG]\nMAXROWS=99999999999999999999\nWidth=4294967936\n",
       .err = "scatterview: config.ini: Width=4294967936 is out of range; 640 is used\n"
              "scatterview: config.ini: MAXROWS=99999999999999999999 is out of range; 150000 is used\n",
       .saved = "[CONFIG]\nMAXROWS=99999999999999999999\nWidth=4294967936\n" + AddedKeys({}, "\n")},
      {.name = "CR LF line ends and comments after values stay",
       .config = Commented("\r\n", "5", "0", ""),
       .saved = Commented("\r\n", "101", "1", AddedKeys({"SHOWHINT", "CAMERA_R"}, "\r\n"))},
      {.name = "a file with CR alone for line ends is read and keeps them",
       .config = Commented("\r", "5", "0", ""),
       .saved = Commented("\r", "101", "1", AddedKeys({"SHOWHINT", "CAMERA_R"}, "\r"))},
      {.name = "XDG_CONFIG_HOME names a file",
       .folderMode = 0555,
       .prepare = [](const std::string& dir, ProcessLaunch& launch) {
         WriteFile(dir + "/xdg", "a file");
         launch.env["XDG_CONFIG_HOME"] = dir + "/xdg";
       },
       .err = "scatterview: {dir}/xdg/scatterview cannot be made and {dir}/lib" + kLost},
      {.name = "XDG_CONFIG_HOME is a dangling link",
       .folderMode = 0555,
       .prepare = [](const std::string& dir, ProcessLaunch& launch) {
         ASSERT_EQ(symlink((dir + "/nowhere").c_str(), (dir + "/xdg").c_str()), 0);
         launch.env["XDG_CONFIG_HOME"] = dir + "/xdg";
       },
       .err = "scatterview: {dir}/xdg/scatterview cannot be made and {dir}/lib" + kLost,
       .absent = {"nowhere"}},
      {.name = "XDG_CONFIG_HOME is a loop of links",
       .folderMode = 0555,
       .prepare = [](const std::string& dir, ProcessLaunch& launch) {
         ASSERT_EQ(symlink((dir + "/xdg").c_str(), (dir + "/xdg").c_str()), 0);
         launch.env["XDG_CONFIG_HOME"] = dir + "/xdg";
       },
       .err = "scatterview: {dir}/xdg/scatterview cannot be made and {dir}/lib" + kLost},
      {.name = "no HOME and no XDG_CONFIG_HOME",
       .folderMode = 0555,
       .prepare = [](const std::string&, ProcessLaunch& launch) { UnsetConfigHome(launch, true); },
       .err = "scatterview: there is no home folder (HOME unset) and {dir}/lib" + kLost},
      {.name = "a read-only starting file and XDG_CONFIG_HOME names a file",
       .config = "[CONFIG]\nCAMERA_T=7\n", .configMode = 0444,
       .prepare = [](const std::string& dir, ProcessLaunch& launch) {
         WriteFile(dir + "/xdg", "a file");
         launch.env["XDG_CONFIG_HOME"] = dir + "/xdg";
       },
       .err = "scatterview: {dir}/xdg/scatterview cannot be made and {dir}/lib/config.ini" + kLost,
       .saved = "[CONFIG]\nCAMERA_T=7\n"},
      {.name = "a read-only starting file, no HOME and no XDG_CONFIG_HOME",
       .config = "[CONFIG]\nCAMERA_T=7\n", .configMode = 0444, .folderMode = 0555,
       .prepare = [](const std::string&, ProcessLaunch& launch) { UnsetConfigHome(launch, true); },
       .err = "scatterview: there is no home folder (HOME unset) and {dir}/lib/config.ini" + kLost,
       .saved = "[CONFIG]\nCAMERA_T=7\n"},
      {.name = "the user's own file is read-only",
       .folderMode = 0555,
       .prepare = [](const std::string& dir, ProcessLaunch&) {
         fs::create_directories(dir + "/user-config/scatterview");
         WriteFile(dir + "/user-config/scatterview/config.ini", "");
         chmod((dir + "/user-config/scatterview/config.ini").c_str(), 0444);
       },
       .err = "scatterview: {dir}/user-config/scatterview/config.ini" + kLost},
      {.name = "a writable config.ini in a read-only program folder cannot be replaced",
       .config = "[CONFIG]\nCAMERA_T=7\n", .folderMode = 0555,
       .err = "scatterview: {dir}/lib is read-only, so {dir}/lib/config.ini cannot be replaced: the view will not "
              "be saved\n",
       .saved = "[CONFIG]\nCAMERA_T=7\n", .rootWritesAnyway = true},
      {.name = "--help makes neither the user's folder nor its file",
       .config = "[CONFIG]\nCAMERA_T=7\n",
       .configMode = 0444,
       .folderMode = 0555,
       .args = {"--help"},
       .saved = "[CONFIG]\nCAMERA_T=7\n",
       .absent = {"user-config"}},
      {.name = "a config.ini over 64 MiB is named, neither read nor written",
       .prepare = [](const std::string& dir, ProcessLaunch&) {
         WriteFile(dir + "/lib/config.ini", "");
         ASSERT_EQ(truncate((dir + "/lib/config.ini").c_str(), (64 << 20) + 1), 0);  // sparse: no disk used
       },
       .err = "scatterview: {dir}/lib/config.ini is larger than 64 MiB: its settings are not read and the view is "
              "not saved\n",
       .saved = std::string((64 << 20) + 1, '\0')},
  };
  std::string notStaged;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.rootWritesAnyway && geteuid() == 0) {
      notStaged += c.name + "; ";
      continue;
    }
    testsupport::TempDir dir;
    const std::string lib = dir / "lib";
    ASSERT_EQ(mkdir(lib.c_str(), 0755), 0);
    const std::string program = testsupport::PrepareProgramFolder(lib);
    WriteFile(dir / "data.csv", "1,2,3\n4,5,6\n7,8,9\n");
    if (!c.config.empty()) {
      WriteFile(lib + "/config.ini", c.config);
      chmod((lib + "/config.ini").c_str(), c.configMode);
    }
    ProcessLaunch launch = testsupport::HeadlessRun(program, dir.Path());
    launch.args = c.args;
    c.prepare(dir.Path(), launch);
    chmod(lib.c_str(), c.folderMode);  // the mode bits count even for root

    int status = -1;
    std::string err;
    if (c.args.front() == "--help") {
      testsupport::RunResult r = testsupport::RunProcess(launch);
      status = r.status;
      err = r.err;
    } else {
      Process p(launch);
      ASSERT_TRUE(p.Started());
      EXPECT_TRUE(testsupport::WaitUntil(
          [&] { return testsupport::HoldsFlock(p.Pid(), testsupport::InstanceLockFile(dir.Path())) || !p.Running(); },
          20000));
      // Frames run and the rows are read (a notice of rows left out would be on stderr by now).
      std::this_thread::sleep_for(std::chrono::milliseconds(800));
      p.Signal(SIGTERM);
      EXPECT_TRUE(p.Wait(10000)) << "a run that does not end";
      status = p.ExitStatus();
      err = p.Stderr();
    }
    chmod(lib.c_str(), 0755);

    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(err, WithDir(c.err, dir.Path()));
    if (c.saved) {
      EXPECT_TRUE(ReadFile(lib + "/config.ini") == *c.saved) << ReadFile(lib + "/config.ini").substr(0, 600);
    } else {
      EXPECT_FALSE(FileExists(lib + "/config.ini"));
    }
    for (const std::string& path : c.absent) EXPECT_FALSE(fs::exists(fs::symlink_status(dir / path))) << path;
  }
  // The other rows have run and hold; the run's log names the ones root cannot stage.
  if (!notStaged.empty()) RecordProperty("not_staged_as_root", notStaged);
}

// Six million keys (24 MB) in the section the view keys go in: SIGTERM while the window runs ends the
// run normally and the save keeps every one of them.
TEST(ConfigEdges, AHugeFileEndedBySigtermIsSavedWhole) {
  testsupport::TempDir dir;
  const std::string program = testsupport::PrepareProgramFolder(dir.Path());
  WriteFile(dir / "data.csv", "1,2,3\n4,5,6\n");
  const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string filler;
  filler.reserve(24u << 20);
  for (size_t i = 0; i < 6000000; ++i) {
    filler += letters[i % 36];
    filler += letters[i / 36 % 36];
    filler += "=\n";
  }
  const std::string head = "; huge\n[CONFIG]\nCAMERA_T=123 ; kept\n";
  WriteFile(dir / "config.ini", head + filler + "[Other]\nk=v\n");

  Process p(testsupport::HeadlessRun(program, dir.Path()));
  ASSERT_TRUE(p.Started());
  EXPECT_TRUE(testsupport::WaitUntil(
      [&] { return testsupport::HoldsFlock(p.Pid(), testsupport::InstanceLockFile(dir.Path())) || !p.Running(); },
      20000));
  EXPECT_TRUE(p.Running()) << p.Stderr();
  p.Signal(SIGTERM);
  ASSERT_TRUE(p.Wait(10000)) << "a hang after SIGTERM";
  EXPECT_EQ(p.ExitStatus(), 0) << p.Stderr();
  EXPECT_EQ(p.Stderr(), "");
  const std::string saved = ReadFile(dir / "config.ini");
  EXPECT_TRUE(saved == head + filler + AddedKeys({"CAMERA_T"}, "\n") + "[Other]\nk=v\n")
      << "size " << saved.size() << ", start: " << saved.substr(0, 200);
}

}  // namespace
