// The viewer's command line run whole and headless, one row a run: options before the data path, "--",
// standard input as "-", usage errors, and the exit status and config.ini each ends with.
#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ini_keys.h"
#include "program_folder.h"
#include "temp_dir.h"

namespace {

using testsupport::Process;
using testsupport::ProcessLaunch;
using testsupport::ReadFile;
using testsupport::WriteFile;

constexpr char kRows[] = "1,2,3\n4,5,6\n7,8,9\n";

enum class Input { None, File, Pipe };  // standard input: /dev/null, data.csv redirected, kRows piped

struct Row {
  const char* name;
  std::vector<std::string> args;
  Input input;
  const char* config;  // config.ini before the run ("" = no file)
  bool runs;           // the window comes up: the run is ended with SIGTERM once `said` is on stderr
  int status;
  const char* said;  // on stderr ("" = nothing at all), or on stdout for --help
  // The [CONFIG] section afterwards: the ten view keys with their defaults overlaid with these lines
  // (KEY=<absent>: not there), exactly; nullptr = config.ini not touched at all.
  const char* saved;
};

std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.name; }

const Row kRowsTable[] = {
    {"OptionsComeBeforeThePath", {"--fit", "data.csv"}, Input::None, "", true, 0, "", ""},
    // Shown for this run only: what the file had stays, and a key it lacked stays absent.
    {"ViewOptionsAreNotWrittenBack",
     {"--points", "--fit-axes", "--colour-by-height", "--ranges", "data.csv"}, Input::None,
     "[CONFIG]\nLINESET=1\nCOLORMAP=0\n", true, 0, "", "LINESET=1\nCOLORMAP=0\n"},
    {"ANoFitOptionLeavesTheFitKey", {"--no-fit", "--white", "--lines", "data.csv"}, Input::None,
     "[CONFIG]\nFIT=2\n", true, 0, "", "FIT=2\nLINESET=<absent>\n"},
    {"AfterTwoDashesAPathMayBeginWithADash", {"--", "-odd.csv"}, Input::None, "", true, 0, "", ""},
    {"TheRestOfTheArgumentsIsOnePath", {"--white", "my", "data.csv"}, Input::None, "", true, 0, "", ""},
    {"MaxRowsOverridesTheKey", {"--max-rows=1", "data.csv"}, Input::None, "[CONFIG]\nMAXROWS=100\n", true, 0,
     "data.csv: 1 rows read, the rest of the file was not (--max-rows raises the limit)", "MAXROWS=100\n"},
    {"DashReadsStandardInputFromAPipe", {"--max-rows", "2", "-"}, Input::Pipe, "", true, 0, "-: 2 rows read", ""},
    {"DashReadsStandardInputFromAFile", {"-"}, Input::File, "[CONFIG]\nMAXROWS=1\n", true, 0,
     "-: 1 rows read, the rest of the file was not (MAXROWS in config.ini raises", "MAXROWS=1\n"},
    {"AMissingDataFileFails", {"--fit", "missing.csv"}, Input::None, "", false, 1, "missing.csv: ファイルが見つかりません",
     ""},
    // Usage errors end before anything else: no window, and config.ini (5 would be saved as 101) as it was.
    {"AnUnknownOptionIsAUsageError", {"--bogus", "data.csv"}, Input::None, "[CONFIG]\nSHOWHINT=5\n", false, 2,
     "scatterview: unknown option '--bogus'", nullptr},
    {"APathBeginningWithADashNeedsTwoDashes", {"-odd.csv"}, Input::None, "", false, 2, "unknown option '-odd.csv'",
     nullptr},
    {"MaxRowsZeroIsAUsageError", {"--max-rows", "0", "data.csv"}, Input::None, "[CONFIG]\nSHOWHINT=5\n", false, 2,
     "--max-rows needs a count of at least 1, not '0'", nullptr},
    {"ABadDelimiterIsAUsageError", {"--delimiter", "ab", "data.csv"}, Input::None, "", false, 2,
     "--delimiter needs one character, 'tab' or 'space', not 'ab'", nullptr},
    {"BadColumnsAreAUsageError", {"--columns=0,1,2", "data.csv"}, Input::None, "", false, 2,
     "--columns needs three column numbers", nullptr},
    // A bad key is ignored (automatic); a good option then reads the file as asked.
    {"ReadOptionsOverBadKeys", {"--delimiter", ",", "--columns", "1,2,3", "--max-rows", "1", "data.csv"}, Input::None,
     "[CONFIG]\nDELIMITER=??\nCOLUMNS=x\n", true, 0, "data.csv: 1 rows read", "DELIMITER=??\nCOLUMNS=x\n"},
    {"AValueOptionNeedsItsValue", {"--fit", "--max-rows"}, Input::None, "", false, 2, "--max-rows needs a value",
     nullptr},
    {"HelpListsTheOptionsAndSavesNothing", {"--fit", "--help"}, Input::None, "[CONFIG]\nSHOWHINT=5\n", false, 0,
     "--max-rows N", nullptr},
};

class CommandLineRun : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    program = testsupport::PrepareProgramFolder(dir.Path());
    WriteFile(dir / "data.csv", kRows);
    WriteFile(dir / "-odd.csv", kRows);
    WriteFile(dir / "my data.csv", kRows);
  }

  testsupport::TempDir dir;
  std::string program;
};

TEST_P(CommandLineRun, EndsWithItsStatusMessageAndSettings) {
  const Row& row = GetParam();
  const std::string configPath = dir / "config.ini";
  if (*row.config) WriteFile(configPath, row.config);
  ProcessLaunch launch = testsupport::HeadlessRun(program, dir.Path());
  launch.args = row.args;
  if (row.input == Input::File) launch.stdinFile = dir / "data.csv";
  if (row.input == Input::Pipe) launch.stdinPipe = kRows;

  Process p(launch);
  ASSERT_TRUE(p.Started());
  const std::string lock = testsupport::InstanceLockFile(dir.Path());
  if (row.runs) {
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return testsupport::HoldsFlock(p.Pid(), lock) || !p.Running(); }, 20000));
    ASSERT_TRUE(p.Running()) << "the window should be up: " << p.Stderr();
    if (*row.said) {
      EXPECT_TRUE(p.WaitForStderr(row.said, 20000)) << p.Stderr();
    }
    p.Signal(SIGTERM);
  }
  ASSERT_TRUE(p.Wait(20000));
  EXPECT_EQ(p.ExitStatus(), row.status) << p.Stderr();

  const bool toStdout = row.args.back() == "--help";
  const std::string err = p.Stderr();
  if (!*row.said) {
    EXPECT_EQ(err, "");
  } else {
    EXPECT_NE((toStdout ? p.Stdout() : err).find(row.said), std::string::npos) << p.Stdout() << err;
  }
  if (row.status == 2) {
    EXPECT_NE(err.find("\nTry 'scatterview --help'.\n"), std::string::npos) << err;
    EXPECT_FALSE(testsupport::FileExists(lock)) << "no window was made";
  }

  if (!row.saved) {
    EXPECT_EQ(testsupport::FileExists(configPath), *row.config != '\0');
    if (*row.config) {
      EXPECT_EQ(ReadFile(configPath), row.config);
    }
  } else {
    std::map<std::string, std::string> expected(testsupport::DefaultViewKeys().begin(),
                                                testsupport::DefaultViewKeys().end());
    for (const auto& [key, value] : testsupport::IniSection(std::string("[CONFIG]\n") + row.saved, "CONFIG")) {
      if (value == "<absent>") {
        expected.erase(key);
      } else {
        expected[key] = value;
      }
    }
    EXPECT_EQ(testsupport::IniSection(ReadFile(configPath), "CONFIG"), expected) << ReadFile(configPath);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, CommandLineRun, ::testing::ValuesIn(kRowsTable),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
