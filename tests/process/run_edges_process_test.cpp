// The viewer at the edges of a run, headless: SIGTERM and SIGINT at any moment end it like the close
// button (the settings written whole, status 0, nothing left behind); files that are not plain files
// never hold the start; closed standard descriptors; an unusable runtime folder for the lock.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "program_folder.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Process;
using testsupport::ProcessLaunch;
using testsupport::ReadFile;
using testsupport::WriteFile;

constexpr char kSecondInstance[] = "二重起動無理[ﾟдﾟ]<箱をｱｲｼﾃ!!";

// A settings file of about `megabytes` MB: many comment lines, then the view keys.
std::string LargeConfig(int megabytes) {
  std::string line = "; " + std::string(97, 'x') + "\n";
  std::string text;
  text.reserve(static_cast<size_t>(megabytes) << 20);
  while (text.size() < (static_cast<size_t>(megabytes) << 20)) text += line;
  return text + "[CONFIG]\nCAMERA_T=123\nCAMERA_R=77\n";
}

class RunEdges : public ::testing::Test {
 protected:
  void SetUp() override {
    program = testsupport::PrepareProgramFolder(dir.Path());
    WriteFile(dir / "sample.csv", "1,2,3\n4,5,6\n");
  }
  ProcessLaunch Launch(std::vector<std::string> args = {"sample.csv"}) {
    ProcessLaunch launch = testsupport::HeadlessRun(program, dir.Path());
    launch.args = std::move(args);
    return launch;
  }
  bool Running(Process& p, const std::string& lock) {
    return testsupport::WaitUntil([&] { return testsupport::HoldsFlock(p.Pid(), lock) || !p.Running(); }, 20000) &&
           p.Running();
  }
  bool Running(Process& p) { return Running(p, testsupport::InstanceLockFile(dir.Path())); }
  // Whether `p` has config.ini open, looked for every millisecond for up to 20 s: its very start.
  bool ReadingConfig(Process& p) {
    const std::string config = fs::canonical(dir / "config.ini");
    const std::string fds = "/proc/" + std::to_string(p.Pid()) + "/fd";
    for (int i = 0; i < 20000 && p.Running(); ++i) {
      std::error_code ignored;
      for (const auto& e : fs::directory_iterator(fds, ignored))
        if (fs::read_symlink(e.path(), ignored) == config) return true;
      usleep(1000);
    }
    return false;
  }
  void ExpectNoTemporaries() {
    for (const auto& e : fs::directory_iterator(dir.Path()))
      EXPECT_EQ(e.path().filename().string().find(".tmp."), std::string::npos) << e.path();
  }

  testsupport::TempDir dir;
  std::string program;
  std::unique_ptr<Process> writer;  // a data file's writer, when a case has one
};

TEST_F(RunEdges, SignalsAtAnyMomentEndTheRunWithTheSettingsWrittenWhole) {
  // A pid above the system's largest can belong to no running process.
  std::ifstream pidMax("/proc/sys/kernel/pid_max");
  long largest = 4194304;
  pidMax >> largest;
  struct Case {
    std::string name;
    int signal;
    std::function<void(Process&)> send;
    std::string keys = "";  // more start-up keys
    std::string data = "sample.csv";
    int configMegabytes = 24;
  };
  // More rows than MAXROWS below lets the notice of the rest tell when the first frame begins to draw.
  constexpr int kManyRows = 3000000;
  std::string rows;
  rows.reserve(static_cast<size_t>(kManyRows) * 16);
  for (int i = 0; i <= kManyRows; ++i)
    rows += std::to_string(i % 200 - 100) + "," + std::to_string(i / 200 % 200 - 100) + "," +
            std::to_string(i % 7 * 10) + "\n";
  WriteFile(dir / "many.csv", rows);
  const std::vector<Case> cases = {
      // While the static objects are still being built (the scene reads the large config.ini), before
      // any library has had a chance to set up handlers of its own.
      {"in the first milliseconds", SIGTERM, [&](Process& p) {
         ASSERT_TRUE(ReadingConfig(p));
         p.Signal(SIGTERM);
       }},
      {"Ctrl-C in the first milliseconds", SIGINT, [&](Process& p) {
         ASSERT_TRUE(ReadingConfig(p));
         p.Signal(SIGINT);
       }},
      // The terminal the viewer was started from closes.
      {"a closed terminal (SIGHUP) while it runs", SIGHUP, [&](Process& p) {
         ASSERT_TRUE(Running(p)) << p.Stderr();
         p.Signal(SIGHUP);
       }},
      // A second and third signal while the large file is being saved.
      {"again and again during the save", SIGTERM, [&](Process& p) {
         ASSERT_TRUE(Running(p)) << p.Stderr();
         for (int i = 0; i < 50 && p.Running(); ++i) {
           p.Signal(SIGTERM);
           usleep(5 * 1000);
         }
       }},
      // A frame of millions of segments takes longer than a frame should; the end must not wait for it.
      {"while a frame of millions of rows draws", SIGTERM,
       [&](Process& p) {
         ASSERT_TRUE(p.WaitForStderr("rows read", 20000)) << p.Stderr();
         p.Signal(SIGTERM);
       },
       "MAXROWS=" + std::to_string(kManyRows) + "\nLINESET=1\n", "many.csv", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string config = LargeConfig(c.configMegabytes) + c.keys;
    WriteFile(dir / "config.ini", config);
    const std::string stale = dir / (".config.ini.tmp." + std::to_string(largest + 1) + ".0");
    WriteFile(stale, "left by a run that died");
    Process p(Launch({c.data}));
    c.send(p);
    ASSERT_TRUE(p.Wait(60000)) << "no end after the signal";
    EXPECT_EQ(p.ExitStatus(), 0) << p.Stderr();
    const std::string saved = ReadFile(dir / "config.ini");
    const size_t kept = config.size() - 40 - c.keys.size();
    EXPECT_EQ(saved.compare(0, kept, config, 0, kept), 0) << "the comments are kept";
    EXPECT_NE(saved.find("CAMERA_T=123\n"), std::string::npos);
    EXPECT_NE(saved.find("SHOWAXIS="), std::string::npos) << "every view key written";
    EXPECT_FALSE(testsupport::FileExists(stale)) << "a dead run's temporary file is removed";
    ExpectNoTemporaries();
  }
}

TEST_F(RunEdges, FilesThatAreNotPlainFilesNeverHoldTheStart) {
  struct Case {
    std::string name;
    std::vector<std::string> args;
    std::function<void()> prepare;
  };
  const std::string fifo = dir / "rows.fifo";
  const std::vector<Case> cases = {
      {"config.ini is a FIFO", {"sample.csv"}, [&] { ASSERT_EQ(mkfifo((dir / "config.ini").c_str(), 0600), 0); }},
      {"the data file is a FIFO nobody writes", {"rows.fifo"}, [&] { ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0); }},
      {"the data file is a pipe whose writer never ends", {"rows.fifo"}, [&] {
         ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
         writer = std::make_unique<Process>(ProcessLaunch{
             "/bin/sh", {"-c", "while :; do echo 1,2,3 || exit; sleep 0.05; done > rows.fifo"}, {}, {}, dir.Path()});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::error_code ignored;
    fs::remove(dir / "config.ini", ignored);
    fs::remove(fifo, ignored);
    c.prepare();
    Process p(Launch(c.args));
    ASSERT_TRUE(Running(p)) << "the start went on; " << p.Stderr();
    usleep(200 * 1000);  // frames run while the data file waits for its writer
    p.Signal(SIGTERM);
    ASSERT_TRUE(p.Wait(5000)) << "SIGTERM ends the run at once";
    EXPECT_EQ(p.ExitStatus(), 0) << p.Stderr();
    if (writer) writer->Signal(SIGKILL);
    writer.reset();
    if (c.args[0] == "sample.csv") {
      EXPECT_TRUE(fs::is_fifo(dir / "config.ini")) << "the FIFO was never replaced";
    }
  }
}

TEST_F(RunEdges, ADanglingConfigLinkStaysALinkAndItsTargetIsWritten) {
  fs::create_directory(dir / "settings");
  fs::create_symlink("settings/view.ini", dir / "config.ini");
  Process p(Launch());
  ASSERT_TRUE(Running(p)) << p.Stderr();
  p.Signal(SIGTERM);
  ASSERT_TRUE(p.Wait(20000));
  EXPECT_EQ(p.ExitStatus(), 0);
  EXPECT_TRUE(fs::is_symlink(dir / "config.ini"));
  EXPECT_NE(ReadFile(dir / "settings/view.ini").find("SHOWHINT="), std::string::npos)
      << "the link's target holds the view";
}

TEST_F(RunEdges, ClosedStandardDescriptorsNeverLetAMessageIntoAnotherFile) {
  fs::remove_all(dir / "data");  // the missing font's message comes after the lock file is open
  ProcessLaunch launch = Launch();
  launch.program = "/bin/sh";
  launch.args = {"-c", "exec 0<&- 1>&- 2>&- \"$0\" sample.csv", program};
  testsupport::RunResult r = testsupport::RunProcess(launch);
  EXPECT_EQ(r.status, 1) << "the missing font's status";
  EXPECT_EQ(ReadFile(testsupport::InstanceLockFile(dir.Path())), "") << "the lock file holds no message";
  EXPECT_NE(ReadFile(dir / "config.ini").find("SHOWHINT="), std::string::npos) << "the settings were saved";
}

TEST_F(RunEdges, AnUnusableRuntimeFolderFallsBackToTheTemporaryFolderForTheLock) {
  testsupport::TempDir temporary;
  WriteFile(dir / "plain-file", "");
  fs::create_directory(dir / "read-only");
  chmod((dir / "read-only").c_str(), 0500);
  struct Case {
    std::string name, runtimeDir;
  };
  std::vector<Case> cases = {
      {"missing", dir / "no-such-folder"},
      {"a plain file", dir / "plain-file"},
      {"read-only", dir / "read-only"},
  };
  if (getuid() == 0) {  // only root can give a folder to another user
    fs::create_directory(dir / "someone-else");
    if (chown((dir / "someone-else").c_str(), 65534, 65534) == 0)
      cases.push_back({"another user's", dir / "someone-else"});
  }
  const std::string lock = temporary / ("scatterview.single-instance-" + std::to_string(getuid()) + ".lock");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProcessLaunch launch = Launch();
    launch.env["XDG_RUNTIME_DIR"] = c.runtimeDir;
    launch.env["TMPDIR"] = temporary.Path();
    Process first(launch);
    ASSERT_TRUE(Running(first, lock)) << first.Stderr();
    testsupport::RunResult second = testsupport::RunProcess(launch);
    EXPECT_EQ(second.status, 255);
    EXPECT_NE(second.err.find(kSecondInstance), std::string::npos) << second.err;
    first.Signal(SIGTERM);
    ASSERT_TRUE(first.Wait(20000));
    EXPECT_EQ(first.ExitStatus(), 0);
    EXPECT_EQ(first.Stderr(), "") << "no warning while a lock could be made";
  }
}

}  // namespace
