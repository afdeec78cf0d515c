// The render tool's command line: the two file names, each override, both option spellings, and a
// clear refusal of everything else.
#include "batch/render_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using batch::ParseRenderOptions;
using batch::ParseStatus;

TEST(RenderOptions, TakesTheDataFileAndTheOutputWhereverTheOptionsStand) {
  auto r = ParseRenderOptions({"--lines", "data.csv", "--theta", "30", "out.png", "--no-axes"});
  ASSERT_EQ(r.status, ParseStatus::Run) << r.error;
  EXPECT_EQ(r.options.dataPath, "data.csv");
  EXPECT_EQ(r.options.outputPath, "out.png");
  EXPECT_EQ(r.options.theta, 30.0);
  EXPECT_EQ(r.options.view.lines, true);
  EXPECT_EQ(r.options.axes, false);
  EXPECT_FALSE(r.options.hint.has_value()) << "an option not given leaves the config key in force";
  EXPECT_FALSE(r.options.radius.has_value());
  EXPECT_EQ(r.options.turntable, 0);
  EXPECT_EQ(r.options.configPath, "");
}

TEST(RenderOptions, ReadsEveryOverrideInBothSpellings) {
  auto r = ParseRenderOptions({"--config=my.ini", "--theta=-12.5", "--r", "180", "--z=-40", "--axis-x", "7",
                               "--axis-y=-3", "--hard-tl", "2", "--turntable=36", "--jobs", "3", "--max-rows=2000000",
                               "--points", "--hint", "--axes", "d", "o"});
  ASSERT_EQ(r.status, ParseStatus::Run) << r.error;
  const batch::RenderOptions& o = r.options;
  EXPECT_EQ(o.configPath, "my.ini");
  EXPECT_EQ(o.theta, -12.5);
  EXPECT_EQ(o.radius, 180.0);
  EXPECT_EQ(o.cameraZ, -40);
  EXPECT_EQ(o.axisX, 7);
  EXPECT_EQ(o.axisY, -3);
  EXPECT_EQ(o.hardTl, 2);
  EXPECT_EQ(o.turntable, 36);
  EXPECT_EQ(o.jobs, 3);
  EXPECT_EQ(o.view.maxRows, 2000000);
  EXPECT_EQ(o.view.lines, false);
  EXPECT_EQ(o.hint, true);
  EXPECT_EQ(o.axes, true);
}

TEST(RenderOptions, TheLastOfTwoOpposedSwitchesWins) {
  auto r = ParseRenderOptions({"--lines", "--points", "--no-hint", "--hint", "d", "o"});
  ASSERT_EQ(r.status, ParseStatus::Run);
  EXPECT_EQ(r.options.view.lines, false);
  EXPECT_EQ(r.options.hint, true);
}

TEST(RenderOptions, AfterTwoDashesEverythingIsAFileName) {
  auto r = ParseRenderOptions({"--", "--odd.csv", "-out.png"});
  ASSERT_EQ(r.status, ParseStatus::Run) << r.error;
  EXPECT_EQ(r.options.dataPath, "--odd.csv");
  EXPECT_EQ(r.options.outputPath, "-out.png");
}

TEST(RenderOptions, HelpWinsOverEverythingElse) {
  EXPECT_EQ(ParseRenderOptions({"-h"}).status, ParseStatus::Help);
  EXPECT_EQ(ParseRenderOptions({"--bogus", "--help"}).status, ParseStatus::Error) << "the first fault stops";
  EXPECT_EQ(ParseRenderOptions({"d", "--help", "o"}).status, ParseStatus::Help);
  EXPECT_NE(batch::RenderUsage().find("--turntable N"), std::string::npos);
}

TEST(RenderOptions, RefusesBadOptionsWithTheReason) {
  struct Case {
    std::vector<std::string> args;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {{"d"}, "needs a data file and an output"},
      {{}, "needs a data file and an output"},
      {{"d", "o", "x"}, "too many file names"},
      {{"--frobnicate", "d", "o"}, "unknown option '--frobnicate'"},
      {{"--lines=1", "d", "o"}, "unknown option '--lines=1'"},
      {{"d", "o", "--theta"}, "--theta needs a value"},
      {{"--theta", "abc", "d", "o"}, "--theta needs a number"},
      {{"--theta", "12deg", "d", "o"}, "--theta needs a number"},
      {{"--theta", "inf", "d", "o"}, "--theta needs a number"},
      {{"--theta", "nan", "d", "o"}, "--theta needs a number"},
      {{"--r", "0.5", "d", "o"}, "--r needs a number of at least 1"},
      {{"--z", "1.5", "d", "o"}, "--z needs a whole number"},
      {{"--axis-x", "99999999999", "d", "o"}, "--axis-x needs a whole number"},
      {{"--axis-y=", "d", "o"}, "--axis-y needs a whole number"},
      {{"--hard-tl", "3", "d", "o"}, "--hard-tl needs 0, 1 or 2"},
      {{"--turntable", "0", "d", "o"}, "--turntable needs a count"},
      {{"--turntable", "-4", "d", "o"}, "--turntable needs a count"},
      {{"--jobs", "0", "d", "o"}, "--jobs needs a count"},
      {{"--max-rows", "0", "d", "o"}, "--max-rows needs a count"},
      {{"--max-rows", "many", "d", "o"}, "--max-rows needs a count"},
      {{"--config=", "d", "o"}, "--config needs a file name"},
      {{"", "o"}, "file names must not be empty"},
  };
  for (const Case& c : cases) {
    auto r = ParseRenderOptions(c.args);
    EXPECT_EQ(r.status, ParseStatus::Error) << c.reason;
    EXPECT_NE(r.error.find(c.reason), std::string::npos) << "got: " << r.error << "; wanted: " << c.reason;
  }
}

TEST(RenderOptions, NegativeValuesAreValuesNotOptions) {
  auto r = ParseRenderOptions({"--axis-x", "-20", "--theta", "-90", "d", "o"});
  ASSERT_EQ(r.status, ParseStatus::Run) << r.error;
  EXPECT_EQ(r.options.axisX, -20);
  EXPECT_EQ(r.options.theta, -90.0);
}

}  // namespace
