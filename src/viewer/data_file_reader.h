// Reads the viewer's data file: rows of three numbers "x,y,z" ended by a line feed, read field by
// field with the fixed quirks the viewer has always had (see README.md beside this file). The scene's
// LoadData calls ReadDataFile; ReadDataBuffer reads the same format from memory (tests, fuzzing).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace viewer {

// The most rows a data file contributes; the rest of the file is never read.
inline constexpr std::size_t kMaxDataRows = 150000;

// A field keeps at most this many characters; one more ends the reading.
inline constexpr std::size_t kMaxFieldChars = 99;

// The three coordinate sequences; entry i of each belongs to stored row i, in file order.
struct DataColumns {
  std::vector<double> x, y, z;
};

// Asked while a pipe, FIFO or device has nothing to read yet; true ends the reading there, with the
// rows read so far. An empty one never stops.
using StopRequest = std::function<bool()>;

// Appends the rows of the file at `path` to x, y and z (all three always grow together), reading at
// most `maxRows` rows in this call. A file that does not open, or a directory, appends nothing.
// Returns the number of rows appended.
std::size_t ReadDataFile(const std::string& path, std::size_t maxRows, std::vector<double>& x,
                         std::vector<double>& y, std::vector<double>& z, const StopRequest& stop = {});
std::size_t ReadDataFile(const std::string& path, std::size_t maxRows, DataColumns& out,
                         const StopRequest& stop = {});

// Whether the data file at `path` opens for reading now (without waiting on a FIFO's writer) and is
// no folder; when not, `why` (if given) says why in a few words.
bool CanReadDataFile(const std::string& path, std::string* why = nullptr);

// Whether `path` is a plain file (after links), which is read at once; anything else may keep a
// reader waiting on its writer.
bool IsPlainFile(const std::string& path);

// The same reading from an open descriptor of a plain file, left open and positioned after the bytes taken in
// (at most one read chunk past the last row stored).
std::size_t ReadDataDescriptor(int fd, std::size_t maxRows, DataColumns& out);

// The same reading over bytes already in memory, as if they were the file's contents.
std::size_t ReadDataBuffer(std::string_view bytes, std::size_t maxRows, DataColumns& out);

// One field's text to a number: leading white space (space, TAB, LF, VT, FF, CR), an optional sign,
// digits with at most one ".", an optional exponent introduced by e, E, d or D. Conversion stops at the
// first character outside that pattern; no digits gives 0.0. The value is the correctly rounded double
// of the accepted text; "." is the decimal point whatever the locale.
double ConvertDataNumber(std::string_view text);

}  // namespace viewer
