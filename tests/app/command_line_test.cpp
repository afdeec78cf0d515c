// How the arguments become the data path, and the options main answers itself.
#include "app/command_line.h"

#include <gtest/gtest.h>

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

TEST(CommandLine, HelpAndVersionOnlyAsTheFirstArgument) {
  auto action = [](std::vector<const char*> args) {
    args.insert(args.begin(), "scatterview");
    return app::ActionOf(static_cast<int>(args.size()), args.data());
  };
  EXPECT_EQ(action({}), app::CommandLineAction::Run);
  EXPECT_EQ(action({"-h"}), app::CommandLineAction::Help);
  EXPECT_EQ(action({"--help"}), app::CommandLineAction::Help);
  EXPECT_EQ(action({"--version"}), app::CommandLineAction::Version);
  EXPECT_EQ(action({"data.csv", "--help"}), app::CommandLineAction::Run);
  EXPECT_EQ(action({"./-h"}), app::CommandLineAction::Run);
  const std::string usage = app::UsageText("/home/u/.config/scatterview/config.ini");
  EXPECT_EQ(usage.rfind("Usage: scatterview", 0), 0u);
  EXPECT_NE(usage.find("in use: /home/u/.config/scatterview/config.ini\n"), std::string::npos) << usage;
}

}  // namespace
