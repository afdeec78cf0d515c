// Hostile input given to the built program (headless): data files that are junk, hold NUL bytes or are
// enormous, and config.ini files that are garbage, read-only or not files at all. Each run ends in a
// clear way (a normal end, or a message and a status) and never by a crash.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "ini_keys.h"
#include "program_folder.h"
#include "temp_dir.h"

namespace {

using testsupport::IniSection;
using testsupport::Process;
using testsupport::ReadFile;
using testsupport::RunProcess;
using testsupport::RunResult;
using testsupport::WriteFile;

std::string LongFieldNotice(int row) {
  return "scatterview: data.csv: a field of 100 or more characters in row " + std::to_string(row) +
         " ended the reading; the rest of the file was not read\n";
}
constexpr char kNoRows[] = "scatterview: data.csv: no rows to draw were read\n";

class HostileInputRun : public ::testing::Test {
 protected:
  void SetUp() override { program = testsupport::PrepareProgramFolder(dir.Path()); }

  // Runs until up, lets frames run, ends it with SIGTERM. A crash shows as a status of 128 + signal.
  int RunAWhile(int framesMs = 500) {
    Process p(testsupport::HeadlessRun(program, dir.Path()));
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] { return testsupport::HoldsFlock(p.Pid(), testsupport::InstanceLockFile(dir.Path())) || !p.Running(); },
        20000));
    std::this_thread::sleep_for(std::chrono::milliseconds(framesMs));
    p.Signal(SIGTERM);
    // The signal is seen between frames: a run stuck in its first frame would not end here.
    EXPECT_TRUE(p.Wait(30000)) << "no end within 30 s of SIGTERM";
    err = p.Stderr();
    return p.ExitStatus();
  }
  void ExpectNormalEnd(int status, const std::string& expectedErr = "") {
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(err, expectedErr);
  }

  testsupport::TempDir dir;
  std::string program;
  std::string err;
};

TEST_F(HostileInputRun, BinaryJunkAsDataIsDrawnAsWhateverNumbersItReadsAs) {
  std::string junk;
  uint32_t seed = 12345;
  for (int i = 0; i < 64 * 1024; ++i) {
    seed = seed * 1103515245 + 12345;
    junk += static_cast<char>(seed >> 16);
  }
  WriteFile(dir / "data.csv", junk);
  ExpectNormalEnd(RunAWhile(), LongFieldNotice(1) + kNoRows);
}

TEST_F(HostileInputRun, NulBytesInsideAndBetweenRowsDoNotStopTheRun) {
  WriteFile(dir / "data.csv", std::string("1,2,3\n\0\0\0,4\0,5\n", 16) + "6,7,8\n" + std::string(300, '\0'));
  // Rows 2 and 3 begin with a NUL, which is no number; the 300 NUL bytes are one x field.
  ExpectNormalEnd(RunAWhile(),
                  "scatterview: data.csv: 2 rows could not be read as three numbers and were left out (the first, row "
                  "2: \"\\x00\\x00\\x00,4\\x00,5\"); a field of 100 or more characters in row 4 ended the reading; "
                  "the rest of the file was not read\n");
}

TEST_F(HostileInputRun, SeparatorOnlyFilesHoldNoRows) {
  const std::string skipped = "scatterview: data.csv: 1 line before the first row of numbers skipped (the first: \"";
  const struct {
    std::string data, err;
  } cases[] = {
      {std::string(10000, '\n'), kNoRows},  // blank lines before a first row that never comes
      {std::string(10000, ','), skipped + std::string(60, ',') + "\")\n" + kNoRows},
      // Beyond the lines looked at first: a row, whose z field's surplus is passed over.
      {std::string(70000, ','), "scatterview: data.csv: 1 row could not be read as three numbers and was left out "
                                "(the first, row 1: \"" + std::string(60, ',') + "\")\n" + kNoRows},
      {std::string("\x1a") + "1,2,3\n", kNoRows},           // the end of the data, first
  };
  for (const auto& c : cases) {
    WriteFile(dir / "data.csv", c.data);
    ExpectNormalEnd(RunAWhile(200), c.err);
  }
}

// Rows left out are named on stderr, once: by the row limit (MAXROWS) or by a field too long to read.
TEST_F(HostileInputRun, RowsLeftOutAreNamedOnStderrAndAWholeFileSaysNothing) {
  const std::string rows = "1,2,3\n4,5,6\n7,8,9\n10,11,12\n";
  const struct {
    std::string config, data, err;
  } cases[] = {
      {"", rows, ""},
      {"[CONFIG]\nMAXROWS=4\n", rows, ""},  // every row there is; the zero row after them is no data
      {"[CONFIG]\nMAXROWS=3\n", rows,
       "scatterview: data.csv: 3 rows read, the rest of the file was not (MAXROWS in config.ini raises the limit)\n"},
      {"[CONFIG]\nMAXROWS=-1\n", rows, ""},
      {"", "1,2,3\n" + std::string(5000, '9') + ",1,1\n4,5,6\n", LongFieldNotice(2)},
  };
  for (const auto& c : cases) {
    WriteFile(dir / "config.ini", c.config);
    WriteFile(dir / "data.csv", c.data);
    EXPECT_EQ(RunAWhile(200), 0) << c.config;
    EXPECT_EQ(err, c.err) << c.config;
  }
}

TEST_F(HostileInputRun, AGigabyteFileIsNeverReadWhole) {
  // 150 000 rows, 50 000 more, then a 1 GB hole: the rows are read field by field up to their limit,
  // never the file as a whole, so the run stays small and answers the signal.
  std::string path = dir / "data.csv";
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (int i = 0; i < 200000; ++i) std::fprintf(f, "%d.5,%d,-%d.25\n", i % 200 - 100, i % 77, i % 50);
    std::fclose(f);
  }
  std::filesystem::resize_file(path, std::filesystem::file_size(path) + (1ull << 30));  // sparse
  EXPECT_EQ(RunAWhile(1000), 0);
  EXPECT_EQ(err,
            "scatterview: data.csv: 150000 rows read, the rest of the file was not (MAXROWS in config.ini raises the "
            "limit)\n");
  rusage usage{};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
  EXPECT_LT(usage.ru_maxrss, 200 * 1024) << "the largest run used " << usage.ru_maxrss / 1024 << " MB";
}

TEST_F(HostileInputRun, GarbageViewValuesAreReadAsNumbersAndWrittenBackAsIntegers) {
  WriteFile(dir / "data.csv", "1,2,3\n");
  WriteFile(dir / "config.ini",
            "[CONFIG]\nSHOWHINT=1x\nLINESET=\nAUTOANIME=abc\nCAMERA_R=zz\nAXIS_X=  7  \nAXIS_Y=--3\nFPS=yes\n"
            "garbage line\n=\n[[[\n");
  ExpectNormalEnd(RunAWhile());
  std::map<std::string, std::string> config = IniSection(ReadFile(dir / "config.ini"), "CONFIG");
  EXPECT_EQ(config["SHOWHINT"], "1");
  EXPECT_EQ(config["LINESET"], "0");
  EXPECT_EQ(config["AUTOANIME"], "0");
  EXPECT_EQ(config["CAMERA_R"], "1") << "no number reads as 0, raised to the least radius";
  EXPECT_EQ(config["AXIS_X"], "7");
  EXPECT_EQ(config["AXIS_Y"], "0");
  EXPECT_EQ(config["FPS"], "yes") << "not a view key: left as it was";
}

TEST_F(HostileInputRun, ABinaryConfigFileStillGetsItsKeys) {
  WriteFile(dir / "data.csv", "1,2,3\n");
  WriteFile(dir / "config.ini", std::string("\x01\xff\xfe\0[CONFIG\n\0=\0\n", 16));
  ExpectNormalEnd(RunAWhile(200));
  std::map<std::string, std::string> config = IniSection(ReadFile(dir / "config.ini"), "CONFIG");
  for (const auto& [key, value] : testsupport::DefaultViewKeys()) EXPECT_EQ(config[key], value) << key;
}

TEST_F(HostileInputRun, ADisplaySizeThatMakesNoWindowIsReportedWithAFailureStatus) {
  WriteFile(dir / "data.csv", "1,2,3\n");
  WriteFile(dir / "config.ini", "[CONFIG]\nWidth=abc\nHeight=-5\n");
  RunResult r = RunProcess(testsupport::HeadlessRun(program, dir.Path()));
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 255);
  EXPECT_NE(r.err.find("could not be created"), std::string::npos) << r.err;
  // The view keys are still written on the way out.
  EXPECT_EQ(IniSection(ReadFile(dir / "config.ini"), "CONFIG")["CAMERA_R"], "250");
}

TEST_F(HostileInputRun, AReadOnlyConfigFileLeavesTheRunToEndNormally) {
  WriteFile(dir / "data.csv", "1,2,3\n");
  WriteFile(dir / "config.ini", "[CONFIG]\nAXIS_X=3\n");
  ASSERT_EQ(chmod((dir / "config.ini").c_str(), 0444), 0);
  ExpectNormalEnd(RunAWhile(200));
  // A file without write permission is left exactly as it was, even for root, who could write it.
  EXPECT_EQ(ReadFile(dir / "config.ini"), "[CONFIG]\nAXIS_X=3\n");
}

TEST_F(HostileInputRun, AFolderNamedConfigIniIsLeftAloneAndTheRunEndsNormally) {
  WriteFile(dir / "data.csv", "1,2,3\n");
  std::filesystem::create_directory(dir / "config.ini");
  WriteFile(dir / "config.ini/inside", "x");
  ExpectNormalEnd(RunAWhile(200),
                  "scatterview: " + (dir / "config.ini") + " is no plain file: the view will not be saved\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "config.ini"));
  EXPECT_EQ(ReadFile(dir / "config.ini/inside"), "x");
}

// A display number no X server here listens on (neither its socket file nor its abstract socket).
std::string UnusedDisplay() {
  std::string sockets = ReadFile("/proc/net/unix");
  for (int n = 4711;; ++n) {
    std::string number = std::to_string(n);
    std::string socket = "/tmp/.X11-unix/X";
    socket += number;
    if (!testsupport::FileExists(socket) && sockets.find(socket + "\n") == std::string::npos) {
      std::string display = ":";
      display += number;
      return display;
    }
  }
}

TEST_F(HostileInputRun, AnUnreachableDisplayIsReportedInsteadOfRunningInvisibly) {
  WriteFile(dir / "data.csv", "1,2,3\n");
  testsupport::ProcessLaunch launch = testsupport::HeadlessRun(program, dir.Path());
  launch.env.erase("SDL_VIDEODRIVER");
  launch.env["DISPLAY"] = UnusedDisplay();
  launch.unsetEnv = {"SDL_VIDEODRIVER", "WAYLAND_DISPLAY"};
  RunResult r = RunProcess(launch, 20000);
  EXPECT_FALSE(r.timedOut) << "it ran on without a window";
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no display could be opened (DISPLAY=" + launch.env["DISPLAY"] + ")"), std::string::npos)
      << r.err;
}

}  // namespace
