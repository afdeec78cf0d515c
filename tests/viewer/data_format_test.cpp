// The data-file format: field-by-field reading, text-mode line ends, Ctrl-Z, the field and row
// limits, the shapes of real files (a byte order mark, a header, quotes, other separators, columns)
// and the number conversion.
#include "viewer/data_format.h"

#include <gtest/gtest.h>

#include "viewer/data_loader.h"
#include "viewer/fast_data_reader.h"
#include "temp_dir.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using viewer::ConvertDataNumber;
using viewer::DataColumns;
using viewer::kMaxDataRows;
using Row = std::array<double, 3>;

using testsupport::TempDir;

// Writes the bytes as the file `name` in the folder and gives its path.
std::string Written(const TempDir& dir, const std::string& name, const std::string& bytes) {
  testsupport::WriteFile(dir / name, bytes);
  return dir / name;
}

std::vector<Row> RowsOf(const DataColumns& d) {
  EXPECT_EQ(d.x.size(), d.y.size());
  EXPECT_EQ(d.x.size(), d.z.size());
  std::vector<Row> rows;
  for (size_t i = 0; i < d.x.size() && i < d.y.size() && i < d.z.size(); ++i) {
    rows.push_back({d.x[i], d.y[i], d.z[i]});
  }
  return rows;
}

// Reads the bytes as a real file, and checks that the reference reader and the fast reader in small
// windows (rows carried across them all the time, the helper thread always on) agree with it.
std::vector<Row> Read(const std::string& bytes, size_t maxRows = kMaxDataRows, const viewer::ReadOptions& options = {},
                      viewer::DataReadResult* got = nullptr) {
  TempDir dir;
  DataColumns fromFile;
  const viewer::DataReadResult result =
      viewer::ReadDataFile(Written(dir, "data.csv", bytes), maxRows, fromFile, options);
  EXPECT_EQ(result.rows, fromFile.x.size());
  const std::vector<Row> rows = RowsOf(fromFile);
  DataColumns reference;
  const viewer::DataReadResult expected = viewer::ReferenceReadBuffer(bytes, maxRows, options, reference);
  EXPECT_EQ(rows, RowsOf(reference)) << "the file and the reference reader disagree";
  EXPECT_EQ(fromFile.colour, reference.colour) << "the colour column";
  EXPECT_EQ(result.end, expected.end);
  EXPECT_EQ(result.unread.count, expected.unread.count);
  EXPECT_EQ(result.unread.first, expected.unread.first);
  EXPECT_EQ(result.unread.text, expected.unread.text);
  EXPECT_TRUE(result.numbers == expected.numbers) << "the rows' places in the file";
  const bool small = bytes.size() < 100000;
  const std::size_t window = small ? 13 : 65536, convertChunk = small ? 2 : 512;
  for (const viewer::LoaderTuning tuning :
       {viewer::LoaderTuning{1, window, 0, convertChunk}, viewer::LoaderTuning{2, window, 0, convertChunk}}) {
    DataColumns windowed;
    const viewer::DataReadResult fast = viewer::ReadDataFast(bytes, maxRows, options, windowed, tuning);
    EXPECT_EQ(fast.rows, expected.rows);
    EXPECT_TRUE(fast.numbers == expected.numbers) << "the rows' places in the file, in windows";
    EXPECT_EQ(RowsOf(windowed), rows) << tuning.threads << " threads in windows of " << window << " bytes disagree";
    EXPECT_EQ(windowed.colour, reference.colour) << "the colour column in windows";
  }
  if (got) *got = result;
  return rows;
}

viewer::DataReadEnd EndOf(const std::string& bytes, size_t maxRows) {
  DataColumns out;
  return viewer::ReadDataFast(bytes, maxRows, {}, out).end;
}

std::string NumberedRows(size_t count) {
  std::string text;
  for (size_t i = 1; i <= count; ++i) {
    text += std::to_string(i) + "," + std::to_string(i) + ".5,-" + std::to_string(i) + "\n";
  }
  return text;
}

TEST(DataFileReader, RowsGetAZeroRowAfterThemWithOrWithoutAFinalLineFeed) {
  EXPECT_EQ(Read("1,2,3\n4,5,6\n"), (std::vector<Row>{{1, 2, 3}, {4, 5, 6}, {0, 0, 0}}));
  EXPECT_EQ(Read("1,2,3\n4,5,6"), (std::vector<Row>{{1, 2, 3}, {4, 5, 6}, {0, 0, 0}}));
  EXPECT_EQ(Read(""), (std::vector<Row>{{0, 0, 0}}));
}

TEST(DataFileReader, ALastRowWithoutThreeNumbersIsLeftOutAndTheZeroRowStillEndsTheData) {
  for (const char* cut : {"1,2,3\n4,5", "1,2,3\n4", "1,2,3\n4,"}) {
    EXPECT_EQ(Read(cut), (std::vector<Row>{{1, 2, 3}, {0, 0, 0}})) << cut;
  }
}

TEST(DataFileReader, CarriageReturnIsDroppedOnlyBeforeALineFeed) {
  EXPECT_EQ(Read("1,2,3\r\n4,5,6\r\n"), Read("1,2,3\n4,5,6\n"));
  // A lone CR stays a character: white space before a number, a stop after one.
  EXPECT_EQ(Read("\r1,\r2,3\r4\n"), (std::vector<Row>{{1, 2, 3}, {0, 0, 0}}));
  EXPECT_EQ(Read("1\r2,2,3\n"), (std::vector<Row>{{1, 2, 3}, {0, 0, 0}}));
  // CR CR LF keeps the first CR; a CR as the very last byte ends the row like CR LF.
  EXPECT_EQ(Read("1,2,3\r\r\n7,8,9\r"), (std::vector<Row>{{1, 2, 3}, {7, 8, 9}, {0, 0, 0}}));
}

TEST(DataFileReader, CarriageReturnAndLineFeedSplitAcrossReadChunksStillPair) {
  // A z field of the full 99 characters whose CR is the last byte of the first 64 KiB read: were the
  // CR kept, it would be a 100th character and end the reading.
  const size_t chunk = 64 * 1024;
  std::string bytes;
  while (bytes.size() + 7 + 114 <= chunk) bytes += "1,2,3\r\n";
  const std::string z = std::string(98, ' ') + "9";
  bytes += std::string(chunk - 104 - bytes.size(), ' ') + "9,9," + z + "\r\n5,6,7\n";
  ASSERT_EQ(bytes[chunk - 1], '\r');
  ASSERT_EQ(bytes[chunk], '\n');
  const std::vector<Row> rows = Read(bytes);
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows[rows.size() - 3], (Row{9, 9, 9}));
  EXPECT_EQ(rows[rows.size() - 2], (Row{5, 6, 7}));
}

TEST(DataFileReader, CtrlZEndsTheData) {
  EXPECT_EQ(Read("1,2,3\n\x1a" "4,5,6\n"), (std::vector<Row>{{1, 2, 3}, {0, 0, 0}}));
  EXPECT_EQ(Read("1,2,3\n4,5\x1a,6\n"), (std::vector<Row>{{1, 2, 3}, {0, 0, 0}}));
  EXPECT_EQ(Read("\x1a" "1,2,3\n"), (std::vector<Row>{{0, 0, 0}}));

  // Far into the file, after several read chunks.
  const std::vector<Row> rows = Read(NumberedRows(10000) + "\x1a" "7,8,9\n");
  ASSERT_EQ(rows.size(), 10001u);
  EXPECT_EQ(rows[9999], (Row{10000, 10000.5, -10000}));
  EXPECT_EQ(rows[10000], (Row{0, 0, 0}));
}

TEST(DataFileReader, FieldsAreReadAcrossLinesNotLineByLine) {
  // A first row with a digit in it is no header: it is read as a row, and left out.
  EXPECT_EQ(Read("x1,y,z\n1,2,3\n"), (std::vector<Row>{{1, 2, 3}, {0, 0, 0}}));
  EXPECT_EQ(Read("1,2,3\n\n4,5,6\n"), (std::vector<Row>{{1, 2, 3}, {4, 5, 6}, {0, 0, 0}}));
  EXPECT_EQ(Read("1,2,3,4\n"), (std::vector<Row>{{1, 2, 3}, {0, 0, 0}}));
  EXPECT_EQ(Read("1,2\n3,4,5\n"), (std::vector<Row>{{1, 2, 4}, {0, 0, 0}}));
}

TEST(DataFileReader, NulBytesAndJunkEndANumberButNotTheRow) {
  using namespace std::string_literals;
  EXPECT_EQ(Read("1\0" "9,2\0,3\0\n4,5,6\n"s), (std::vector<Row>{{1, 2, 3}, {4, 5, 6}, {0, 0, 0}}));
  EXPECT_EQ(Read("\xff\xfe,\x80" "7,3\n4,5,6\n"), (std::vector<Row>{{4, 5, 6}, {0, 0, 0}}));
}

TEST(DataFileReader, RandomBinaryJunkKeepsTheColumnsEqualAndWithinTheCap) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    std::string bytes(1000 + random() % 200000, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    DataColumns out;
    const size_t rows = viewer::ReadDataFast(bytes, kMaxDataRows, {}, out).rows;
    EXPECT_GE(rows, 1u);
    EXPECT_LE(rows, kMaxDataRows);
    EXPECT_EQ(out.x.size(), rows);
    EXPECT_EQ(out.y.size(), rows);
    EXPECT_EQ(out.z.size(), rows);
  }
}

TEST(DataFileReader, RowCapStoresExactlyTheFirstRows) {
  const std::vector<Row> exact = Read(NumberedRows(kMaxDataRows));
  ASSERT_EQ(exact.size(), kMaxDataRows);
  EXPECT_EQ(exact.back(), (Row{150000, 150000.5, -150000}));  // no zero row after a full file

  const std::vector<Row> over = Read(NumberedRows(kMaxDataRows + 5));
  ASSERT_EQ(over.size(), kMaxDataRows);
  EXPECT_EQ(over.back(), (Row{150000, 150000.5, -150000}));

  EXPECT_EQ(Read("1,2,3\n4,5,6\n7,8,9\n", 2), (std::vector<Row>{{1, 2, 3}, {4, 5, 6}}));
  EXPECT_EQ(Read("1,2,3\n", 1), (std::vector<Row>{{1, 2, 3}}));
}

TEST(DataFileReader, SaysWhetherRowsWereLeftOut) {
  using End = viewer::DataReadEnd;
  const std::string hundred(100, '7');
  const struct {
    std::string bytes;
    size_t maxRows;
    End end;
  } cases[] = {
      {"1,2,3\n4,5,6\n", 10, End::Whole},
      {"1,2,3\n4,5,6\n", 2, End::Whole},  // the limit takes every row there is
      {"1,2,3\n4,5,6\n", 1, End::RowLimit},
      {"1,2,3\n4,5,6", 1, End::RowLimit},
      {"1,2,3\n\x1a" "4,5,6\n", 1, End::Whole},  // nothing is data after Ctrl-Z
      {"1,2,3\n" + hundred + ",5,6\n", 10, End::LongField},
      {"1,2,3\n" + hundred, 10, End::LongField},
      {"1,2,3\n" + hundred.substr(1) + ",5,6\n", 10, End::Whole},
      {"1,2,3\n" + hundred + ",5,6\n", 1, End::RowLimit},
      {"", 10, End::Whole},
      {"1,2,3\n", 0, End::RowLimit},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EndOf(c.bytes, c.maxRows), c.end) << c.bytes << " with " << c.maxRows;
    TempDir dir;
    DataColumns fromFile;
    EXPECT_EQ(viewer::ReadDataFile(Written(dir, "d.csv", c.bytes), c.maxRows, fromFile).end, c.end) << c.bytes;
  }
}

TEST(DataFileReader, ReadsNoFurtherThanTheRowsItStores) {
  TempDir dir;
  const std::string rows = NumberedRows(kMaxDataRows);
  std::string bytes = rows;
  while (bytes.size() < rows.size() + 20'000'000) bytes += "1,2,3\n";
  const int fd = ::open(Written(dir, "big.csv", bytes).c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  DataColumns out;
  EXPECT_EQ(viewer::ReadDataFast(fd, kMaxDataRows, {}, out).rows, kMaxDataRows);
  const off_t position = ::lseek(fd, 0, SEEK_CUR);
  ::close(fd);
  EXPECT_LE(static_cast<size_t>(position), rows.size() + 64 * 1024);
}

TEST(DataFileReader, AReadErrorEndsTheReadingAndIsTold) {
  TempDir dir;
  // A descriptor open for writing only: every read of it fails (EBADF), as a failing disk's would.
  const int fd = ::open(Written(dir, "d.csv", "1,2,3\n4,5,6\n").c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  for (bool fast : {true, false}) {
    DataColumns out;
    const viewer::DataReadResult r = fast ? viewer::ReadDataFast(fd, kMaxDataRows, {}, out)
                                          : viewer::ReferenceReadDescriptor(fd, kMaxDataRows, {}, out);
    EXPECT_EQ(r.end, viewer::DataReadEnd::ReadError) << fast;
    EXPECT_EQ(r.error, EBADF) << fast;
    EXPECT_NE(viewer::DescribeReading("p", "d.csv", r, "MAXROWS").find("broke off (Bad file descriptor)"),
              std::string::npos);
  }
  ::close(fd);
}

TEST(DataFileReader, AStopRequestEndsTheReadingBetweenWindowsWithTheRowsReadSoFar) {
  const std::string bytes = NumberedRows(20000);
  for (const unsigned threads : {1u, 2u}) {
    int asked = 0;
    DataColumns out;
    const viewer::DataReadResult result = viewer::ReadDataFast(bytes, kMaxDataRows, {}, out,
                                                               viewer::LoaderTuning{threads, 4096, 0, 64},
                                                               [&asked] { return ++asked > 3; });
    EXPECT_EQ(result.end, viewer::DataReadEnd::Stopped);
    ASSERT_GT(result.rows, 0u);
    ASSERT_LT(result.rows, 20000u);
    const std::vector<Row> rows = RowsOf(out);
    ASSERT_EQ(rows.size(), result.rows);
    EXPECT_EQ(rows.back(), (Row{double(rows.size()), rows.size() + 0.5, -double(rows.size())}))
        << "whole rows, in order";
  }
}

TEST(DataFileReader, FieldOfHundredCharactersEndsTheReading) {
  const std::string hundred = "1" + std::string(98, '0') + "5";  // the 100th character is dropped
  const std::vector<Row> rows = Read(hundred + ",2,3\n4,5,6\n");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (Row{1e98, 0, 0}));

  // In the y or z field: the row keeps what came before.
  EXPECT_EQ(Read("1," + hundred + ",3\n4,5,6\n"), (std::vector<Row>{{1, 1e98, 0}}));
  EXPECT_EQ(Read("1,2," + hundred + "\n4,5,6\n"), (std::vector<Row>{{1, 2, 1e98}}));

  // Ninety-nine characters and then the end character is still a whole field.
  const std::string ninetyNine = std::string(97, ' ') + "42";
  EXPECT_EQ(Read(ninetyNine + ",2,3\n4,5,6"), (std::vector<Row>{{42, 2, 3}, {4, 5, 6}, {0, 0, 0}}));
  EXPECT_EQ(Read("1,2," + ninetyNine + "\r\n4,5,6"), (std::vector<Row>{{1, 2, 42}, {4, 5, 6}, {0, 0, 0}}));
}

TEST(DataFileReader, PlainDecimalsOfEveryWidthAndPointPlaceReadAsTheirExactValues) {
  // Up to 17 digits, the point before, between and after them or absent, any sign; each field checked
  // bit for bit against the C library's correctly rounded conversion.
  std::mt19937_64 random(5);
  std::vector<std::string> fields;
  for (int digits = 1; digits <= 17; ++digits) {
    for (int point = -1; point <= digits; ++point) {
      for (const char* sign : {"", "-", "+"}) {
        std::string text = sign;
        for (int d = 0; d < digits; ++d) {
          if (d == point) text += '.';
          text += static_cast<char>('0' + random() % 10);
        }
        if (point == digits) text += '.';
        fields.push_back(text);
      }
    }
  }
  while (fields.size() % 3 != 0) fields.push_back("0");
  std::string file;
  for (std::size_t i = 0; i != fields.size(); i += 3) {
    file += fields[i] + "," + fields[i + 1] + "," + fields[i + 2] + (i % 2 ? "\r\n" : "\n");
  }
  const std::vector<Row> rows = Read(file);
  ASSERT_EQ(rows.size(), fields.size() / 3 + 1);  // and the row (0, 0, 0) after the last line end
  for (std::size_t i = 0; i != fields.size(); ++i) {
    const double expected = std::strtod(fields[i].c_str(), nullptr);
    EXPECT_EQ(std::bit_cast<uint64_t>(rows[i / 3][i % 3]), std::bit_cast<uint64_t>(expected)) << fields[i];
  }
}

TEST(DataFileReader, PathsThatDoNotOpenGiveNoRows) {
  TempDir dir;
  DataColumns out;
  out.x = {9};
  out.y = {9};
  out.z = {9};
  EXPECT_EQ(viewer::ReadDataFile(dir / "missing.csv", kMaxDataRows, out).rows, 0u);
  EXPECT_EQ(viewer::ReadDataFile(dir.Path(), kMaxDataRows, out).rows, 0u);
  EXPECT_EQ(viewer::ReadDataFile("", kMaxDataRows, out).rows, 0u);
  EXPECT_EQ(RowsOf(out), (std::vector<Row>{{9, 9, 9}}));
}

TEST(DataFileReader, RowsAreAppendedAfterWhatIsThere) {
  TempDir dir;
  DataColumns out;
  out.x = {9};
  out.y = {8};
  out.z = {7};
  EXPECT_EQ(viewer::ReadDataFile(Written(dir, "d.csv", "1,2,3"), kMaxDataRows, out).rows, 2u);
  EXPECT_EQ(RowsOf(out), (std::vector<Row>{{9, 8, 7}, {1, 2, 3}, {0, 0, 0}}));
}

// The shapes real files come in. Every case is read by both readers, whole and in small windows.
TEST(DataFileShapes, RealFileShapesReadAsTheirRows) {
  using Rows = std::vector<Row>;
  const std::string longLine(2000, '7');
  std::string wideRows, wideColumns;  // 15 values of 15 digits a row; 200 columns of 10 characters a line
  for (int row = 0; row != 2; ++row) {
    for (int column = 1; column <= 15; ++column) wideRows += std::to_string(100000000000000 + column) + ",";
    wideRows.back() = '\n';
    for (int column = 1; column <= 200; ++column) wideColumns += std::to_string(column) + ".000000,";
    wideColumns.back() = '\n';
  }
  const struct Case {
    const char* what;
    std::string bytes;
    viewer::ReadOptions options;
    Rows rows;
    std::string header;
    char separator;
    size_t unread, firstUnread;
    std::string unreadText;
  } cases[] = {
      {"byte order mark", "\xEF\xBB\xBF" "1,2,3\n4,5,6\n", {}, {{1, 2, 3}, {4, 5, 6}, {0, 0, 0}}, "", ',', 0, 0, ""},
      {"header", "x,y,z\n1,2,3\n", {}, {{1, 2, 3}, {0, 0, 0}}, "x,y,z", ',', 0, 0, ""},
      {"mark, header, CR LF", "\xEF\xBB\xBFlon,lat,h\r\n1,2,3\r\n", {}, {{1, 2, 3}, {0, 0, 0}}, "lon,lat,h", ',',
       0, 0, ""},
      {"header only", "x,y,z", {}, {{0, 0, 0}}, "x,y,z", ',', 0, 0, ""},
      {"row names", "\"\",\"x\",\"y\",\"z\",\"s\"\n\"1\",1.5,2,3,\"a\"\n\"2\",4,5,6,\"b\"\n", {},
       {{1.5, 2, 3}, {4, 5, 6}, {0, 0, 0}}, "\"\",\"x\",\"y\",\"z\",\"s\"", ',', 0, 0, ""},
      {"quoted numbers", "\"1\",\" 2\",\"-3e1\"\n", {}, {{1, 2, -30}, {0, 0, 0}}, "", ',', 0, 0, ""},
      {"no digit in a field", "1,2,3\n4,NA,6\n,,\n7,8,9\n", {}, {{1, 2, 3}, {7, 8, 9}, {0, 0, 0}}, "", ',', 2, 2,
       "4,NA,6"},
      {"wide rows", "a,b,c,d,e,f,g,h,i,j,k,l,m,n,o\n" + wideRows, {},
       {{1e14 + 1, 1e14 + 2, 1e14 + 3}, {1e14 + 1, 1e14 + 2, 1e14 + 3}, {0, 0, 0}},
       "a,b,c,d,e,f,g,h,i,j,k,l,m,n,o", ',', 0, 0, ""},
      {"lines longer than 1 KiB, columns asked for", wideColumns, {0, {150, 151, 152}},
       {{150, 151, 152}, {150, 151, 152}, {0, 0, 0}}, "", ',', 0, 0, ""},
      {"title, comments, header", "Lorenz attractor\n# dt 0.01\n\nx y z\n1 2 3\n# half way\n4 5 6\n", {},
       {{1, 2, 3}, {4, 5, 6}, {0, 0, 0}}, "x y z", ' ', 0, 0, ""},
      {"blank first line, tabs", "\n1\t2\t3\n4\t5\t6\n", {}, {{1, 2, 3}, {4, 5, 6}, {0, 0, 0}}, "", '\t', 0, 0, ""},
      {"one name fewer than fields, tabs", "lat\tlong\tdepth\tmag\n1\t-20.42\t181.62\t562\t4.8\n", {},
       {{-20.42, 181.62, 562}, {0, 0, 0}}, "lat\tlong\tdepth\tmag", '\t', 0, 0, ""},
      {"one name fewer than fields, spaces", "\"lat\" \"long\" \"depth\"\n\"1\" -20.42 181.62 562\n", {},
       {{-20.42, 181.62, 562}, {0, 0, 0}}, "\"lat\" \"long\" \"depth\"", ' ', 0, 0, ""},
      {"CR line ends only", "1,2,3\r4,5,6\r7,8,9", {}, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {0, 0, 0}}, "", ',', 0, 0,
       ""},
      {"CR line ends only, spaces", "x y z\r1 2 3\r4 5 6\r", {}, {{1, 2, 3}, {4, 5, 6}, {0, 0, 0}}, "x y z", ' ', 0,
       0, ""},
      {"tabs, no final line end", "1\t2\t3\n4\t5\t6", {}, {{1, 2, 3}, {4, 5, 6}, {0, 0, 0}}, "", '\t', 0, 0, ""},
      {"semicolons, decimal commas", "\"\";\"x\";\"y\";\"z\"\n\"1\";8,05;-21,97;7,88\n\"2\";1.5;2;3\n", {},
       {{8.05, -21.97, 7.88}, {1.5, 2, 3}, {0, 0, 0}}, "\"\";\"x\";\"y\";\"z\"", ';', 0, 0, ""},
      {"decimal commas and no header", "8,05;-21,97;7,88\n", {}, {{8.05, -21.97, 7.88}, {0, 0, 0}}, "", ';', 0, 0,
       ""},
      {"spaces, blank line, short row", "  1.5 2.5  3.5\n4 5 6 7\n\n8 9\n10 11 12\n", {},
       {{1.5, 2.5, 3.5}, {4, 5, 6}, {10, 11, 12}, {0, 0, 0}}, "", ' ', 1, 4, "8 9"},
      {"header in spaces, a word", "x y z\n1 2 3\nNA 2 3\n", {}, {{1, 2, 3}, {0, 0, 0}}, "x y z", ' ', 1, 3, "NA 2 3"},
      {"a long line of one field", "1\t2\t3\n" + longLine + "\n4\t5\t6\n", {}, {{1, 2, 3}, {4, 5, 6}, {0, 0, 0}}, "",
       '\t', 1, 2, longLine.substr(0, 60)},
      {"columns asked for", "1,2,3,4\n5,6,7,8\n", {0, {3, 1, 2}}, {{3, 1, 2}, {7, 5, 6}, {0, 0, 0}}, "", ',', 0, 0, ""},
      {"a column that is not there", "1,2,3\n5,6,7,8\n", {0, {4, 1, 2}}, {{8, 5, 6}, {0, 0, 0}}, "", ',', 1, 1,
       "1,2,3"},
      {"delimiter asked for", "1|2|3\n", {'|', {}}, {{1, 2, 3}, {0, 0, 0}}, "", '|', 0, 0, ""},
      {"a number too large", "1,2,3\n1e400,2,3\n", {}, {{1, 2, 3}, {0, 0, 0}}, "", ',', 1, 2, "1e400,2,3"},
      {"a number too large, by line", "1 2 3\n1 -1e999 3\n", {}, {{1, 2, 3}, {0, 0, 0}}, "", ' ', 1, 2, "1 -1e999 3"},
      {"comma asked for", "1;2;3\n", {',', {}}, {{0, 0, 0}}, "", ',', 1, 1, "1;2;3\n,,"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    viewer::DataReadResult result;
    EXPECT_EQ(Read(c.bytes, kMaxDataRows, c.options, &result), c.rows);
    EXPECT_EQ(result.shape.header, c.header);
    EXPECT_EQ(result.shape.separator, c.separator);
    EXPECT_EQ(result.unread.count, c.unread);
    EXPECT_EQ(result.unread.first, c.firstUnread);
    EXPECT_EQ(result.unread.text, c.unreadText);
  }
}

TEST(DataFileShapes, AColourColumnIsReadBesideTheRowsAndAMissingValueLeavesItsRowOut) {
  viewer::ReadOptions colourOf4;
  colourOf4.colourColumn = 4;
  viewer::DataReadResult result;
  EXPECT_EQ(Read("x y z m\n1 2 3 7\n4 5 6 NA\n7 8 9 9.5\n", kMaxDataRows, colourOf4, &result),
            (std::vector<Row>{{1, 2, 3}, {7, 8, 9}, {0, 0, 0}}));
  EXPECT_EQ(result.unread.first, 3u);
  EXPECT_EQ(viewer::ColumnNameOf(result.shape, 3), "m");
  DataColumns out;
  viewer::ReadDataFast(std::string("1,2,3,7\n4,5,6,8\n"), kMaxDataRows, colourOf4, out);
  EXPECT_EQ(out.colour, (std::vector<double>{7, 8, 0}));
}

TEST(DataFileShapes, EveryRowKnowsItsPlaceInTheFile) {
  const struct {
    std::string bytes;
    std::vector<size_t> fileRows;  // of the stored rows but the last
  } cases[] = {
      {"1,2,3\n4,5,6\n", {1, 2}},
      {"x,y,z\n1,2,3\nNA,5,6\n,,\n7,8,9\n", {2, 5}},
      {"# a\nTitle\n\nx y z\n1 2 3\n\n# b\nNA 1 2\n4 5 6\n", {5, 9}},
      {NumberedRows(3) + "x,y,z\n" + NumberedRows(2), {1, 2, 3, 5, 6}},
  };
  for (const auto& c : cases) {
    viewer::DataReadResult result;
    const std::vector<Row> rows = Read(c.bytes, kMaxDataRows, {}, &result);
    ASSERT_EQ(rows.size(), c.fileRows.size() + 1) << c.bytes;
    for (size_t i = 0; i != c.fileRows.size(); ++i) EXPECT_EQ(result.numbers.FileRow(i), c.fileRows[i]) << c.bytes;
  }
}

TEST(DataFileShapes, OneLineSaysWhatWasNotReadAsItStands) {
  const struct {
    std::string bytes;
    size_t maxRows;
    std::vector<std::string> said;  // empty: nothing is said
  } cases[] = {
      {"1,2,3\n4,5,6\n", kMaxDataRows, {}},
      {"x,y,z\n1,2,3\n", kMaxDataRows, {"prog: d.csv: header row (x,y,z) skipped\n"}},
      {"\"\",\"a\",\"b\",\"c\"\n\"1\",1,2,3\n", kMaxDataRows, {"first column names the rows"}},
      {"1\t2\t3\n", kMaxDataRows, {"fields separated by tabs"}},
      {"1;2;3\n", kMaxDataRows, {"separated by \";\", with decimal commas"}},
      {"1,2,3\n4,\x01x,6\n", kMaxDataRows,
       {"1 row could not be read as three numbers and was left out (the first, row 2: \"4,\\x01x,6\")"}},
      {"# scan\n# units m\nx y z\n1 2 3\n# end\n", kMaxDataRows,
       {"2 lines before the first row of numbers skipped (the first: \"# scan\")", "header row (x y z) skipped",
        "1 comment line (starting with #) skipped"}},
      {"a\tb\tc\n1\t2\t3\t4\n", kMaxDataRows, {"first column names the rows: columns 2, 3 and 4 are read"}},
      {"1 2 3\r4 5 6\r", kMaxDataRows, {"lines end with CR"}},
      {"1 2 3\n4 x 6\n4 y 6\n", kMaxDataRows, {"2 rows could not be read as three numbers and were left out"}},
      {"1,2,3\n4,5,6\n", 1, {"1 rows read, the rest of the file was not (LIMIT raises the limit)"}},
  };
  for (const auto& c : cases) {
    DataColumns out;
    const std::string said =
        viewer::DescribeReading("prog", "d.csv", viewer::ReadDataFast(c.bytes, c.maxRows, {}, out), "LIMIT");
    if (c.said.empty()) {
      EXPECT_EQ(said, "") << c.bytes;
    } else {
      EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line: " << said;
    }
    for (const std::string& part : c.said) EXPECT_NE(said.find(part), std::string::npos) << said;
  }
}

TEST(DataFileShapes, OptionsParseOrAreRefused) {
  char delimiter = 0;
  for (const auto& [text, expected] : std::vector<std::pair<std::string, char>>{
           {",", ','}, {";", ';'}, {"tab", '\t'}, {"\\t", '\t'}, {"space", ' '}, {" ", ' '}, {"|", '|'}}) {
    EXPECT_TRUE(viewer::ParseDelimiter(text, delimiter)) << text;
    EXPECT_EQ(delimiter, expected) << text;
  }
  for (const char* bad : {"", ",,", "1", ".", "-", "\"", "\n", "ab"})
    EXPECT_FALSE(viewer::ParseDelimiter(bad, delimiter)) << bad;
  std::array<int, 3> columns{};
  EXPECT_TRUE(viewer::ParseColumns("2,3,4", columns));
  EXPECT_EQ(columns, (std::array<int, 3>{2, 3, 4}));
  for (const char* bad : {"", "1,2", "1,2,3,4", "0,1,2", "1,2,x", "1, 2,3", "1,2,1001", "-1,2,3"}) {
    EXPECT_FALSE(viewer::ParseColumns(bad, columns)) << bad;
  }
}

TEST(DataNumber, AcceptsSignDigitsPointAndTheFourExponentLetters) {
  EXPECT_EQ(ConvertDataNumber("1.5e2"), 150.0);
  EXPECT_EQ(ConvertDataNumber("-3d1"), -30.0);
  EXPECT_EQ(ConvertDataNumber("+.5"), 0.5);
  EXPECT_EQ(ConvertDataNumber("   7"), 7.0);
  EXPECT_EQ(ConvertDataNumber(" \t\n\v\f\r8"), 8.0);
  EXPECT_EQ(ConvertDataNumber("2E3"), 2000.0);
  EXPECT_EQ(ConvertDataNumber("25D-1"), 2.5);
  EXPECT_EQ(ConvertDataNumber("5."), 5.0);
  EXPECT_EQ(ConvertDataNumber("1e+2"), 100.0);
  EXPECT_TRUE(std::signbit(ConvertDataNumber("-0")));
}

TEST(DataNumber, StopsAtTheFirstCharacterOutsideThePattern) {
  EXPECT_EQ(ConvertDataNumber("12abc"), 12.0);
  EXPECT_EQ(ConvertDataNumber("1.2.3"), 1.2);
  EXPECT_EQ(ConvertDataNumber("1e"), 1.0);
  EXPECT_EQ(ConvertDataNumber("1e+"), 1.0);
  EXPECT_EQ(ConvertDataNumber("1d-x"), 1.0);
  EXPECT_EQ(ConvertDataNumber("3,4"), 3.0);
  EXPECT_EQ(ConvertDataNumber("0x1A"), 0.0);
  EXPECT_EQ(ConvertDataNumber("1,5"), 1.0);  // never a decimal comma
}

TEST(DataNumber, TextWithoutDigitsIsZero) {
  for (const char* text : {"", "abc", "x", ".", "-", "+", "-.", " - 5", ".e5", "inf", "-inf", "nan",
                           "e5", "\n"}) {
    EXPECT_EQ(ConvertDataNumber(text), 0.0) << "text: " << text;
  }
}

TEST(DataNumber, ValuesAreCorrectlyRounded) {
  EXPECT_EQ(ConvertDataNumber("0.1"), 0.1);
  EXPECT_EQ(ConvertDataNumber("2.2250738585072011e-308"), 2.2250738585072011e-308);
  EXPECT_EQ(ConvertDataNumber("4.9e-324"), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(ConvertDataNumber("1e-400"), 0.0);
  EXPECT_EQ(ConvertDataNumber("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ConvertDataNumber("-1d400"), -std::numeric_limits<double>::infinity());
  std::string longest;  // the most digits a field can hold
  while (longest.size() < 99) longest += "7213948560";
  longest.resize(99);
  longest[40] = '.';
  EXPECT_EQ(ConvertDataNumber(longest), std::strtod(longest.c_str(), nullptr));

  // Random texts of every shape agree with the C library's conversion.
  std::mt19937_64 random(11);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    if (random() % 2) text += "-";
    const int intDigits = static_cast<int>(random() % 20);
    for (int d = 0; d < intDigits; ++d) text += static_cast<char>('0' + random() % 10);
    text += ".";
    const int fracDigits = 1 + static_cast<int>(random() % 20);
    for (int d = 0; d < fracDigits; ++d) text += static_cast<char>('0' + random() % 10);
    if (random() % 2) text.append("e").append(std::to_string(static_cast<int>(random() % 660) - 330));
    ASSERT_EQ(ConvertDataNumber(text), std::strtod(text.c_str(), nullptr)) << text;
  }
}

}  // namespace
