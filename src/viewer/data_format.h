// The data file's format and its reference reader. A comma file is read field by field with the
// quirks the viewer has always had (see README.md beside this file); a file whose first row holds no
// comma, or one read with another delimiter or other columns, is read line by line. Both readings
// skip a UTF-8 byte order mark and the lines before the first row of numbers (titles, comments, a
// header), leave out rows without three numbers, read a last row without a line end as if it had
// one, and read a field in double quotes without them. The reference reader here takes one byte at a
// time; the fast reader (fast_data_reader.h) must give the same rows, bit for bit. Paired with
// data_format.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace viewer {

// The most rows a data file contributes unless MAXROWS or --max-rows says otherwise; the rest of the
// file is never read.
inline constexpr std::size_t kMaxDataRows = 150000;

// The row limit a MAXROWS value (or --max-rows) asks for: a positive value is the limit, anything
// else keeps kMaxDataRows.
inline std::size_t RowLimitFromSetting(int64_t value) {
  return value > 0 ? static_cast<std::size_t>(value) : kMaxDataRows;
}

// A field read field by field keeps at most this many characters; one more ends the reading. The
// fields a wide row carries after its third are passed over and do not count.
inline constexpr std::size_t kMaxFieldChars = 99;
// A line read line by line that is longer than this (1 MiB) is a row that cannot be read.
inline constexpr std::size_t kMaxLineChars = std::size_t{1} << 20;
// The first row (and a header) is looked for in this many bytes at the start of the data.
inline constexpr std::size_t kShapeProbeBytes = 64 * 1024;

// The three coordinate sequences; entry i of each belongs to stored row i, in file order. `colour`
// holds a fourth column's values when the reading was asked for one (ReadOptions::colourColumn), else
// it stays empty.
struct DataColumns {
  std::vector<double> x, y, z, colour;
};

// What the user asked of the reading (DELIMITER and COLUMNS, --delimiter and --columns).
struct ReadOptions {
  char delimiter = 0;             // 0: a comma unless the first row holds none; ' ': runs of blanks
  std::array<int, 3> columns{};   // 1-based columns for x, y and z; all 0: the first three
  int colourColumn = 0;           // 1-based column whose values colour the rows; 0: none
  bool operator==(const ReadOptions&) const = default;
};

// "," ";" "|" any one printable byte, "tab" or "\t", "space" or " " (runs of spaces and tabs).
bool ParseDelimiter(std::string_view text, char& out);
// "I,J,K": three 1-based column numbers, each at most kMostColumns.
bool ParseColumns(std::string_view text, std::array<int, 3>& out);
inline constexpr int kMostColumns = 1000;

// How the data is laid out, judged once from its first row of numbers and the lines before it.
struct DataShape {
  std::size_t skipBytes = 0;    // a byte order mark and the lines before the first row of data
  std::size_t leadRows = 0;     // those lines, blank ones included
  std::string header;           // the last of them that names something ("" when there is none)
  std::size_t skippedLines = 0; // the others that are not blank: titles, # comments
  std::string firstSkipped;     // the first of those
  char separator = ',';         // ' ': runs of spaces and tabs
  char lineEnd = '\n';          // '\r' in data with no LF at all
  bool separatorGuessed = false;// not the comma
  bool decimalComma = false;    // with ";", a comma inside a field is the decimal mark
  bool rowNames = false;        // the header's first field is empty, or it has one name fewer than the
                                // rows have fields (shortHeader): the first column names the rows
  bool shortHeader = false;
  std::array<int, 3> columns{0, 1, 2};  // 0-based
  int colourColumn = -1;                // 0-based; -1: none

  // A comma file of the first three columns alone is read field by field, as it always was.
  bool FieldByField() const {
    return separator == ',' && columns == std::array<int, 3>{0, 1, 2} && colourColumn < 0;
  }
  // Rows are numbered from the file's first line: the lines before the data come first.
  std::size_t RowsBefore() const { return leadRows; }
};

// The shape of data that starts with `start` (the first kShapeProbeBytes bytes or fewer; `wholeData`
// when nothing follows them).
DataShape ShapeOf(std::string_view start, bool wholeData, const ReadOptions& options);

// Why a reading ended, so that the caller can say when rows were left out.
enum class DataReadEnd {
  Whole,      // the data ended (or a field ended it with nothing in it): nothing was left out
  RowLimit,   // the row limit was reached with more of the data left
  LongField,  // a field of 100 or more characters ended the reading; its row is the last stored
  OutOfMemory,  // the columns could not grow: the rows read until then are kept, the rest is not read
  Stopped,    // asked to stop (the run is ending): the rows read until then are kept
  ReadError,  // reading the data failed (DataReadResult::error): the rows read until then are kept
};

// Rows that could not be read as three numbers (a field without digits, or a number too large for a
// double): they are left out.
struct UnreadRows {
  std::size_t count = 0;
  std::size_t first = 0;  // the first one's row number, counting every row of the file from 1
  std::string text;       // and its text, cut to a readable length

  // `asInFile`: the row's bytes as the file has them, whose CR LF reads as LF; else as read already.
  void Note(std::size_t row, std::string_view rowText, bool asInFile = true);
  void Add(const UnreadRows& later);
};

// Where the rows a reading appended stand in the file. Row i of them (counting from 0) is the file's
// row FileRow(i), counting every line (or, field by field, every pass) from 1, the lines before the
// data included: rows left out, blank lines and comments move the rows after them.
struct RowNumbers {
  std::size_t rowsBefore = 0;  // the lines before the data
  // (row, rows of the file passed over before it in all), in order, one where that count changes.
  std::vector<std::pair<std::size_t, std::size_t>> passedOver;

  std::size_t FileRow(std::size_t row) const;
  // Notes that `row` comes after `passed` rows of the file passed over in all (kept only if new).
  void Note(std::size_t row, std::size_t passed);
  bool operator==(const RowNumbers&) const = default;
};

struct DataReadResult {
  std::size_t rows = 0;  // rows appended
  RowNumbers numbers;    // where they stand in the file
  DataReadEnd end = DataReadEnd::Whole;
  int error = 0;  // the errno of a ReadError
  std::size_t comments = 0;  // lines starting with "#" after the first row, passed over line by line
  DataShape shape;
  UnreadRows unread;
};

// Asked while a pipe, FIFO or device has nothing to read yet, before each 64 KiB read, and between
// the windows of a plain file; true ends the reading there, with the rows read so far. An empty one
// never stops.
using StopRequest = std::function<bool()>;

// The reference reader: appends at most `maxRows` rows to `out`. A descriptor (a pipe, a FIFO, a
// device) is read from its current position, waiting for its writer in short steps and asking `stop`
// between them.
DataReadResult ReferenceReadDescriptor(int fd, std::size_t maxRows, const ReadOptions& options, DataColumns& out,
                                       const StopRequest& stop = {});
DataReadResult ReferenceReadBuffer(std::string_view bytes, std::size_t maxRows, const ReadOptions& options,
                                   DataColumns& out);

// Where the fast reader hands over: the reference reads on from the start of a row, in a data shape
// already judged; `rowsBefore` is the row number of the row before (for UnreadRows).
DataReadResult ReferenceReadOn(int fd, const DataShape& shape, std::size_t rowsBefore, std::size_t maxRows,
                               DataColumns& out, const StopRequest& stop = {});
DataReadResult ReferenceReadOn(std::string_view bytes, const DataShape& shape, std::size_t rowsBefore,
                               std::size_t maxRows, DataColumns& out);

// The name the header gives the column read as x, y or z (`axis` 0, 1 or 2) or the colour column (3),
// without its quotes and blanks; "x", "y", "z" or "column K" when there is no header or it names none.
std::string ColumnNameOf(const DataShape& shape, int axis);

// One field's text to a number: leading white space (space, TAB, LF, VT, FF, CR) and one double
// quote skipped, an optional sign, digits with at most one decimal mark, an optional exponent
// introduced by e, E, d or D. Conversion stops at the first character outside that pattern. The value
// is the correctly rounded double of the accepted text; the decimal mark is "." whatever the locale,
// or "," in a file of decimal commas. `number` (if given) says whether the text held a number that a
// double holds: without a digit the value is 0.0; beyond the doubles' range it is infinite.
double ConvertDataNumber(std::string_view text, bool decimalComma = false, bool* number = nullptr);

// The three chosen fields of one line (without its line end) in `shape`, and with `colour` given the
// colour column's; false when the line has fewer fields than the columns need.
bool SplitLine(std::string_view line, const DataShape& shape, std::string_view fields[3],
               std::string_view* colour = nullptr);

// Whether a line holds nothing but blanks (it is skipped, not counted).
bool IsBlankLine(std::string_view line);
// Line by line, a blank line and a comment (its first byte past the blanks is "#") are passed over.
enum class LineKind { Row, Blank, Comment };
LineKind KindOfLine(std::string_view line);

// After an allocation failed part way through a row: the columns cut to the rows all of them hold
// (the colour column too, when `colour`).
void KeepWholeRows(DataColumns& out, bool colour);

}  // namespace viewer
