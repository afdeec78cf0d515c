// How the arguments become the data path, and the options main answers itself.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

std::string PathOf(std::vector<const char*> args) {
  args.insert(args.begin(), "scatterview");
  return app::DataPathFromCommandLine(app::JoinArguments(static_cast<int>(args.size()), args.data()));
}

TEST(CommandLine, ArgumentsJoinWithSingleSpaces) {
  const char* argv[] = {"scatterview", "my", "data.csv"};
  EXPECT_EQ(app::JoinArguments(3, argv), "my data.csv");
  const char* none[] = {"scatterview"};
  EXPECT_EQ(app::JoinArguments(1, none), "");
}

TEST(CommandLine, EveryWayOfGivingAPathWithSpacesOpensTheSameFile) {
  EXPECT_EQ(PathOf({"my data.csv"}), "my data.csv");        // quoted by the shell
  EXPECT_EQ(PathOf({"my", "data.csv"}), "my data.csv");     // not quoted at all
  EXPECT_EQ(PathOf({"\"my data.csv\""}), "my data.csv");    // quotes passed through to the program
  EXPECT_EQ(PathOf({"\"my", "data.csv\""}), "my data.csv");
}

TEST(CommandLine, OnlyAPairOfQuotesIsRemoved) {
  EXPECT_EQ(PathOf({"abc.csv"}), "abc.csv") << "nothing is cut from an unquoted path";
  EXPECT_EQ(PathOf({"\"abc.csv"}), "\"abc.csv");
  EXPECT_EQ(PathOf({"abc.csv\""}), "abc.csv\"");
  EXPECT_EQ(PathOf({"\""}), "\"");
  EXPECT_EQ(PathOf({"\"\""}), "");
  EXPECT_EQ(PathOf({"x"}), "x");
  EXPECT_EQ(PathOf({"'a.csv'"}), "'a.csv'") << "single quotes are part of the name";
}

TEST(CommandLine, LongPathsAreKeptWhole) {
  std::string longPath = "/" + std::string(400, 'p') + "/data.csv";
  EXPECT_EQ(PathOf({longPath.c_str()}), longPath);
}

app::CommandLine Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "scatterview");
  return app::ParseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, OptionsComeFirstAndTheRestIsTheDataPath) {
  struct Case {
    std::vector<const char*> args;
    app::CommandLineAction action;
    std::string rawPath;
  };
  using enum app::CommandLineAction;
  const Case cases[] = {
      {{}, Run, ""},
      {{"-h"}, Help, ""},
      {{"--fit", "--help", "data.csv"}, Help, ""},
      {{"--version"}, Version, ""},
      {{"data.csv", "--help"}, Run, "data.csv --help"},  // after the path, everything is path
      {{"--fit", "my", "--lines", "data.csv"}, Run, "my --lines data.csv"},
      {{"./-h"}, Run, "./-h"},
      {{"-"}, Run, "-"},  // standard input
      {{"--points", "-", "x"}, Run, "- x"},
      {{"--", "-h"}, Run, "-h"},
      {{"--", "--fit", "a"}, Run, "--fit a"},
      {{"--white", "--"}, Run, ""},
      {{"", "x"}, Run, " x"},
      {{"--max-rows", "-5"}, UsageError, ""},  // a value, not an option nor the path
      {{"--bogus", "data.csv"}, UsageError, ""},
      {{"-x", "data.csv"}, UsageError, ""},
      {{"-5.csv"}, UsageError, ""},
      {{"--fit=1", "data.csv"}, UsageError, ""},
      {{"--max-rows"}, UsageError, ""},
  };
  for (const Case& c : cases) {
    const app::CommandLine line = Parse(c.args);
    std::string shown;
    for (const char* a : c.args) shown += std::string("[") + a + "]";
    EXPECT_EQ(line.action, c.action) << shown << " " << line.error;
    EXPECT_EQ(line.rawPath, c.rawPath) << shown;
    EXPECT_EQ(line.error.empty(), c.action != UsageError) << shown;
  }
}

TEST(CommandLine, ViewOptionsTakeTheirValueEitherWayAndTheLastOneWins) {
  app::CommandLine line = Parse({"--lines", "--points", "--fit-axes", "--colour-by-height", "--ranges", "--max-rows=7",
                                 "--max-rows", "+12", "--delimiter=tab", "--columns", "3,1,2", "d.csv"});
  ASSERT_EQ(line.action, app::CommandLineAction::Run) << line.error;
  EXPECT_EQ(line.options.lines, false);
  EXPECT_EQ(line.options.fit, 2);
  EXPECT_EQ(line.options.byHeight, true);
  EXPECT_EQ(line.options.ranges, true);
  EXPECT_EQ(line.options.maxRows, 12);
  EXPECT_EQ(line.options.delimiter, '\t');
  EXPECT_EQ(line.options.columns, (std::array<int, 3>{3, 1, 2}));
  line = Parse({"--no-fit", "--white", "--no-ranges", "d.csv"});
  EXPECT_EQ(line.options.fit, 0);
  EXPECT_EQ(line.options.byHeight, false);
  EXPECT_EQ(line.options.ranges, false);
  EXPECT_FALSE(line.options.lines.has_value()) << "an option not given leaves its key in force";
  EXPECT_FALSE(line.options.maxRows.has_value());

  for (const char* bad : {"0", "-1", "many", "12x", "", "1e3", "99999999999999999999"}) {
    line = Parse({"--max-rows", bad, "d.csv"});
    EXPECT_EQ(line.action, app::CommandLineAction::UsageError) << bad;
    EXPECT_EQ(line.error, std::string("--max-rows needs a count of at least 1, not '") + bad + "'");
  }
  for (const char* bad : {"", "ab", "\x01"}) {
    EXPECT_EQ(Parse({"--delimiter", bad, "d.csv"}).error,
              std::string("--delimiter needs one character, 'tab' or 'space', not '") + bad + "'");
  }
  for (const char* bad : {"", "1,2", "0,1,2", "1,2,1001", "a,b,c"}) {
    EXPECT_EQ(Parse({"--columns", bad, "d.csv"}).action, app::CommandLineAction::UsageError) << bad;
  }
}

TEST(CommandLine, TheUsageTextNamesTheOptionsKeysAndTheSettingsFile) {
  const std::string usage = app::UsageText("/home/u/.config/scatterview/config.ini");
  EXPECT_EQ(usage.rfind("Usage: scatterview", 0), 0u);
  for (const char* part : {"--fit", "--fit-axes", "--no-fit", "--colour-by-height", "--white", "--lines", "--points",
                           "--max-rows N", "--delimiter C", "--columns I,J,K", "F6", "F7", "F8", "F9", "F12", "MAXROWS",
                           "--ranges", "RANGES", "DELIMITER", "COLUMNS", "Exit status", "'-'", "'--'"})
    EXPECT_NE(usage.find(part), std::string::npos) << part;
  EXPECT_NE(usage.find("in use: /home/u/.config/scatterview/config.ini\n"), std::string::npos) << usage;
}

}  // namespace
