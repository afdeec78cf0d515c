// The built program in a real X window (a private Xvfb): its window, Escape, and the message boxes of
// start-up as real dialogs that a user answers, or that a signal takes away with the program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <string>

#include "program_folder.h"
#include "xvfb_server.h"

namespace {

using testsupport::Process;
using testsupport::RunWithDisplay;

class ProgramUnderX : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x.Ok()) << "Xvfb did not start";
    program = testsupport::PrepareProgramFolder(dir.Path());
    testsupport::WriteFile(dir / "sample.csv", "1,2,3\n");
  }
  testsupport::ProcessLaunch Launch(std::vector<std::string> args, bool dialogs) {
    testsupport::ProcessLaunch launch = testsupport::HeadlessRun(program, dir.Path());
    launch.env.erase("SDL_VIDEODRIVER");
    launch.unsetEnv = {"SDL_VIDEODRIVER", "WAYLAND_DISPLAY"};
    launch.env["DISPLAY"] = x.Display();
    if (!dialogs) launch.env["SCATTERVIEW_NO_DIALOGS"] = "1";
    else launch.env.erase("SCATTERVIEW_NO_DIALOGS"), launch.unsetEnv.push_back("SCATTERVIEW_NO_DIALOGS");
    launch.args = std::move(args);
    return launch;
  }
  // The windows titled exactly `title`; waits up to 20 s until there are `count` of them.
  std::vector<std::string> WindowsNamed(const std::string& title, size_t count = 1) {
    std::vector<std::string> found;
    testsupport::WaitUntil([&] {
      found = testsupport::WindowsTitled(x.Display(), title);
      return found.size() >= count;
    }, 20000);
    return found;
  }
  void Press(const std::string& window, const std::string& key) {
    RunWithDisplay(x.Display(), "xdotool windowfocus --sync " + window + " key " + key);
  }

  testsupport::XvfbServer x;
  testsupport::TempDir dir;
  std::string program;
};

TEST_F(ProgramUnderX, TheWindowIsTitledWithTheDataPathAndEscapeEndsTheRun) {
  Process p(Launch({"sample.csv"}, false));
  std::vector<std::string> windows = WindowsNamed("sample.csv");
  ASSERT_EQ(windows.size(), 1u) << p.Stderr();
  std::string id = windows[0];
  std::string size =
      RunWithDisplay(x.Display(), "xwininfo -id " + id + " | awk '/Width:/{w=$2}/Height:/{h=$2}END{print w \"x\" h}'");
  EXPECT_EQ(size, "640x480") << "the client area is Width x Height";
  Press(id, "Escape");
  ASSERT_TRUE(p.Wait(20000)) << "Escape ends the run";
  EXPECT_EQ(p.ExitStatus(), 0);
  EXPECT_EQ(p.Stderr(), "");
}

TEST_F(ProgramUnderX, ASecondInstanceShowsItsWindowThenTheDialogAndEndsWith255) {
  Process first(Launch({"sample.csv"}, false));
  ASSERT_EQ(WindowsNamed("sample.csv").size(), 1u);
  ASSERT_TRUE(testsupport::WaitUntil(
      [&] { return testsupport::HoldsFlock(first.Pid(), testsupport::InstanceLockFile(dir.Path())); }, 20000));

  Process second(Launch({"sample.csv"}, true));
  const std::string caption = "（　´,_ゝ｀）,_ゝ｀）,_ゝ｀）,_ゝ｀）ｸﾜﾄﾞﾛﾌﾟﾙﾌﾟｹﾞﾗｯﾁｮ";
  std::vector<std::string> dialogs = WindowsNamed(caption);
  ASSERT_EQ(dialogs.size(), 1u) << "the message is a real dialog; stderr: " << second.Stderr();
  std::string dialog = dialogs[0];
  // Behind the dialog: the second instance's own window, beside the first one's.
  EXPECT_EQ(WindowsNamed("sample.csv", 2).size(), 2u) << "two windows titled sample.csv";
  EXPECT_TRUE(second.Running()) << "it waits for the answer";
  Press(dialog, "Return");
  ASSERT_TRUE(second.Wait(20000)) << "answering the dialog ends the second instance";
  EXPECT_EQ(second.ExitStatus(), 255);
  EXPECT_EQ(second.Stderr(), caption + ": 二重起動無理[ﾟдﾟ]<箱をｱｲｼﾃ!! (scatterview is already running)\n");
  EXPECT_TRUE(first.Running()) << "the first instance is not disturbed";
  first.Signal(SIGTERM);
  ASSERT_TRUE(first.Wait(20000));
  EXPECT_EQ(first.ExitStatus(), 0);
}

TEST_F(ProgramUnderX, AMissingDataFileIsADialogCaptionedWithThePathAndNoWindow) {
  Process p(Launch({"nothing.csv"}, true));
  std::vector<std::string> dialogs = WindowsNamed("nothing.csv");
  ASSERT_EQ(dialogs.size(), 1u) << "the dialog is the only window: no main window. " << p.Stderr();
  std::string dialog = dialogs[0];
  testsupport::Screenshot shot = testsupport::CaptureWindow(x.Display(), dialog);
  EXPECT_GT(shot.width, 0) << "the dialog can be seen";
  Press(dialog, "Return");
  ASSERT_TRUE(p.Wait(20000));
  EXPECT_EQ(p.ExitStatus(), 1);
  EXPECT_EQ(p.Stderr(), "nothing.csv: ファイルが見つかりません (file not found)\n");
  EXPECT_TRUE(testsupport::WindowsTitled(x.Display(), "nothing.csv").empty()) << "nothing left behind";
}

TEST_F(ProgramUnderX, ASignalWhileAMessageBoxIsShownEndsTheRunAndTakesTheBoxAlong) {
  struct Case {
    std::string name;
    std::vector<std::string> args;
    std::string config;
    std::string caption;
    int signal;
    int status;  // -1: not checked (SIGKILL)
  };
  const std::string secondInstance = "（　´,_ゝ｀）,_ゝ｀）,_ゝ｀）,_ゝ｀）ｸﾜﾄﾞﾛﾌﾟﾙﾌﾟｹﾞﾗｯﾁｮ";
  const std::vector<Case> cases = {
      {"a missing data file, Ctrl-C", {"nothing.csv"}, "", "nothing.csv", SIGINT, 1},
      {"a second instance, SIGTERM", {"sample.csv"}, "", secondInstance, SIGTERM, 255},
      // A window too large to make is the device's failure, shown like the others.
      {"a window too large, SIGKILL", {"sample.csv"}, "[CONFIG]\nWidth=100000\n", "[ﾟдﾟ]＜", SIGKILL, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::WriteFile(dir / "config.ini", c.config);
    std::unique_ptr<Process> first;
    if (c.caption == secondInstance) {
      first = std::make_unique<Process>(Launch({"sample.csv"}, false));
      ASSERT_TRUE(testsupport::WaitUntil(
          [&] { return testsupport::HoldsFlock(first->Pid(), testsupport::InstanceLockFile(dir.Path())); }, 20000));
    }
    Process p(Launch(c.args, true));
    ASSERT_EQ(WindowsNamed(c.caption).size(), 1u) << "the box is up; stderr: " << p.Stderr();
    p.Signal(c.signal);
    ASSERT_TRUE(p.Wait(10000)) << "the signal ends the run while the box waits";
    if (c.status >= 0) {
      EXPECT_EQ(p.ExitStatus(), c.status);
      EXPECT_NE(testsupport::ReadFile(dir / "config.ini").find("SHOWHINT="), std::string::npos) << "the view was saved";
    }
    EXPECT_TRUE(testsupport::WaitUntil([&] { return testsupport::WindowsTitled(x.Display(), c.caption).empty(); },
                                       10000))
        << "no box outlives the program";
    if (first) {
      EXPECT_TRUE(first->Running()) << "the first instance is not disturbed";
      first->Signal(SIGTERM);
      ASSERT_TRUE(first->Wait(20000));
    }
  }
}

TEST_F(ProgramUnderX, EscapeEndsARunWhoseDataFileIsStillWaitingForItsWriter) {
  ASSERT_EQ(mkfifo((dir / "rows.fifo").c_str(), 0600), 0);
  Process p(Launch({"rows.fifo"}, false));
  std::vector<std::string> windows = WindowsNamed("rows.fifo");
  ASSERT_EQ(windows.size(), 1u) << "the window opens before any row arrives; " << p.Stderr();
  Press(windows[0], "Escape");
  ASSERT_TRUE(p.Wait(10000)) << "Escape does not wait for the writer";
  EXPECT_EQ(p.ExitStatus(), 0);
}

TEST_F(ProgramUnderX, EveryStartOnALiveDisplayReachesIt) {
  // Back to back, as a script would start it: none may fall back to running without the display.
  for (int i = 0; i < 50; ++i) {
    testsupport::RunResult r = testsupport::RunProcess(Launch({"nothing.csv"}, false), 20000);
    ASSERT_EQ(r.status, 1) << "start " << i << ": " << r.err;
    ASSERT_EQ(r.err, "nothing.csv: ファイルが見つかりません (file not found)\n") << "start " << i;
  }
}

}  // namespace
