// A whole run in a real window: the FPS readout, ending with Escape or the close button (status 0,
// the view written to config.ini as the screen showed it last), and the single-instance guard.
#include <map>
#include <string>

#include "ini_keys.h"
#include "viewer_fixture.h"

namespace e2e {
namespace {

std::map<std::string, std::string> Keys(const std::string& ini) { return testsupport::IniSection(ini, "CONFIG"); }

constexpr int kFpsX = 580, kFpsY = 470;

using ViewerRun = ViewerTest;

TEST_F(ViewerRun, EscapeEndsWithZeroAndSavesTheViewTheScreenShowed) {
  StartOnSample("[CONFIG]\nAXIS_X=-12\nCAMERA_R=300\n[OTHER]\nkeep=me\n");
  ExpectReadout("CAMERA  R:300 THETA:045 Z:150", "AXIS    X:-12 Y:000");
  Viewer().MoveMouse(80, -40);
  ExpectReadout("CAMERA  R:300 THETA:055 Z:145", "AXIS    X:-12 Y:000");
  for (const char* key : {"Down", "Down", "Right"}) {
    std::string before = Text(Viewer().Capture(), kReadoutX, kAxisLineY, 19);
    Viewer().Key(key);
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return Text(Viewer().Capture(), kReadoutX, kAxisLineY, 19) != before; }, 3000)) << key;
  }
  // A function key acts once all of them are up again: one toggle, then wait for it to show.
  Viewer().Key("F2");
  ASSERT_TRUE(testsupport::WaitUntil([&] { return CountColour(Viewer().Capture(), kWhite, 40, 458) > 100; }, 3000));
  Viewer().Key("F5");
  ASSERT_TRUE(testsupport::WaitUntil([&] { return CountColour(Viewer().Capture(), kAxisGreen, 0, 480) == 0; }, 3000));
  ExpectReadout("CAMERA  R:300 THETA:055 Z:145", "AXIS    X:-13 Y:002");
  Viewer().Key("Escape");
  EXPECT_EQ(Viewer().WaitExit(5000), 0) << Viewer().Proc().Stderr();

  std::map<std::string, std::string> keys = Keys(Viewer().Config());
  std::map<std::string, std::string> expected = {
      {"SHOWHINT", "1"}, {"LINESET", "1"},   {"AUTOANIME", "0"}, {"SHOWAXIS", "0"}, {"CAMERA_X", "145"},
      {"CAMERA_Y", "30"}, {"CAMERA_T", "55"}, {"CAMERA_R", "300"}, {"AXIS_X", "-13"}, {"AXIS_Y", "2"}};
  EXPECT_EQ(keys, expected) << Viewer().Config();
  EXPECT_EQ(testsupport::IniSection(Viewer().Config(), "OTHER")["keep"], "me");
}

TEST_F(ViewerRun, TheCloseButtonEndsWithZeroAndSaves) {
  StartOnSample();
  Viewer().MoveMouse(-80, 0);
  ExpectReadout("CAMERA  R:250 THETA:035 Z:150", "AXIS    X:000 Y:000");
  ASSERT_TRUE(Viewer().PressCloseButton());
  EXPECT_EQ(Viewer().WaitExit(5000), 0) << Viewer().Proc().Stderr();
  std::map<std::string, std::string> keys = Keys(Viewer().Config());
  EXPECT_EQ(keys["CAMERA_T"], "35");
  EXPECT_EQ(keys["SHOWHINT"], "1");
  EXPECT_EQ(keys.size(), 10u) << Viewer().Config();
}

TEST_F(ViewerRun, ASecondInstanceIsRefusedWhileTheFirstKeepsDrawing) {
  StartOnSample();
  std::unique_ptr<testsupport::Process> second = Viewer().StartAnother();
  ASSERT_TRUE(second->Wait(10000)) << "the second instance did not end";
  EXPECT_EQ(second->ExitStatus(), 255);
  EXPECT_NE(second->Stderr().find("二重起動無理[ﾟдﾟ]<箱をｱｲｼﾃ!!"), std::string::npos) << second->Stderr();
  // The first still runs and answers once the user turns back to its window.
  EXPECT_TRUE(Viewer().Proc().Running());
  Viewer().Focus();
  // The arrow key answers once the window is active again; by then the mouse is taken back too.
  Viewer().Key("Up");
  ExpectReadout("CAMERA  R:250 THETA:045 Z:150", "AXIS    X:000 Y:-01");
  Viewer().MoveMouse(0, 80);
  ExpectReadout("CAMERA  R:250 THETA:045 Z:160", "AXIS    X:000 Y:-01");
}

TEST_F(ViewerRun, F4ShowsAboutSixtyFramesASecond) {
  StartOnSample();
  EXPECT_EQ(Text(Viewer().Capture(), kFpsX, kFpsY, 4), "    ") << "the readout is off by default";
  Viewer().Key("F4");
  std::string seen;
  WaitForText(kFpsX, kFpsY, "FPS:", &seen);
  ASSERT_EQ(seen, "FPS:");
  Pause(2000);  // the first counted second is a partial one; whole seconds follow
  // The readout holds the count of the last whole second. A machine busy with other tests may slow
  // one second down, so a few readings are allowed; a wrong pace would show in all of them.
  std::string readings;
  bool steady = testsupport::WaitUntil([&] {
    std::string digits = Text(Viewer().Capture(), kFpsX + 32, kFpsY, 3);
    readings += digits + " ";
    if (digits.back() == ' ') digits.pop_back();
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    int fps = std::stoi(digits);
    return fps >= 57 && fps <= 61;
  }, 4000);
  EXPECT_TRUE(steady) << "FPS readings: " << readings;
  // F4 is not a saved setting.
  Viewer().Key("F4");
  Viewer().Key("Escape");
  EXPECT_EQ(Viewer().WaitExit(5000), 0);
  EXPECT_EQ(Keys(Viewer().Config()).count("FPS"), 0u);
}

TEST_F(ViewerRun, TheFpsKeyStartsWithTheReadoutOn) {
  StartOnSample("[CONFIG]\nFPS=1\nSHOWHINT=0\n");
  std::string seen;
  WaitForText(kFpsX, kFpsY, "FPS:", &seen);
  EXPECT_EQ(seen, "FPS:");
  // SHOWHINT=0: no help, no readouts; only the FPS text is white in the bottom rows.
  testsupport::Screenshot shot = Viewer().Capture();
  EXPECT_EQ(Text(shot, kReadoutX, kCameraLineY, 6), "      ");
  EXPECT_EQ(Text(shot, 2, 0, 8), "        ");
}

TEST_F(ViewerRun, TheDataFileFromTheCommandLineIsShownAndNamesTheWindow) {
  // Two arguments make one path with a space; NAME in config.ini is overridden.
  testsupport::WriteFile(Viewer().Folder() + "/my data.csv", SampleData());
  Viewer().WriteConfig("[CONFIG]\nNAME=elsewhere.csv\n");
  ASSERT_TRUE(Viewer().Start({"my", "data.csv"})) << Viewer().Failure();
  EXPECT_EQ(Viewer().WindowName(), "my data.csv");
  EXPECT_EQ(CountColour(Viewer().Capture(), kWhite, 40, 458), 4);
}

}  // namespace
}  // namespace e2e
