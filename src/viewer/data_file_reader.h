// Reads the viewer's data file: rows of three numbers "x,y,z" ended by a line feed, read field by
// field with the fixed quirks the viewer has always had (see README.md beside this file). The scene's
// LoadData calls ReadDataFile; ReadDataBuffer reads the same format from memory (tests, fuzzing).
// Plain files and memory go through the two-thread reader (parallel_data_reader.h); pipes, and the
// rows that reader leaves to it, through the one-byte-at-a-time reference reader here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
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

// A field keeps at most this many characters; one more ends the reading.
inline constexpr std::size_t kMaxFieldChars = 99;

// The three coordinate sequences; entry i of each belongs to stored row i, in file order.
struct DataColumns {
  std::vector<double> x, y, z;
};

// Why a reading ended, so that the caller can say when rows were left out.
enum class DataReadEnd {
  Whole,      // the data ended (or a field ended it with nothing in it): nothing was left out
  RowLimit,   // the row limit was reached with more of the data left
  LongField,  // a field of 100 or more characters ended the reading; its row is the last stored
};

struct DataReadResult {
  std::size_t rows = 0;  // rows appended
  DataReadEnd end = DataReadEnd::Whole;
};

// Asked while a pipe, FIFO or device has nothing to read yet; true ends the reading there, with the
// rows read so far. An empty one never stops.
using StopRequest = std::function<bool()>;

// Appends the rows of the file at `path` to x, y and z (all three always grow together), reading at
// most `maxRows` rows in this call. A file that does not open, or a directory, appends nothing.
// Returns the number of rows appended and why the reading ended.
DataReadResult ReadDataFile(const std::string& path, std::size_t maxRows, std::vector<double>& x,
                            std::vector<double>& y, std::vector<double>& z, const StopRequest& stop = {});
DataReadResult ReadDataFile(const std::string& path, std::size_t maxRows, DataColumns& out,
                            const StopRequest& stop = {});

// Whether the data file at `path` opens for reading now (without waiting on a FIFO's writer) and is
// no folder; when not, `why` (if given) says why in a few words.
bool CanReadDataFile(const std::string& path, std::string* why = nullptr);

// Whether `path` is a plain file (after links), which is read at once; anything else may keep a
// reader waiting on its writer.
bool IsPlainFile(const std::string& path);

// The same reading from an open descriptor of a plain file, from its current position, left open.
DataReadResult ReadDataDescriptor(int fd, std::size_t maxRows, DataColumns& out);

// The same reading over bytes already in memory, as if they were the file's contents.
DataReadResult ReadDataBuffer(std::string_view bytes, std::size_t maxRows, DataColumns& out);

// The reference reader: the same rows, one byte at a time on the calling thread. The two-thread
// reader hands it whatever is not a plain row (the end of the data, long fields), and the
// differential fuzz target holds the two to the same rows, bit for bit. The descriptor is read from
// its current position, and left positioned after the bytes taken in (at most one 64 KiB chunk past
// the last row stored).
DataReadResult ReferenceReadDescriptor(int fd, std::size_t maxRows, std::vector<double>& x,
                                       std::vector<double>& y, std::vector<double>& z);
DataReadResult ReferenceReadBuffer(std::string_view bytes, std::size_t maxRows, std::vector<double>& x,
                                   std::vector<double>& y, std::vector<double>& z);

// One field's text to a number: leading white space (space, TAB, LF, VT, FF, CR), an optional sign,
// digits with at most one ".", an optional exponent introduced by e, E, d or D. Conversion stops at the
// first character outside that pattern; no digits gives 0.0. The value is the correctly rounded double
// of the accepted text; "." is the decimal point whatever the locale.
double ConvertDataNumber(std::string_view text);

}  // namespace viewer
