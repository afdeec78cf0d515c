// The built program in a real X window (a private Xvfb): its window, Escape, and the message boxes of
// start-up as real dialogs that a user answers.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
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
  testsupport::ProcessSpec Spec(std::vector<std::string> args, bool dialogs) {
    testsupport::ProcessSpec spec = testsupport::HeadlessRun(program, dir.Path());
    spec.env.erase("SDL_VIDEODRIVER");
    spec.unsetEnv = {"SDL_VIDEODRIVER", "WAYLAND_DISPLAY"};
    spec.env["DISPLAY"] = x.Display();
    if (!dialogs) spec.env["SCATTERVIEW_NO_DIALOGS"] = "1";
    else spec.env.erase("SCATTERVIEW_NO_DIALOGS"), spec.unsetEnv.push_back("SCATTERVIEW_NO_DIALOGS");
    spec.args = std::move(args);
    return spec;
  }
  // The ids of the windows titled exactly `title`, one per line; waits up to 20 s for the first.
  std::string WindowsNamed(const std::string& title, bool wait = true) {
    std::string found;
    testsupport::WaitUntil([&] {
      found = RunWithDisplay(x.Display(), "xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null");
      return !found.empty() || !wait;
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
  Process p(Spec({"sample.csv"}, false));
  std::string id = WindowsNamed("sample.csv");
  ASSERT_FALSE(id.empty()) << p.Stderr();
  std::string size = RunWithDisplay(x.Display(), "xwininfo -id " + id + " | awk '/Width:/{w=$2}/Height:/{h=$2}END{print w \"x\" h}'");
  EXPECT_EQ(size, "640x480") << "the client area is Width x Height";
  Press(id, "Escape");
  ASSERT_TRUE(p.Wait(20000)) << "Escape ends the run";
  EXPECT_EQ(p.ExitStatus(), 0);
  EXPECT_EQ(p.Stderr(), "");
}

TEST_F(ProgramUnderX, ASecondInstanceShowsItsWindowThenTheDialogAndEndsWith255) {
  Process first(Spec({"sample.csv"}, false));
  ASSERT_FALSE(WindowsNamed("sample.csv").empty());
  ASSERT_TRUE(testsupport::WaitUntil(
      [&] { return testsupport::HoldsFlock(first.Pid(), testsupport::InstanceLockFile(dir.Path())); }, 20000));

  Process second(Spec({"sample.csv"}, true));
  const std::string caption = "（　´,_ゝ｀）,_ゝ｀）,_ゝ｀）,_ゝ｀）ｸﾜﾄﾞﾛﾌﾟﾙﾌﾟｹﾞﾗｯﾁｮ";
  std::string dialog = WindowsNamed(caption);
  ASSERT_FALSE(dialog.empty()) << "the message is a real dialog; stderr: " << second.Stderr();
  // Behind the dialog: the second instance's own window, beside the first one's.
  EXPECT_EQ(std::count(WindowsNamed("sample.csv").begin(), WindowsNamed("sample.csv").end(), '\n'), 1)
      << "two windows titled sample.csv";
  EXPECT_TRUE(second.Running()) << "it waits for the answer";
  Press(dialog, "Return");
  ASSERT_TRUE(second.Wait(20000)) << "answering the dialog ends the second instance";
  EXPECT_EQ(second.ExitStatus(), 255);
  EXPECT_EQ(second.Stderr(), caption + ": 二重起動無理[ﾟдﾟ]<箱をｱｲｼﾃ!!\n");
  EXPECT_TRUE(first.Running()) << "the first instance is not disturbed";
  first.Signal(SIGTERM);
  ASSERT_TRUE(first.Wait(20000));
  EXPECT_EQ(first.ExitStatus(), 0);
}

TEST_F(ProgramUnderX, AMissingDataFileIsADialogCaptionedWithThePathAndNoWindow) {
  Process p(Spec({"nothing.csv"}, true));
  std::string dialog = WindowsNamed("nothing.csv");
  ASSERT_FALSE(dialog.empty()) << p.Stderr();
  EXPECT_EQ(dialog.find('\n'), std::string::npos) << "the dialog is the only window: no main window";
  testsupport::Screenshot shot = testsupport::CaptureWindow(x.Display(), dialog);
  EXPECT_GT(shot.width, 0) << "the dialog can be seen";
  Press(dialog, "Return");
  ASSERT_TRUE(p.Wait(20000));
  EXPECT_EQ(p.ExitStatus(), 0);
  EXPECT_EQ(p.Stderr(), "nothing.csv: ファイルが見つかりません\n");
  EXPECT_EQ(WindowsNamed("nothing.csv", false), "");
}

}  // namespace
