// The sample-data tool run as a program, and the bundled sample examples/lorenz.csv: rows in the
// viewer's format that fill the default view (within about ±100 of the origin).
#include <gtest/gtest.h>

#include "temp_dir.h"

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "viewer/data_loader.h"

namespace {

namespace fs = std::filesystem;

class MakeDataset : public ::testing::Test {
 protected:
  // Runs the built tool; returns its exit status, and its standard error in `err`.
  int Run(const std::string& args, std::string* err = nullptr) {
    const fs::path errFile = dir_ / "stderr.txt";
    const std::string command = std::string(SV_BUILD_DIR) + "/make_dataset " + args + " 2>'" +
                                errFile.string() + "'";
    const int status = std::system(command.c_str());
    if (err) *err = Slurp(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  static std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::string Out(const std::string& name) const { return (dir_ / name).string(); }

  testsupport::TempDir tmp_;
  fs::path dir_{tmp_.Path()};
};

// Consumes a run of one or more digits from the front of `s`.
bool TakeDigits(std::string_view& s) {
  size_t n = 0;
  while (n < s.size() && s[n] >= '0' && s[n] <= '9') ++n;
  s.remove_prefix(n);
  return n > 0;
}

// -?[0-9]+(\.[0-9]+)?(e[-+][0-9]+)? by hand: GCC 12's <regex> warns falsely under the sanitizers.
bool IsNumber(std::string_view s) {
  if (!s.empty() && s[0] == '-') s.remove_prefix(1);
  if (!TakeDigits(s)) return false;
  if (!s.empty() && s[0] == '.') {
    s.remove_prefix(1);
    if (!TakeDigits(s)) return false;
  }
  if (s.size() >= 2 && s[0] == 'e' && (s[1] == '-' || s[1] == '+')) {
    s.remove_prefix(2);
    if (!TakeDigits(s)) return false;
  }
  return s.empty();
}

TEST(MakeDatasetNumbers, AreRecognisedInPlainAndExponentNotationOnly) {
  for (const char* good : {"0", "-12", "3.25", "-0.5e-07", "1e+10"}) EXPECT_TRUE(IsNumber(good)) << good;
  for (const char* bad : {"", "-", "1.", ".5", "1e5", "1e-", "1,2", "nan", "1.2.3", "+1"})
    EXPECT_FALSE(IsNumber(bad)) << bad;
}

// Every line is "x,y,z" in plain decimal or exponent notation.
void ExpectWellFormedLines(const std::string& text, size_t lines) {
  size_t count = 0, start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1, ++count) {
    const std::string line = text.substr(start, end - start);
    const size_t c1 = line.find(','), c2 = line.find(',', c1 + 1);
    ASSERT_NE(c2, std::string::npos) << line;
    ASSERT_TRUE(IsNumber(line.substr(0, c1))) << line;
    ASSERT_TRUE(IsNumber(line.substr(c1 + 1, c2 - c1 - 1))) << line;
    ASSERT_TRUE(IsNumber(line.substr(c2 + 1))) << line;
  }
  EXPECT_EQ(start, text.size()) << "text after the last line feed";
  EXPECT_EQ(count, lines);
}

// The largest |coordinate| over the data rows (not the zero row after the final line feed).
double Extent(const viewer::DataColumns& d) {
  double extent = 0;
  for (size_t i = 0; i + 1 < d.x.size(); ++i) {
    extent = std::max({extent, std::fabs(d.x[i]), std::fabs(d.y[i]), std::fabs(d.z[i])});
  }
  return extent;
}

TEST_F(MakeDataset, EachKindWritesNRowsThatFillTheDefaultView) {
  for (const char* kind : {"lorenz", "cube", "helix"}) {
    SCOPED_TRACE(kind);
    ASSERT_EQ(Run(std::string(kind) + " 3000 " + Out("d.csv")), 0);
    ExpectWellFormedLines(Slurp(Out("d.csv")), 3000);
    viewer::DataColumns d;
    EXPECT_EQ(viewer::ReadDataFile(Out("d.csv"), viewer::kMaxDataRows, d).rows, 3001u);
    EXPECT_GT(Extent(d), 90.0);
    EXPECT_LE(Extent(d), 100.001);
  }
}

TEST_F(MakeDataset, LorenzIsAContinuousTrajectoryCentredOnTheOrigin) {
  ASSERT_EQ(Run("lorenz 5000 " + Out("l.csv")), 0);
  viewer::DataColumns d;
  viewer::ReadDataFile(Out("l.csv"), viewer::kMaxDataRows, d);
  ASSERT_EQ(d.x.size(), 5001u);
  double lo[3] = {1e9, 1e9, 1e9}, hi[3] = {-1e9, -1e9, -1e9}, longestStep = 0;
  for (size_t i = 0; i < 5000; ++i) {
    const double p[3] = {d.x[i], d.y[i], d.z[i]};
    for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], p[a]), hi[a] = std::max(hi[a], p[a]);
    if (i > 0) {
      longestStep = std::max(longestStep, std::hypot(d.x[i] - d.x[i - 1], d.y[i] - d.y[i - 1],
                                                     d.z[i] - d.z[i - 1]));
    }
  }
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(lo[a] + hi[a], 0.0, 0.01) << "axis " << a;
  EXPECT_LT(longestStep, 10.0);  // a polyline through the rows is a smooth curve
}

TEST_F(MakeDataset, CubeIsTheSameOnEveryRunAndSpreadThroughTheCube) {
  ASSERT_EQ(Run("cube 4000 " + Out("a.csv")), 0);
  ASSERT_EQ(Run("cube 4000 " + Out("b.csv")), 0);
  EXPECT_EQ(Slurp(Out("a.csv")), Slurp(Out("b.csv")));
  viewer::DataColumns d;
  viewer::ReadDataFile(Out("a.csv"), viewer::kMaxDataRows, d);
  int octants[8] = {};
  for (size_t i = 0; i + 1 < d.x.size(); ++i) {
    ++octants[(d.x[i] > 0) | (d.y[i] > 0) << 1 | (d.z[i] > 0) << 2];
  }
  for (int count : octants) EXPECT_NEAR(count, 500, 100);
}

TEST_F(MakeDataset, BadArgumentsAreRefusedWithAMessage) {
  std::string err;
  EXPECT_EQ(Run("", &err), 2);
  EXPECT_NE(err.find("usage"), std::string::npos);
  EXPECT_EQ(Run("spiral 10 " + Out("s.csv"), &err), 2);
  EXPECT_NE(err.find("spiral"), std::string::npos);
  EXPECT_FALSE(fs::exists(Out("s.csv")));
  EXPECT_EQ(Run("cube ten " + Out("s.csv"), &err), 2);
  EXPECT_NE(err.find("ten"), std::string::npos);
  EXPECT_EQ(Run("cube -5 " + Out("s.csv"), &err), 2);
  EXPECT_EQ(Run("cube 10 " + Out("no/such/dir/s.csv"), &err), 1);
  EXPECT_NE(err.find("no/such/dir/s.csv"), std::string::npos);
}

TEST_F(MakeDataset, ZeroRowsGiveAnEmptyFile) {
  ASSERT_EQ(Run("lorenz 0 " + Out("e.csv")), 0);
  EXPECT_EQ(Slurp(Out("e.csv")), "");
}

TEST_F(MakeDataset, BundledSampleIsTheLorenzSetOfTwentyThousandRows) {
  const std::string bundled = std::string(SV_SOURCE_DIR) + "/examples/lorenz.csv";
  ASSERT_TRUE(fs::exists(bundled));
  EXPECT_LT(fs::file_size(bundled), 1u << 20);
  ASSERT_EQ(Run("lorenz 20000 " + Out("l.csv")), 0);
  EXPECT_EQ(Slurp(bundled), Slurp(Out("l.csv"))) << "regenerate it with make_dataset lorenz 20000";
  viewer::DataColumns d;
  EXPECT_EQ(viewer::ReadDataFile(bundled, viewer::kMaxDataRows, d).rows, 20001u);
  EXPECT_GT(Extent(d), 90.0);
  EXPECT_LE(Extent(d), 100.001);
}

}  // namespace
