// scatterview-render and what is already at its output path: every kind of file is written the way
// a user expects, and nothing the run reads, nothing read-only and nothing that is no plain file is
// ever replaced. Then SIGTERM in the middle of a turntable.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "render_tool_fixture.h"

namespace {

namespace fs = std::filesystem;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RenderTool;
using testsupport::WriteFile;

constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";

bool IsPng(const std::string& bytes) { return bytes.compare(0, 8, kPngSignature) == 0; }

struct stat StatOf(const std::string& path, bool follow = true) {
  struct stat st {};
  (follow ? stat : lstat)(path.c_str(), &st);
  return st;
}

// No temporary file of a picture is left in `folder`.
void ExpectNoTemporaries(const std::string& folder) {
  for (const auto& e : fs::directory_iterator(folder))
    EXPECT_EQ(e.path().filename().string().find(".tmp."), std::string::npos) << e.path();
}

TEST_F(RenderTool, NeverWritesOverAFileTheRunReadsOrOneThatIsReadOnly) {
  WriteFile(dir / "view.ini", "[CONFIG]\nCAMERA_T=90\n");
  WriteFile(dir / "locked.png", "mine");
  chmod((dir / "locked.png").c_str(), 0444);
  fs::create_symlink("data.csv", dir / "data-link.png");
  fs::create_symlink("data.csv", dir / "data-link.webp");
  fs::create_symlink("view.ini", dir / "view-link.png");
  fs::create_symlink("data/font.dds", dir / "font-link.gif");
  fs::create_directory(dir / "sub");
  struct Case {
    std::string output;
    std::string kept;  // the file that must be left as it was
    int status;        // 2: a name no picture format has, refused before anything is read
  };
  const std::vector<Case> cases = {
      {"data.csv", "data.csv", 2},
      {"data-link.png", "data.csv", 1},
      {"sub/../data-link.png", "data.csv", 1},
      {(dir / "data-link.png"), "data.csv", 1},
      {"data-link.webp", "data.csv", 1},
      {"view-link.png", "view.ini", 1},
      {"font-link.gif", "data/font.dds", 1},
      {"locked.png", "locked.png", 1},
  };
  for (const Case& c : cases) {
    const std::string before = ReadFile(dir / c.kept);
    const ino_t inode = StatOf(dir / c.kept).st_ino;
    testsupport::RunResult r = Run({"--config", "view.ini", "data.csv", c.output});
    EXPECT_EQ(r.status, c.status) << c.output;
    EXPECT_NE(r.err.find(c.status == 1 ? "not overwritten" : "cannot write"), std::string::npos) << c.output << ": "
                                                                                                  << r.err;
    EXPECT_EQ(ReadFile(dir / c.kept), before) << c.output;
    EXPECT_EQ(StatOf(dir / c.kept).st_ino, inode) << c.output << " was replaced";
  }
  EXPECT_TRUE(fs::is_symlink(dir / "data-link.png"));
  ExpectNoTemporaries(dir.Path());
}

TEST_F(RenderTool, WritesEachKindOfOutputPathTheWayItIs) {
  struct Case {
    std::string name;
    std::function<void()> prepare;
    std::function<void()> check;  // after a run that ended with status 0
  };
  const std::string png = dir / "plain.png";
  const std::vector<Case> cases = {
      {"a plain file is replaced whole and keeps its mode",
       [&] {
         WriteFile(png, "old");
         chmod(png.c_str(), 0640);
       },
       [&] {
         EXPECT_TRUE(IsPng(ReadFile(png)));
         EXPECT_EQ(StatOf(png).st_mode & 07777, 0640u);
       }},
      {"a link stays a link and its target is written",
       [&] {
         WriteFile(dir / "target.png", "old");
         fs::create_symlink("target.png", png);
       },
       [&] {
         EXPECT_TRUE(fs::is_symlink(png));
         EXPECT_TRUE(IsPng(ReadFile(dir / "target.png")));
       }},
      {"a dangling link gets its target made",
       [&] { fs::create_symlink("made.png", png); },
       [&] {
         EXPECT_TRUE(fs::is_symlink(png));
         EXPECT_TRUE(IsPng(ReadFile(dir / "made.png")));
       }},
      {"both names of a hard-linked file keep sharing it",
       [&] {
         WriteFile(png, "old");
         fs::create_hard_link(png, dir / "other-name.png");
       },
       [&] {
         EXPECT_EQ(StatOf(png).st_ino, StatOf(dir / "other-name.png").st_ino);
         EXPECT_TRUE(IsPng(ReadFile(dir / "other-name.png")));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::error_code ignored;
    for (const char* name : {"plain.png", "target.png", "made.png", "other-name.png"}) fs::remove(dir / name, ignored);
    c.prepare();
    testsupport::RunResult r = Run({"data.csv", "plain.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    c.check();
  }
  ExpectNoTemporaries(dir.Path());
}

TEST_F(RenderTool, AFifoOrDeviceIsWrittenInPlaceAndADashIsStandardOutput) {
  const std::string fifo = dir / "pipe.png";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The reader is there before the tool starts, with room in the pipe for the whole picture.
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  fcntl(reader, F_SETPIPE_SZ, 1 << 20);
  testsupport::RunResult r = Run({"data.csv", "pipe.png"});
  std::string received;
  char buffer[65536];
  for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(n));
  close(reader);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(IsPng(received));
  EXPECT_TRUE(S_ISFIFO(StatOf(fifo, false).st_mode)) << "still a FIFO";

  r = Run({"data.csv", "-"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(IsPng(r.out));
  ASSERT_EQ(Run({"data.csv", "file.png"}).status, 0);
  EXPECT_EQ(r.out, ReadFile(dir / "file.png")) << "the same picture as in a file";
  EXPECT_EQ(Run({"--turntable", "3", "data.csv", "-"}).status, 2) << "a turntable writes files";

  // A device node of our own (the null device), where root may make one.
  const std::string device = dir / "null.png";
  if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    r = Run({"data.csv", "null.png"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(S_ISCHR(StatOf(device, false).st_mode)) << "still a device";
  }
  ExpectNoTemporaries(dir.Path());
}

TEST_F(RenderTool, SigtermStopsEveryTurntableWorkerAndLeavesNothingBehind) {
  testsupport::TempDir temporary;
  testsupport::ProcessLaunch launch = Launch({"--turntable", "5000", "--jobs", "2", "data.csv", "spin.png"});
  launch.env["TMPDIR"] = temporary.Path();
  testsupport::Process p(launch);
  ASSERT_TRUE(testsupport::WaitUntil([&] { return FileExists(dir / "spin-0001.png") || !p.Running(); }, 20000));
  ASSERT_TRUE(p.Running()) << p.Stderr();
  p.Signal(SIGTERM);  // the parent alone, as `kill PID` sends it
  ASSERT_TRUE(p.Wait(20000));
  EXPECT_EQ(p.ExitStatus(), 128 + SIGTERM);
  EXPECT_NE(p.Stderr().find("interrupted"), std::string::npos) << p.Stderr();

  auto pictures = [&] {
    long n = 0;
    for (const auto& e : fs::directory_iterator(dir.Path())) n += e.path().extension() == ".png";
    return n;
  };
  const long written = pictures();
  usleep(300 * 1000);
  EXPECT_EQ(pictures(), written) << "a worker kept writing after the end";
  EXPECT_LT(written, 5000);
  EXPECT_TRUE(fs::is_empty(temporary.Path())) << "the settings copy's folder is gone";
  ExpectNoTemporaries(dir.Path());
}

}  // namespace
