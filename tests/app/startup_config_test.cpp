// The twelve start-up keys of config.ini: defaults and values.
#include "app/startup_config.h"

#include <gtest/gtest.h>

#include "temp_dir.h"
#include "viewer/data_format.h"

namespace {

TEST(StartupConfig, AMissingFileGivesEveryDefault) {
  testsupport::TempDir dir;
  app::StartupConfig c = app::ReadStartupConfig(dir / "config.ini");
  EXPECT_EQ(c.width, 640);
  EXPECT_EQ(c.height, 480);
  EXPECT_EQ(c.fullScreen, 0);
  EXPECT_EQ(c.vsyncWait, 1);
  EXPECT_EQ(c.d3dxSprite, 0);
  EXPECT_EQ(c.drawLevel, 0);
  EXPECT_EQ(c.noBackDraw, 0);
  EXPECT_EQ(c.hardTL, 0);
  EXPECT_EQ(c.fog, 1);
  EXPECT_EQ(c.bit, 0);
  EXPECT_EQ(c.fps, 0);
  EXPECT_EQ(c.resizable, 0);
  EXPECT_EQ(c.name, "data.csv");
}

TEST(StartupConfig, EveryKeyIsReadFromTheConfigSection) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "config.ini",
                         "[CONFIG]\nWidth=800\nHeight=600\nFullScreen=1\nVSYNC_WAIT=0\nD3DX_SPRITE=1\n"
                         "DRAWLEVEL=1\nNOBACKDRAW=1\nHARD_TL=1\nFOG=0\nBIT=16\nFPS=1\nNAME=points/my data.csv\n"
                         "RESIZABLE=1\n[OTHER]\nWidth=1\n");
  app::StartupConfig c = app::ReadStartupConfig(dir / "config.ini");
  EXPECT_EQ(c.width, 800);
  EXPECT_EQ(c.height, 600);
  EXPECT_EQ(c.fullScreen, 1);
  EXPECT_EQ(c.vsyncWait, 0);
  EXPECT_EQ(c.d3dxSprite, 1);
  EXPECT_EQ(c.drawLevel, 1);
  EXPECT_EQ(c.noBackDraw, 1);
  EXPECT_EQ(c.hardTL, 1);
  EXPECT_EQ(c.fog, 0);
  EXPECT_EQ(c.bit, 16);
  EXPECT_EQ(c.fps, 1);
  EXPECT_EQ(c.resizable, 1);
  EXPECT_EQ(c.name, "points/my data.csv");
}

TEST(StartupConfig, NegativeAndGarbageNumbers) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "config.ini", "[CONFIG]\nWidth=-5\nHeight=big\n");
  app::StartupConfig c = app::ReadStartupConfig(dir / "config.ini");
  EXPECT_EQ(c.width, -5);
  EXPECT_EQ(c.height, 0);
}

TEST(StartupConfig, MaxRowsRaisesTheRowLimitOnlyWhenPositive) {
  const struct {
    const char* file;
    size_t limit;
  } cases[] = {
      {"[CONFIG]\nWidth=640\n", 150000},
      {"[CONFIG]\nMAXROWS=0\n", 150000},
      {"[CONFIG]\nMAXROWS=-5\n", 150000},
      {"[CONFIG]\nMAXROWS=abc\n", 150000},
      {"[CONFIG]\nMAXROWS=200000\n", 200000},
      {"[config]\nmaxrows=12\n", 12},
  };
  for (const auto& c : cases) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "config.ini", c.file);
    EXPECT_EQ(viewer::RowLimitFromSetting(app::ReadStartupConfig(dir / "config.ini").maxRows), c.limit) << c.file;
  }
}

TEST(StartupConfig, DelimiterAndColumnsKeysGiveWayToTheirOptionsAndABadKeyIsIgnored) {
  struct Case {
    const char* file;
    viewer::ViewOptions options;
    viewer::ReadOptions read;
  };
  viewer::ViewOptions semicolonsAndColumns;
  semicolonsAndColumns.delimiter = ';';
  semicolonsAndColumns.columns = std::array<int, 3>{1, 2, 3};
  const Case cases[] = {
      {"", {}, {}},
      {"[CONFIG]\nDELIMITER=tab\nCOLUMNS=2,3,4\n", {}, {'\t', {2, 3, 4}}},
      {"[CONFIG]\nDELIMITER=space\nCOLUMNS=1,1,1\n", {}, {' ', {1, 1, 1}}},
      {"[CONFIG]\nDELIMITER=semicolon\nCOLUMNS=4,5,6\n", {}, {0, {4, 5, 6}}},  // each bad value alone is ignored
      {"[CONFIG]\nDELIMITER=;\nCOLUMNS=0,1,2\n", {}, {';', {}}},
      {"[CONFIG]\nDELIMITER=tab\nCOLUMNS=2,3,4\n", semicolonsAndColumns, {';', {1, 2, 3}}},
      {"", semicolonsAndColumns, {';', {1, 2, 3}}},
  };
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "config.ini", c.file);
    app::StartupConfig config = app::ReadStartupConfig(dir / "config.ini");
    app::ApplyCommandLine(c.options, config);
    EXPECT_EQ(config.read, c.read) << c.file << " with options: " << c.options.delimiter.has_value();
  }
}

}  // namespace
