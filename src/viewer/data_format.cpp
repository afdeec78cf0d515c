// The format rules (the shape of the data, fields, lines, numbers) and the reference reader: one byte
// at a time through a small buffered source of our own, reading 64 KiB chunks and only as far as the
// rows need. It reads pipes and FIFOs, and the rows the fast reader leaves to it; the fast reader must
// give the same rows, and the differential fuzz target holds the two to that.
#include "viewer/data_format.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace viewer {
namespace {

constexpr char kCtrlZ = '\x1a';
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kChunkBytes = 64 * 1024;
constexpr int kWaitStepMs = 50;  // how long a stop request may wait while a writer is silent
constexpr std::size_t kNotedTextChars = 60;
// The line end a last row without one reads as.
constexpr char kLineFeed[] = "\n";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNumberSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }  // space, TAB, LF, VT, FF, CR
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// The bytes of the file as the text-mode reader sees them: a CR directly before an LF is dropped, a
// Ctrl-Z byte ends the data, and data that does not end with an LF gets one. Holds the eof/fail
// flags of an input stream.
class TextSource {
 public:
  // Reads from memory; the bytes must outlive the source.
  TextSource(const char* data, std::size_t size) : pos_(data), end_(data + size), finished_(true) {
    CutAtCtrlZ();
    NoteLastByte();
  }

  // Reads from an open descriptor, which the caller closes. A descriptor that is no plain file (a
  // pipe, a FIFO, a device) is non-blocking: the source waits for its bytes in short steps and asks
  // `stop` between them, so that the wait for a slow writer can be ended.
  TextSource(int fd, bool plainFile, const StopRequest& stop)
      : fd_(fd), plainFile_(plainFile), stop_(stop), chunk_(new char[kChunkBytes]) {
    pos_ = end_ = chunk_.get();
  }

  bool Good() const { return !eof_ && !fail_; }
  bool Eof() const { return eof_; }
  bool Stopped() const { return stopped_; }
  int ReadError() const { return readError_; }
  bool EndedByLongField() const { return longField_; }

  // Whether any byte of data is left unread (reads ahead when the chunk is used up).
  bool HasMore() { return pos_ != end_ || Fill(); }

  // The start of the data as it stands in the file (up to a first line end, or kShapeProbeBytes);
  // `whole` when nothing follows it. Valid until the next read.
  std::string_view Peek(bool& whole) {
    while (static_cast<std::size_t>(end_ - pos_) < kShapeProbeBytes &&
           (pos_ == end_ || !std::memchr(pos_, '\n', static_cast<std::size_t>(end_ - pos_))) && Fill()) {
    }
    const std::size_t size = std::min(static_cast<std::size_t>(end_ - pos_), kShapeProbeBytes);
    whole = finished_ && size == static_cast<std::size_t>(end_ - pos_);
    return {pos_, size};
  }
  // Passes over bytes that Peek showed.
  void Skip(std::size_t bytes) { pos_ += bytes; }

  // Takes one field ended by `endChar`. Its text is either read in place (valid until the next
  // read) or gathered into `text`, which has room for kMaxFieldChars.
  std::string_view ReadField(char endChar, char* text) {
    if (!Good()) {
      fail_ = true;
      return {};
    }
    // Most fields lie whole in the chunk with no CR in them: no copy needed.
    const std::size_t available = static_cast<std::size_t>(end_ - pos_);
    const char* const limit = pos_ + (available < kMaxFieldChars + 1 ? available : kMaxFieldChars + 1);
    for (const char* q = pos_; q != limit && *q != '\r'; ++q) {
      if (*q == endChar) {
        const std::string_view field(pos_, static_cast<std::size_t>(q - pos_));
        pos_ = q + 1;
        return field;
      }
    }
    std::size_t stored = 0;
    bool tookAny = false;
    for (int c; (c = Next()) >= 0;) {
      if (c == endChar) {
        Take();
        tookAny = true;
        break;
      }
      if (stored == kMaxFieldChars) {
        fail_ = true;  // the character stays unread; nothing more is read anyway
        longField_ = true;
        break;
      }
      text[stored++] = static_cast<char>(c);
      Take();
      tookAny = true;
    }
    if (!tookAny) fail_ = true;
    return {text, stored};
  }

  // Takes one line, without its line end, into `line` (at most kMaxLineChars + 1 characters are
  // kept; `tooLong` says there were more). False when no data is left.
  bool ReadLine(std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    int c = Next();
    if (c < 0) return false;
    for (; c >= 0 && c != '\n'; c = Next()) {
      if (line.size() <= kMaxLineChars) {
        line += static_cast<char>(c);
      } else {
        tooLong = true;
      }
      Take();
    }
    if (c == '\n') Take();
    return true;
  }

 private:
  // The next character as the reader sees it, not yet taken; -1 at the end of the data (which also
  // marks end of file). A CR directly before an LF is skipped here.
  int Next() {
    if (pos_ == end_ && !Fill() && !UseLineFeedAtEnd()) {
      eof_ = true;
      return -1;
    }
    if (*pos_ == '\r') {
      if (pos_ + 1 == end_ && !Fill()) {
        if (pendingLineFeed_) {
          pendingLineFeed_ = false;  // the CR and the line end the data lacked read as CR LF
          pos_ = kLineFeed;
          end_ = kLineFeed + 1;
        }
        return *pos_;
      }
      if (pos_[1] == '\n') ++pos_;  // CR LF reads as LF
    }
    return static_cast<unsigned char>(*pos_);
  }
  void Take() { ++pos_; }

  // At the end of data whose last byte is no LF, the LF it lacks; true when that was given.
  bool UseLineFeedAtEnd() {
    if (!pendingLineFeed_) return false;
    pendingLineFeed_ = false;
    pos_ = kLineFeed;
    end_ = kLineFeed + 1;
    return true;
  }

  // Moves the unread bytes to the front of the chunk and reads more after them. False when no new
  // byte arrived (end of file, a read error, or a Ctrl-Z at or before the first new byte).
  bool Fill() {
    if (finished_) return false;
    std::size_t keep = static_cast<std::size_t>(end_ - pos_);
    char* base = chunk_.get();
    if (keep != 0 && pos_ != base) std::memmove(base, pos_, keep);
    pos_ = base;
    end_ = base + keep;
    ssize_t got;
    do {
      if (!plainFile_ && !WaitForBytes()) {
        got = 0;
        break;
      }
      got = ::read(fd_, base + keep, kChunkBytes - keep);
    } while (got < 0 && (errno == EINTR || errno == EAGAIN));
    if (got <= 0) {
      if (got < 0) readError_ = errno;
      finished_ = true;  // a read error ends the data, and is told
      NoteLastByte();
      return false;
    }
    end_ += got;
    CutAtCtrlZ();
    NoteLastByte();
    return end_ - pos_ > static_cast<std::ptrdiff_t>(keep);
  }

  // False when asked to stop before anything arrived.
  bool WaitForBytes() {
    for (;;) {
      pollfd wait{fd_, POLLIN, 0};
      if (::poll(&wait, 1, kWaitStepMs) != 0) return true;  // bytes, the writer's end, or an error
      if (stop_ && stop_()) {
        stopped_ = true;
        return false;
      }
    }
  }

  // Nothing from a Ctrl-Z byte on is data.
  void CutAtCtrlZ() {
    if (pos_ == end_) return;
    if (const void* z = std::memchr(pos_, kCtrlZ, static_cast<std::size_t>(end_ - pos_))) {
      end_ = static_cast<const char*>(z);
      finished_ = true;
    }
  }

  // Remembers the last byte of the data so far; once the data is finished, whether it lacks an LF.
  void NoteLastByte() {
    if (pos_ != end_) {
      last_ = end_[-1];
      sawData_ = true;
    }
    if (finished_ && !lastSettled_) {
      lastSettled_ = true;
      pendingLineFeed_ = sawData_ && last_ != '\n';
    }
  }

  int fd_ = -1;
  bool plainFile_ = true;
  StopRequest stop_;
  std::unique_ptr<char[]> chunk_;
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  bool finished_ = false;  // no more bytes will arrive
  char last_ = 0;          // the last byte of the data so far
  bool sawData_ = false;
  bool lastSettled_ = false;
  bool pendingLineFeed_ = false;
  bool eof_ = false;
  bool fail_ = false;
  bool longField_ = false;
  bool stopped_ = false;
  int readError_ = 0;
};

// The text of a row as noted: CR LF as LF, cut to a readable length.
std::string NotedText(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size() && out.size() < kNotedTextChars; ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  }
  return out;
}

// Field by field: every pass appends all three values, even when the stream failed in between.
DataReadResult ReadFieldRows(TextSource& source, std::size_t rowsBefore, std::size_t maxRows, DataColumns& out) {
  char text[3][kMaxFieldChars + 1];
  DataReadResult result;
  std::size_t row = rowsBefore;
  while (source.Good() && result.rows < maxRows) {
    std::string_view field[3];
    bool number[3];
    double* const values[3] = {&out.x.emplace_back(), &out.y.emplace_back(), &out.z.emplace_back()};
    for (int i = 0; i != 3; ++i) {
      field[i] = source.ReadField(i == 2 ? '\n' : ',', text[i]);
      if (!field[i].empty() && field[i].data() != text[i]) {  // read in place: keep it past the next read
        std::memcpy(text[i], field[i].data(), field[i].size());
        field[i] = {text[i], field[i].size()};
      }
      *values[i] = ConvertDataNumber(field[i], false, &number[i]);
    }
    ++result.rows;
    ++row;
    // The row the end of the data leaves with nothing in it is no row of the file's.
    const bool endRow = source.Eof() && IsBlankLine(field[0]) && IsBlankLine(field[1]) && IsBlankLine(field[2]);
    // A row the long field ended is told of as such.
    if (!(number[0] && number[1] && number[2]) && !endRow && !source.EndedByLongField()) {
      result.unread.Note(row, std::string(field[0]) + ',' + std::string(field[1]) + ',' + std::string(field[2]));
    }
  }
  if (source.EndedByLongField()) {
    result.end = DataReadEnd::LongField;
  } else if (source.Good() && source.HasMore()) {
    result.end = DataReadEnd::RowLimit;
  }
  return result;
}

// Line by line: blank lines are passed over, a line without three numbers in its columns is left
// out, and every other line counts towards the limit. When the data ends below the limit, one more
// row (0, 0, 0) is stored, as after a comma file's last line end, so every row of the file is drawn.
DataReadResult ReadLineRows(TextSource& source, const DataShape& shape, std::size_t rowsBefore,
                            std::size_t maxRows, DataColumns& out) {
  DataReadResult result;
  std::string line;
  bool tooLong = false;
  std::size_t counted = 0, row = rowsBefore;
  while (counted < maxRows) {
    if (!source.ReadLine(line, tooLong)) {
      out.x.push_back(0.0);
      out.y.push_back(0.0);
      out.z.push_back(0.0);
      ++result.rows;
      return result;
    }
    ++row;
    if (!tooLong && IsBlankLine(line)) continue;
    ++counted;
    std::string_view fields[3];
    double values[3];
    bool number[3] = {};
    if (!tooLong && SplitLine(line, shape, fields)) {
      for (int i = 0; i != 3; ++i) values[i] = ConvertDataNumber(fields[i], shape.decimalComma, &number[i]);
    }
    if (number[0] && number[1] && number[2]) {
      out.x.push_back(values[0]);
      out.y.push_back(values[1]);
      out.z.push_back(values[2]);
      ++result.rows;
    } else {
      result.unread.Note(row, line);
    }
  }
  if (source.HasMore()) result.end = DataReadEnd::RowLimit;
  return result;
}

DataReadResult ReadRowsInShape(TextSource& source, const DataShape& shape, std::size_t rowsBefore,
                               std::size_t maxRows, DataColumns& out) {
  const std::size_t before = out.x.size();
  DataReadResult result;
  try {
    result = shape.FieldByField() ? ReadFieldRows(source, rowsBefore, maxRows, out)
                                  : ReadLineRows(source, shape, rowsBefore, maxRows, out);
  } catch (const std::bad_alloc&) {
    KeepWholeRows(out);
    result.end = DataReadEnd::OutOfMemory;
    result.rows = out.x.size() - before;
  }
  if (result.end == DataReadEnd::Whole && source.Stopped()) result.end = DataReadEnd::Stopped;
  if (result.end == DataReadEnd::Whole && source.ReadError() != 0) {
    result.end = DataReadEnd::ReadError;
    result.error = source.ReadError();
  }
  result.shape = shape;
  return result;
}

DataReadResult ReadFromStart(TextSource& source, std::size_t maxRows, const ReadOptions& options,
                             DataColumns& out) {
  bool whole = false;
  const std::string_view start = source.Peek(whole);  // before `whole` is read
  const DataShape shape = ShapeOf(start, whole, options);
  source.Skip(shape.skipBytes);
  return ReadRowsInShape(source, shape, shape.HeaderRows(), maxRows, out);
}

// The rare texts std::from_chars reports out of range (overflow to infinity, underflow towards
// zero) go to strtod in the C locale, which rounds them the same correct way.
double ConvertOutOfRange(const char* begin, const char* end) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  std::string copy(begin, end);
  return strtod_l(copy.c_str(), nullptr, cLocale);
}

// Where a number that ends its digits at `p` ends: after its exponent when the exponent's letter (e, E,
// d, D) is followed by digits ("1e" and "1e+" read as 1), with `letter` set to it; else at `p`.
inline const char* ExponentEnd(const char* p, const char* end, const char*& letter) {
  if (p == end || !(*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D')) return p;
  const char* q = p + 1;
  if (q != end && (*q == '+' || *q == '-')) ++q;
  const char* const exponentDigits = q;
  while (q != end && IsDigit(*q)) ++q;
  if (q == exponentDigits) return p;
  letter = p;
  return q;
}

// The unsigned number in [first, last), whose decimal mark is `point` and exponent letter `letter`
// (either may be null). from_chars knows only "." and "e": other marks are copied with those in their
// place.
inline double ParseNumberText(const char* first, const char* last, const char* point, const char* letter) {
  const std::size_t length = static_cast<std::size_t>(last - first);
  char shortCopy[kMaxFieldChars + 1];
  std::string longCopy;
  const char* text = first;
  if ((point && *point == ',') || (letter && (*letter | 0x20) == 'd')) {
    char* copy = shortCopy;
    if (length > sizeof shortCopy) {
      longCopy.assign(first, last);
      copy = longCopy.data();
    } else {
      std::memcpy(copy, first, length);
    }
    if (point) copy[point - first] = '.';
    if (letter) copy[letter - first] = 'e';
    text = copy;
  }
  double value = 0.0;
  const auto result = std::from_chars(text, text + length, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) value = ConvertOutOfRange(text, text + length);
  return value;
}

}  // namespace

bool ParseDelimiter(std::string_view text, char& out) {
  if (text == "tab" || text == "\\t" || text == "\t") {
    out = '\t';
  } else if (text == "space" || text == " ") {
    out = ' ';
  } else if (text.size() == 1 && text[0] > ' ' && text[0] < 0x7f && !IsDigit(text[0]) &&
             std::string_view("+-.\"").find(text[0]) == std::string_view::npos) {
    out = text[0];
  } else {
    return false;
  }
  return true;
}

bool ParseColumns(std::string_view text, std::array<int, 3>& out) {
  std::array<int, 3> columns{};
  const char* p = text.data();
  const char* const end = p + text.size();
  for (int i = 0; i != 3; ++i) {
    if (i != 0 && (p == end || *p++ != ',')) return false;
    const auto [next, ec] = std::from_chars(p, end, columns[i]);
    if (ec != std::errc() || next == p || columns[i] < 1 || columns[i] > kMostColumns) return false;
    p = next;
  }
  if (p != end) return false;
  out = columns;
  return true;
}

void UnreadRows::Note(std::size_t row, std::string_view rowText) {
  if (count++ == 0 || row < first) {
    first = row;
    try {
      text = NotedText(rowText);
    } catch (const std::bad_alloc&) {
      text.clear();  // the count and the row number still tell; the conversion jobs must not throw
    }
  }
}

void UnreadRows::Add(const UnreadRows& later) {
  if (later.count == 0) return;
  const std::size_t before = count;
  if (before == 0 || later.first < first) {
    first = later.first;
    try {
      text = later.text;
    } catch (const std::bad_alloc&) {
      text.clear();
    }
  }
  count = before + later.count;
}

DataShape ShapeOf(std::string_view start, bool wholeData, const ReadOptions& options) {
  DataShape shape;
  start = start.substr(0, kShapeProbeBytes);
  if (const std::size_t z = start.find(kCtrlZ); z != std::string_view::npos) {
    start = start.substr(0, z);
    wholeData = true;
  }
  if (start.substr(0, kByteOrderMark.size()) == kByteOrderMark) shape.skipBytes = kByteOrderMark.size();
  const std::size_t lineEnd = start.find('\n', shape.skipBytes);
  // Only a first row seen whole can be a header; the fast reader sees no more than the probe.
  const bool complete =
      lineEnd != std::string_view::npos || (wholeData && start.size() < kShapeProbeBytes);
  const std::string_view firstRow = WithoutLineEnd(start.substr(shape.skipBytes, lineEnd - shape.skipBytes));

  if (options.delimiter != 0) {
    shape.separator = options.delimiter;
  } else if (firstRow.find(',') == std::string_view::npos) {
    for (const char candidate : {'\t', ';', ' '}) {
      if (firstRow.find(candidate) != std::string_view::npos) {
        shape.separator = candidate;
        shape.separatorGuessed = true;
        break;
      }
    }
  }
  shape.decimalComma = shape.separator == ';';

  // A first row with no digit anywhere, but a name in it, is a header (a row of separators, blanks
  // and quotes names nothing).
  const auto naming = [&shape](char c) { return c != shape.separator && c != '"' && !IsNumberSpace(c); };
  if (complete && std::find_if(firstRow.begin(), firstRow.end(), naming) != firstRow.end() &&
      std::find_if(firstRow.begin(), firstRow.end(), IsDigit) == firstRow.end()) {
    shape.header = firstRow;
    shape.skipBytes = lineEnd == std::string_view::npos ? start.size() : lineEnd + 1;
    DataShape asHeader = shape;
    asHeader.columns = {0, 0, 0};
    std::string_view name[3];
    if (SplitLine(firstRow, asHeader, name)) {
      std::string_view first = name[0];
      while (!first.empty() && IsNumberSpace(first.front())) first.remove_prefix(1);
      while (!first.empty() && IsNumberSpace(first.back())) first.remove_suffix(1);
      shape.rowNames = first.empty() || first == "\"\"";
    }
  }
  if (options.columns[0] != 0) {
    for (int i = 0; i != 3; ++i) shape.columns[i] = options.columns[i] - 1;
  } else if (shape.rowNames) {
    shape.columns = {1, 2, 3};
  }
  return shape;
}

double ConvertDataNumber(std::string_view text, bool decimalComma, bool* number) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p != end && IsNumberSpace(*p)) ++p;
  if (p != end && *p == '"') {
    ++p;
    while (p != end && IsNumberSpace(*p)) ++p;
  }
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  const char* const mantissa = p;
  std::size_t digits = 0;
  const char* point = nullptr;
  for (; p != end; ++p) {
    if (IsDigit(*p)) {
      ++digits;
    } else if (!point && (*p == '.' || (decimalComma && *p == ','))) {
      point = p;
    } else {
      break;
    }
  }
  if (number) *number = digits != 0;
  if (digits == 0) return 0.0;
  const char* exponentLetter = nullptr;
  const char* const accepted = ExponentEnd(p, end, exponentLetter);
  const double magnitude = ParseNumberText(mantissa, accepted, point, exponentLetter);
  const double value = negative ? -magnitude : magnitude;
  if (number && !std::isfinite(value)) *number = false;
  return value;
}

bool SplitLine(std::string_view line, const DataShape& shape, std::string_view fields[3]) {
  const int needed = std::max({shape.columns[0], shape.columns[1], shape.columns[2]});
  std::size_t pos = 0;
  for (int column = 0; column <= needed; ++column) {
    std::size_t fieldEnd;
    if (shape.separator == ' ') {
      while (pos < line.size() && IsBlank(line[pos])) ++pos;
      if (pos >= line.size()) return false;
      fieldEnd = pos;
      while (fieldEnd < line.size() && !IsBlank(line[fieldEnd])) ++fieldEnd;
    } else {
      if (pos > line.size()) return false;
      fieldEnd = std::min(line.find(shape.separator, pos), line.size());
    }
    for (int i = 0; i != 3; ++i) {
      if (shape.columns[i] == column) fields[i] = line.substr(pos, fieldEnd - pos);
    }
    pos = fieldEnd + 1;
  }
  return true;
}

void KeepWholeRows(DataColumns& out) {
  const std::size_t rows = std::min({out.x.size(), out.y.size(), out.z.size()});
  out.x.resize(rows);
  out.y.resize(rows);
  out.z.resize(rows);
}

bool IsBlankLine(std::string_view line) {
  for (const char c : line) {
    if (!IsNumberSpace(c)) return false;
  }
  return true;
}

DataReadResult ReferenceReadDescriptor(int fd, std::size_t maxRows, const ReadOptions& options, DataColumns& out,
                                       const StopRequest& stop) {
  TextSource source(fd, false, stop);
  return ReadFromStart(source, maxRows, options, out);
}

DataReadResult ReferenceReadBuffer(std::string_view bytes, std::size_t maxRows, const ReadOptions& options,
                                   DataColumns& out) {
  TextSource source(bytes.data(), bytes.size());
  return ReadFromStart(source, maxRows, options, out);
}

DataReadResult ReferenceReadOn(int fd, const DataShape& shape, std::size_t rowsBefore, std::size_t maxRows,
                               DataColumns& out) {
  TextSource source(fd, true, StopRequest());
  return ReadRowsInShape(source, shape, rowsBefore, maxRows, out);
}

DataReadResult ReferenceReadOn(std::string_view bytes, const DataShape& shape, std::size_t rowsBefore,
                               std::size_t maxRows, DataColumns& out) {
  TextSource source(bytes.data(), bytes.size());
  return ReadRowsInShape(source, shape, rowsBefore, maxRows, out);
}

}  // namespace viewer
