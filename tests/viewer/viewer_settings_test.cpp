// The ten view keys of config.ini: read at the scene's construction, written back at its destruction.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/profile.h"
#include "platform/profile_text.h"
#include "temp_dir.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr const char* kKeys[] = {"SHOWHINT", "LINESET",  "AUTOANIME", "SHOWAXIS", "CAMERA_X",
                                 "CAMERA_Y", "CAMERA_T", "CAMERA_R",  "AXIS_X",   "AXIS_Y"};

class ViewerSettings : public ::testing::Test {
 protected:
  std::string Path() const { return dir / "config.ini"; }
  std::unique_ptr<ViewerScene> Scene() { return std::make_unique<ViewerScene>(Path()); }
  // Constructs a scene, lets `change` act on it, destroys it; returns the file afterwards.
  template <typename Change>
  std::string RoundTrip(Change change) {
    auto scene = Scene();
    change(*scene);
    scene.reset();
    return testsupport::ReadFile(Path());
  }
  std::string Value(const std::string& text, const char* key) {
    auto value = platform::ini::FindValue(text, "CONFIG", key);
    return value ? *value : "<missing>";
  }

  testsupport::TempDir dir;
};

TEST_F(ViewerSettings, NoFileGivesTheDefaultsAndTheTenKeysAreWrittenAtTheEnd) {
  auto scene = Scene();
  EXPECT_EQ(scene->showHint, 1);
  EXPECT_EQ(scene->lineMode, 0);
  EXPECT_EQ(scene->autoAnime, 0);
  EXPECT_EQ(scene->showAxis, 1);
  EXPECT_EQ(scene->cameraZ, 150);
  EXPECT_EQ(scene->cameraY, 30);
  EXPECT_EQ(scene->cameraTheta, 45.0);
  EXPECT_EQ(scene->cameraR, 250.0);
  EXPECT_EQ(scene->axisX, 0);
  EXPECT_EQ(scene->axisY, 0);
  EXPECT_FALSE(testsupport::FileExists(Path())) << "nothing is written before the scene ends";
  scene.reset();

  const std::string text = testsupport::ReadFile(Path());
  const char* expected[] = {"1", "0", "0", "1", "150", "30", "45", "250", "0", "0"};
  size_t previous = 0;
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(Value(text, kKeys[i]), expected[i]) << kKeys[i];
    // In the order of the table, each on its own line.
    const size_t at = text.find(std::string(kKeys[i]) + "=");
    ASSERT_NE(at, std::string::npos) << kKeys[i];
    EXPECT_GE(at, previous) << kKeys[i] << " out of order";
    previous = at;
  }
  EXPECT_EQ(text.rfind("[CONFIG]", 0), 0u) << text;
}

TEST_F(ViewerSettings, SwitchesAreWrittenInBaseTwo) {
  testsupport::WriteFile(Path(), "[CONFIG]\nSHOWHINT=5\nLINESET=-1\nAUTOANIME=2\nSHOWAXIS=0\n");
  const std::string text = RoundTrip([](ViewerScene& s) {
    EXPECT_EQ(s.showHint, 5);
    EXPECT_EQ(s.lineMode, -1);
  });
  EXPECT_EQ(Value(text, "SHOWHINT"), "101");
  EXPECT_EQ(Value(text, "LINESET"), std::string(32, '1'));
  EXPECT_EQ(Value(text, "AUTOANIME"), "10");
  EXPECT_EQ(Value(text, "SHOWAXIS"), "0");
  // The next run reads one hundred and one: still on, and written in base 2 again.
  const std::string again = RoundTrip([](ViewerScene& s) { EXPECT_EQ(s.showHint, 101); });
  EXPECT_EQ(Value(again, "SHOWHINT"), "1100101");
}

TEST_F(ViewerSettings, AngleAndRadiusAreTruncatedTowardZero) {
  const std::string text = RoundTrip([](ViewerScene& s) {
    s.cameraTheta = 359.9;
    s.cameraR = 250.7;
  });
  EXPECT_EQ(Value(text, "CAMERA_T"), "359");
  EXPECT_EQ(Value(text, "CAMERA_R"), "250");
  const std::string small = RoundTrip([](ViewerScene& s) {
    s.cameraTheta = 0.99;
    s.cameraR = 1.0;
  });
  EXPECT_EQ(Value(small, "CAMERA_T"), "0");
  EXPECT_EQ(Value(small, "CAMERA_R"), "1");
}

TEST_F(ViewerSettings, NegativeAndUnsignedValuesRoundTrip) {
  testsupport::WriteFile(Path(), "[CONFIG]\nAXIS_X=-12\nAXIS_Y=7\nCAMERA_X=-40\nCAMERA_T=-1\nCAMERA_R=400\n");
  const std::string text = RoundTrip([](ViewerScene& s) {
    EXPECT_EQ(s.axisX, -12);
    EXPECT_EQ(s.cameraZ, -40);
    // THETA and R are read unsigned: -1 is 2^32 - 1 degrees.
    EXPECT_EQ(s.cameraTheta, 4294967295.0);
    EXPECT_EQ(s.cameraR, 400.0);
  });
  EXPECT_EQ(Value(text, "AXIS_X"), "-12");
  EXPECT_EQ(Value(text, "AXIS_Y"), "7");
  EXPECT_EQ(Value(text, "CAMERA_X"), "-40");
  // Written as the low 32 bits of the truncation, read as signed.
  EXPECT_EQ(Value(text, "CAMERA_T"), "-1");
}

TEST_F(ViewerSettings, OtherKeysSectionsAndCommentsAreKept) {
  const std::string before =
      "; scatterview settings\n[CONFIG]\nWidth=800\nFPS=1\nNAME=my data.csv\nCAMERA_R=90\n\n[OTHER]\nSHOWHINT=7\n";
  testsupport::WriteFile(Path(), before);
  const std::string text = RoundTrip([](ViewerScene& s) {
    EXPECT_EQ(s.cameraR, 90.0);
    s.showFps = 0;  // F4 toggled: the readout switch is never written
    s.cameraR = 120;
  });
  EXPECT_EQ(text.rfind("; scatterview settings\n", 0), 0u) << text;
  EXPECT_EQ(Value(text, "Width"), "800");
  EXPECT_EQ(Value(text, "FPS"), "1");
  EXPECT_EQ(Value(text, "NAME"), "my data.csv");
  EXPECT_EQ(Value(text, "CAMERA_R"), "120");
  EXPECT_EQ(platform::ini::FindValue(text, "OTHER", "SHOWHINT").value_or(""), "7");
  for (const char* key : kKeys) EXPECT_NE(Value(text, key), "<missing>") << key;
}

TEST_F(ViewerSettings, GarbageValuesReadAsTheProfileReadGivesThemAndAreWrittenBackClean) {
  testsupport::WriteFile(Path(), "[CONFIG]\nSHOWHINT=abc\nCAMERA_X=12abc\nCAMERA_R=\nAXIS_Y=--3\nSHOWAXIS=\x01\xff\n");
  const std::string text = RoundTrip([](ViewerScene& s) {
    EXPECT_EQ(s.showHint, 0);
    EXPECT_EQ(s.cameraZ, 12);
    EXPECT_EQ(s.cameraR, 0.0);
    EXPECT_EQ(s.axisY, 0);
    EXPECT_EQ(s.showAxis, 0);
  });
  EXPECT_EQ(Value(text, "SHOWHINT"), "0");
  EXPECT_EQ(Value(text, "CAMERA_X"), "12");
  EXPECT_EQ(Value(text, "CAMERA_R"), "0");
  EXPECT_EQ(Value(text, "SHOWAXIS"), "0");
}

TEST_F(ViewerSettings, TheSaveIsOneReplaceThatLeavesNoTemporaryFiles) {
  testsupport::WriteFile(Path(), "[CONFIG]\nAXIS_X=3\n");
  RoundTrip([](ViewerScene& s) { s.axisX = 4; });
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    ++files;
    EXPECT_EQ(entry.path().filename(), "config.ini");
  }
  EXPECT_EQ(files, 1);
}

TEST_F(ViewerSettings, AReadOnlyFileIsLeftAsItWasAndTheSceneEndsNormally) {
  const std::string before = "[CONFIG]\nAXIS_X=3\n";
  testsupport::WriteFile(Path(), before);
  ASSERT_EQ(chmod(Path().c_str(), 0444), 0);
  const std::string text = RoundTrip([](ViewerScene& s) {
    EXPECT_EQ(s.axisX, 3);
    s.axisX = 9;
  });
  EXPECT_EQ(text, before);
  chmod(Path().c_str(), 0644);
}

TEST_F(ViewerSettings, AFolderInPlaceOfTheFileGivesTheDefaultsAndStaysAFolder) {
  std::filesystem::create_directory(Path());
  RoundTrip([](ViewerScene& s) {
    EXPECT_EQ(s.cameraZ, 150);
    s.cameraZ = 1;
  });
  EXPECT_TRUE(std::filesystem::is_directory(Path()));
}

TEST_F(ViewerSettings, AMissingFolderIsNoError) {
  auto scene = std::make_unique<ViewerScene>(dir / "gone/config.ini");
  EXPECT_EQ(scene->showHint, 1);
  scene.reset();
  EXPECT_FALSE(testsupport::FileExists(dir / "gone/config.ini"));
}

TEST(ViewerSettingsTruncation, KeepsTheLowThirtyTwoBitsAndNeverOverflows) {
  EXPECT_EQ(viewer::TruncateToInt32(359.9), 359);
  EXPECT_EQ(viewer::TruncateToInt32(-0.5), 0);
  EXPECT_EQ(viewer::TruncateToInt32(-7.9), -7);
  EXPECT_EQ(viewer::TruncateToInt32(4294967295.0), -1);
  EXPECT_EQ(viewer::TruncateToInt32(4294967296.0 + 12.5), 12);
  EXPECT_EQ(viewer::TruncateToInt32(1e300), -1);   // saturates at INT64_MAX, whose low half is all ones
  EXPECT_EQ(viewer::TruncateToInt32(-1e300), 0);   // INT64_MIN's low half is zero
  EXPECT_EQ(viewer::TruncateToInt32(std::nan("")), 0);
}

TEST_F(ViewerSettings, FitColourMapRangesAndPointSizeAreWrittenOnlyOnceTheyMeanSomething) {
  struct Case {
    std::string file;                               // config.ini before the run
    int fit, colour, ranges;                        // set during the run (-1: left as read)
    std::string fitAfter, colourAfter, rangesAfter;  // the keys afterwards
    int size = -1; std::string sizeAfter = "<missing>";  // POINTSIZE likewise
  };
  const Case cases[] = {
      {"", -1, -1, -1, "<missing>", "<missing>", "<missing>"},
      {"[CONFIG]\nFIT=0\nRANGES=0\n", -1, -1, -1, "0", "<missing>", "0"},
      {"[CONFIG]\nFIT=2\nCOLORMAP=7\nRANGES=3\n", -1, -1, -1, "2", "1", "1"},
      {"[CONFIG]\nFIT=9\n", -1, -1, -1, "0", "<missing>", "<missing>"},  // no such state: off
      {"", 1, 1, 1, "1", "1", "1", 3, "3"},
      {"[CONFIG]\nFIT=1\nCOLORMAP=1\nRANGES=1\nPOINTSIZE=10\n", 0, 0, 0, "0", "0", "0", -1, "1"},  // 1 to 9
  };
  for (const Case& c : cases) {
    std::filesystem::remove(Path());
    if (!c.file.empty()) testsupport::WriteFile(Path(), c.file);
    const std::string text = RoundTrip([&](ViewerScene& scene) {
      if (c.fit >= 0) scene.fitMode = c.fit;
      if (c.colour >= 0) scene.colourByHeight = c.colour;
      if (c.ranges >= 0) scene.showRanges = c.ranges;
      if (c.size >= 0) scene.pointSize = c.size;
    });
    EXPECT_EQ(Value(text, "FIT"), c.fitAfter) << c.file;
    EXPECT_EQ(Value(text, "COLORMAP"), c.colourAfter) << c.file;
    EXPECT_EQ(Value(text, "RANGES"), c.rangesAfter) << c.file;
    EXPECT_EQ(Value(text, "POINTSIZE"), c.sizeAfter) << c.file;
  }
}

}  // namespace
