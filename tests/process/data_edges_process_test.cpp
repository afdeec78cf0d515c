// Data at the edges of real use, read by the whole render tool in its own folder through a shell:
// named FIFOs whose writer comes first or last (the writer must not lose its rows or die of SIGPIPE),
// and sources that outgrow the memory a process may have (`ulimit -v`), where the rows read so far
// are drawn and said, and nothing is left in TMPDIR. Text from a file name or a file's rows is said with
// its control characters escaped.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "render_tool_fixture.h"

namespace testsupport {
namespace {

TEST_F(RenderTool, FifosAndMemoryLimitsKeepEveryRowThatCanBeRead) {
  struct Case {
    const char* what;
    std::string script;  // run by sh in the tool's folder; $TOOL is the tool with an empty config
    std::string stdoutHas, stderrHas;
  };
  std::vector<Case> cases = {
      {"a FIFO whose writer starts first",
       "mkfifo p; cat data.csv > p & sleep 0.3; $TOOL p out.png; echo tool=$?; wait $!; echo writer=$?",
       "tool=0\nwriter=0\n", ""},
      {"a FIFO whose writer starts last",
       "mkfifo p; (sleep 0.5; cat data.csv > p; echo writer=$? > writer) & $TOOL p out.png; echo tool=$?; wait; "
       "cat writer",
       "tool=0\nwriter=0\n", ""},
      {"a name and a header row that would retitle the terminal",
       "f=$(printf 'na\\033]0;PWNED\\007me.csv'); printf 'x\\033[m,\\233y,z\\n1,2,3\\n4,5,6\\n7,8,9\\n' > \"$f\"; "
       "$TOOL \"$f\" out.png; echo tool=$?",
       "tool=0\n", "na\\x1b]0;PWNED\\x07me.csv: header row (x\\x1b[m,\\x9by,z) skipped"},
      {"a 20 GB sparse file read line by line: its hole is one long line",
       "printf '1 2 3\\n4 5 6\\n' > s.xyz; truncate -s 20G s.xyz; printf '7 8 9\\n' >> s.xyz; "
       "$TOOL --fit s.xyz out.png; echo tool=$?",
       "tool=0\n", "1 row could not be read as three numbers and was left out (the first, row 3: \"\\x00"},
      {"a title, comments and write.table's header, one name short",
       "printf 'Quakes off Fiji\\n# 1964\\nlat long depth mag\\n1 -20.42 181.62 562 4.8\\n2 -20.62 181.03 650 4.2\\n"
       "3 -26 184.1 42 5.4\\n' > q.txt; $TOOL q.txt out.png; echo tool=$?",
       "tool=0\n",
       "q.txt: 2 lines before the first row of numbers skipped (the first: \"Quakes off Fiji\"); header row "
       "(lat long depth mag) skipped, its first column names the rows: columns 2, 3 and 4 are read"},
      {"missing values in a comma file",
       "printf 'Ozone,Solar.R,Wind\\n41,190,7.4\\nNA,NA,14.3\\n,,\\n12,149,12.6\\n18,313,11.5\\n' > a.csv; "
       "$TOOL a.csv out.png; echo tool=$?",
       "tool=0\n", "2 rows could not be read as three numbers and were left out (the first, row 3: \"NA,NA,14.3\")"},
  };
#if defined(__SANITIZE_ADDRESS__)
  // The address sanitizer reserves more address space than any such limit leaves.
#else
  cases.push_back({"an endless pipe under a memory limit",
                   "ulimit -v 400000; yes 1,2,3 | $TOOL --max-rows 2000000000 - out.png; echo tool=$?", "tool=0\n",
                   "rows read, then no more memory could be had; the rest of the file was not read"});
#endif
  WriteFile(dir / "empty.ini", "");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(dir / "tmp");
    std::filesystem::create_directory(dir / "tmp");
    std::filesystem::remove(dir / "p");
    std::filesystem::remove(dir / "out.png");
    ProcessLaunch launch = Launch({"-c", c.script});
    launch.program = "/bin/sh";
    launch.env["TOOL"] = program + " --config empty.ini";
    launch.env["TMPDIR"] = dir / "tmp";
    const RunResult r = RunProcess(launch, 60000);
    EXPECT_FALSE(r.timedOut) << "a reading that never ends";
    EXPECT_EQ(r.out, c.stdoutHas) << r.err;
    if (!c.stderrHas.empty()) {
      EXPECT_NE(r.err.find(c.stderrHas), std::string::npos) << r.err;
    }
    EXPECT_EQ(r.err.find_first_of("\x1b\x07\x9b"), std::string::npos) << "text from files drives no terminal";
    EXPECT_GT(Count(ReadPng(dir / "out.png"), 0xFFFFFF), 0) << "the rows read are drawn";
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp")) << "nothing is left in TMPDIR";
  }
}

}  // namespace
}  // namespace testsupport
