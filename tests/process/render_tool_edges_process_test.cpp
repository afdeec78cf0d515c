// scatterview-render at the edges of its world: a temporary folder it cannot use, a turntable worker
// killed under it, a full disk under a hard-linked picture, no memory left for the rows or for the
// picture, SIGTERM while the animation is written, the folders of killed runs. Each run ends with the
// status and message it should, and leaves nothing behind in any temporary folder.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render_tool_fixture.h"

namespace {

namespace fs = std::filesystem;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RenderTool;
using testsupport::WriteFile;

bool IsPng(const std::string& bytes) { return bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0; }

// The processes whose parent is `parent`.
std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> children;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string stat = ReadFile(entry.path() / "stat");
    const size_t close = stat.rfind(')');  // the command name may hold anything
    if (close == std::string::npos) continue;
    int ppid = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %*c %d", &ppid) == 1 && ppid == parent)
      children.push_back(static_cast<pid_t>(std::stoi(entry.path().filename().string())));
  }
  return children;
}

// The settings folders (scatterview-render.*) in `folder` whose copy of config.ini holds `marker`:
// those of this test's runs, whatever other runs on the machine have made at the same time.
std::vector<std::string> FoldersLeftIn(const std::string& folder, const std::string& marker) {
  std::vector<std::string> left;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("scatterview-render.", 0) != 0) continue;
    if (ReadFile(entry.path() / "config.ini").find(marker) != std::string::npos) left.push_back(entry.path());
  }
  return left;
}

// The frames of a WebP animation whose RIFF chunks run exactly to its end; -1 for a broken file.
int WebpFrames(const std::string& file) {
  if (file.size() < 12 || file.compare(0, 4, "RIFF") != 0 || file.compare(8, 4, "WEBP") != 0) return -1;
  int frames = 0;
  size_t at = 12;
  while (at + 8 <= file.size()) {
    size_t size = 0;
    for (int i = 3; i >= 0; --i) size = size << 8 | static_cast<unsigned char>(file[at + 4 + i]);
    frames += file.compare(at, 4, "ANMF") == 0;
    at += 8 + size + size % 2;
  }
  return at == file.size() ? frames : -1;
}

// Small file systems mounted for a test, gone with it however it ends.
struct Mounts {
  std::vector<std::string> points;
  ~Mounts() {
    for (const std::string& p : points) umount2(p.c_str(), MNT_DETACH);
  }
};

struct EdgeRun {
  std::vector<std::string> args;
  std::map<std::string, std::string> env;
  std::string limitMemoryKb;  // run under `ulimit -v` of this many KiB
};

struct Edge {
  std::string name;
  // Sets the run up; a reason when this machine cannot stage the case.
  std::function<std::string(EdgeRun&)> prepare;
  std::function<void(testsupport::Process&)> during;  // while it runs, when given
  int status;       // -1: 143 when stderr says "interrupted", else 0
  std::string err;  // what stderr must hold
  std::function<void(const std::string& err)> check;
};

TEST_F(RenderTool, EndsEachEdgeWithItsStatusAndLeavesNoTemporaryFolder) {
  // Every settings copy of these runs carries this line, so their folders can be told from others'.
  const std::string marker = "; edges of " + dir.Path();
  WriteFile(dir / "config.ini", "[CONFIG]\n" + marker + "\n");
  const std::string picture = dir / "out.png";
  auto expectPicture = [&](const std::string&) { EXPECT_TRUE(IsPng(ReadFile(picture))); };
  auto emptyOfOurs = [&](const std::string& folder) {
    EXPECT_TRUE(FoldersLeftIn(folder, marker).empty()) << folder;
  };
  auto badTmpdir = [&](const std::string& name, std::function<std::string()> make) {
    return Edge{"TMPDIR " + name,
                [=](EdgeRun& run) {
                  run.env["TMPDIR"] = make();
                  run.args = {"data.csv", "out.png"};
                  return std::string();
                },
                nullptr, 0, "",
                [=, this](const std::string& err) {
                  expectPicture(err);
                  emptyOfOurs(dir / "missing");
                  emptyOfOurs(dir / "read-only");
                }};
  };

  const std::string old = "the old picture, which must survive a disk too full for the new one\n";
  const std::string full = dir / "full";
  Mounts mounts;
  const int turntable = 2000;
  const std::string work = dir / "work", fifo = dir / "rows.fifo";
  std::unique_ptr<testsupport::Process> live;
  std::string stale, liveFolder;
  int writer = -1;
  // A run that waits for rows from a FIFO (held open here, never written), up to its work folder.
  auto waitingRun = [&](size_t folders) {
    testsupport::ProcessLaunch launch = Launch({"rows.fifo", "never.png"});
    launch.env["TMPDIR"] = work;
    auto p = std::make_unique<testsupport::Process>(launch);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return FoldersLeftIn(work, marker).size() == folders; }, 10000));
    return p;
  };

  const std::vector<Edge> cases = {
      badTmpdir("missing", [&] { return dir / "missing"; }),
      badTmpdir("a plain file", [&] {
        WriteFile(dir / "a-file", "not a folder");
        return dir / "a-file";
      }),
      badTmpdir("without write permission", [&] {
        fs::create_directory(dir / "read-only");
        chmod((dir / "read-only").c_str(), 0555);
        return dir / "read-only";
      }),
      badTmpdir("too long a name", [&] { return dir / std::string(300, 'x'); }),
      badTmpdir("empty", [] { return std::string(); }),
      {"a turntable worker killed",
       [&](EdgeRun& run) {
         fs::create_directory(dir / "spin");
         run.args = {"--turntable", std::to_string(turntable), "--jobs", "2", "data.csv", "spin/s.png"};
         return std::string();
       },
       [&](testsupport::Process& p) {
         std::vector<pid_t> workers;
         ASSERT_TRUE(testsupport::WaitUntil([&] { return !(workers = ChildrenOf(p.Pid())).empty() || !p.Running(); },
                                            20000));
         ASSERT_FALSE(workers.empty()) << p.Stderr();
         kill(workers.front(), SIGKILL);
       },
       1, "turntable worker 2 of 2 (process",
       [&](const std::string& err) {
         EXPECT_NE(err.find("killed by signal 9"), std::string::npos) << err;
         int named = 0;
         for (int i = 0; i < turntable; ++i) {
           char name[32];
           std::snprintf(name, sizeof name, "s-%04d.png", i);  // as many digits as the last number has
           const bool written = FileExists(dir / ("spin/" + std::string(name)));
           if (i % 2 == 0) {
             EXPECT_TRUE(written) << name << ": the surviving worker's picture";
             continue;
           }
           const bool inMessage = err.find(name) != std::string::npos;
           named += inMessage;
           EXPECT_NE(written, inMessage) << name << " must be either written or named as not written";
         }
         EXPECT_GT(named, 0) << "the worker was killed before its end";
       }},
      {"a full disk under a hard-linked picture",
       [&](EdgeRun& run) {
         if (geteuid() != 0) return std::string("mounting a small tmpfs needs root");
         fs::create_directory(full);
         if (mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0)
           return "cannot mount a small tmpfs here: " + std::string(std::strerror(errno));
         mounts.points.push_back(full);
         WriteFile(full + "/a.png", old);
         fs::create_hard_link(full + "/a.png", full + "/b.png");
         // Fill what is left, so not even the first page of the new picture fits.
         const int fd = open((full + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
         const std::string block(4096, 'f');
         while (write(fd, block.data(), block.size()) > 0) {
         }
         close(fd);
         run.args = {"data.csv", full + "/a.png"};
         return std::string();
       },
       nullptr, 1, "No space left on device",
       [&](const std::string&) {
         EXPECT_EQ(ReadFile(full + "/a.png"), old);
         EXPECT_EQ(ReadFile(full + "/b.png"), old);
         struct stat a {}, b {};
         stat((full + "/a.png").c_str(), &a);
         stat((full + "/b.png").c_str(), &b);
         EXPECT_EQ(a.st_ino, b.st_ino) << "still one file with two names";
         for (const auto& e : fs::directory_iterator(full))
           EXPECT_EQ(e.path().filename().string().find(".tmp."), std::string::npos) << e.path();
       }},
      {"no memory for the rows",
       [&](EdgeRun& run) {
#if defined(__SANITIZE_ADDRESS__)
         (void)run;
         return std::string("the address sanitizer reserves more address space than the limit leaves");
#else
         // 4 000 000 rows need 96 MB of columns; the tool itself runs in less than 40.
         std::string rows;
         for (int i = 0; i < 4000000; ++i) rows += "1,2,3\n";
         WriteFile(dir / "big.csv", rows);
         run.args = {"--max-rows", "4000000", "big.csv", "out.png"};
         run.limitMemoryKb = "100000";
         return std::string();
#endif
       },
       // The rows read before the columns could grow no more are drawn, and said.
       nullptr, 0, "then no more memory could be had",
       [&](const std::string&) { EXPECT_TRUE(FileExists(picture)) << "the rows read are drawn"; }},
      {"no memory for the picture's buffers",
       [&](EdgeRun& run) {
#if defined(__SANITIZE_ADDRESS__)
         (void)run;
         return std::string("the address sanitizer reserves more address space than the limit leaves");
#else
         // 384 MiB of back and depth buffer: a size the device takes, that the memory cannot hold.
         run.args = {"--size", "8192x8192", "data.csv", "out.png"};
         run.limitMemoryKb = "300000";
         return std::string();
#endif
       },
       nullptr, 1, "out of memory for a picture of 8192 x 8192",
       [&](const std::string&) { EXPECT_FALSE(FileExists(picture)); }},
      {"SIGTERM while the animation is written over an old one",
       [&](EdgeRun& run) {
         WriteFile(dir / "spin.webp", old);
         run.args = {"--turntable", "200", "data.csv", "spin.webp"};
         return std::string();
       },
       // The moment its temporary file appears beside the old one.
       [&](testsupport::Process& p) {
         const int watch = inotify_init1(IN_CLOEXEC);
         ASSERT_GE(inotify_add_watch(watch, dir.Path().c_str(), IN_CREATE), 0);
         pollfd created{watch, POLLIN, 0};
         EXPECT_EQ(poll(&created, 1, 30000), 1) << "no temporary file";
         p.Signal(SIGTERM);
         close(watch);
       },
       -1, "",
       [&](const std::string& err) {
         const std::string now = ReadFile(dir / "spin.webp");
         if (err.find("interrupted") != std::string::npos) EXPECT_TRUE(now == old) << "interrupted: the old file kept";
         else EXPECT_EQ(WebpFrames(now), 200) << "not interrupted: the whole new file";
         for (const auto& e : fs::directory_iterator(dir.Path()))
           EXPECT_EQ(e.path().filename().string().find(".tmp."), std::string::npos) << e.path();
       }},
      {"the work folders of a killed run and of a running one",
       [&](EdgeRun& run) {
         fs::create_directory(work);
         mkfifo(fifo.c_str(), 0600);
         writer = open(fifo.c_str(), O_RDWR | O_CLOEXEC);  // a writer that never writes
         // The live one first: a run removes the folders of killed runs as it starts.
         live = waitingRun(1);
         liveFolder = FoldersLeftIn(work, marker).at(0);
         auto killed = waitingRun(2);
         for (const std::string& f : FoldersLeftIn(work, marker))
           if (f != liveFolder) stale = f;
         killed->Signal(SIGKILL);
         killed->Wait(5000);
         run.env["TMPDIR"] = work;
         run.args = {"data.csv", "out.png"};
         return std::string();
       },
       nullptr, 0, "",
       [&](const std::string&) {
         EXPECT_FALSE(fs::exists(stale)) << "its owner is gone";
         EXPECT_TRUE(fs::exists(liveFolder + "/config.ini")) << "its owner still runs";
         EXPECT_TRUE(live->Running());
         close(writer);
       }},
  };

  std::vector<std::string> skipped;
  for (const Edge& c : cases) {
    SCOPED_TRACE(c.name);
    std::error_code ignored;
    fs::remove(picture, ignored);
    EdgeRun run;
    if (const std::string reason = c.prepare(run); !reason.empty()) {
      skipped.push_back(c.name + ": " + reason);
      continue;
    }
    testsupport::ProcessLaunch launch = Launch(run.args);
    for (const auto& [name, value] : run.env) launch.env[name] = value;
    if (!run.limitMemoryKb.empty()) {
      launch.args.insert(launch.args.begin(), {"-c", "ulimit -v " + run.limitMemoryKb + " && exec \"$0\" \"$@\"",
                                               launch.program});
      launch.program = "/bin/sh";
    }
    testsupport::Process p(launch);
    ASSERT_TRUE(p.Started());
    if (c.during) c.during(p);
    ASSERT_TRUE(p.Wait(60000)) << "still running";
    const std::string err = p.Stderr();
    EXPECT_EQ(p.ExitStatus(), c.status >= 0 ? c.status : err.find("interrupted") != std::string::npos ? 143 : 0)
        << err;
    EXPECT_NE(err.find(c.err), std::string::npos) << err;
    c.check(err);
    emptyOfOurs("/tmp");
  }
  if (!skipped.empty()) {
    std::string reasons;
    for (const std::string& s : skipped) reasons += s + "; ";
    GTEST_SKIP() << "not staged on this machine: " << reasons;
  }
}

}  // namespace
