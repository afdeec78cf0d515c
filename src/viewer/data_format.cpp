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

#include <utility>
#include <vector>

namespace viewer {
namespace {

constexpr char kCtrlZ = '\x1a';
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kChunkBytes = 64 * 1024;
constexpr int kWaitStepMs = 50;  // how long a stop request may wait while a writer is silent
constexpr std::size_t kNotedTextChars = 60;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNumberSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }  // space, TAB, LF, VT, FF, CR
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A line without the CR of a CR LF.
std::string_view WithoutLineEnd(std::string_view line, char lineEnd) {
  if (lineEnd == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// The bytes of the file as the text-mode reader sees them: a CR directly before an LF is dropped, a
// Ctrl-Z byte ends the data, and data that does not end with a line end gets one. Lines end with LF,
// or with CR in data that has no LF (SetLineEnd); then every byte else is an ordinary character.
// Holds the eof/fail flags of an input stream.
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

  // The start of the data as it stands in the file (kShapeProbeBytes, or less when the data ends
  // first); `whole` when nothing follows it. Valid until the next read.
  std::string_view Peek(bool& whole) {
    while (static_cast<std::size_t>(end_ - pos_) < kShapeProbeBytes && Fill()) {
    }
    const std::size_t size = std::min(static_cast<std::size_t>(end_ - pos_), kShapeProbeBytes);
    whole = finished_ && size == static_cast<std::size_t>(end_ - pos_);
    return {pos_, size};
  }
  // Passes over bytes that Peek showed. When they were all the data (the lines before a first row that
  // never comes), no line end is owed to the last of them: they are not read as lines.
  void Skip(std::size_t bytes) {
    pos_ += bytes;
    if (bytes != 0 && pos_ == end_ && finished_) lineEndGiven_ = true;
  }
  void SetLineEnd(char lineEnd) { lineEnd_ = lineEnd; }

  // Takes one field, ended by "," or, for the row's last (`last`), by the line end. Its text is
  // either read in place (valid until the next read) or gathered into `text`, which has room for
  // kMaxFieldChars. The last field's surplus (the fields after its first comma) is not held to the
  // limit: past it, the rest of the line is passed over.
  std::string_view ReadField(bool last, char* text) {
    if (!Good()) {
      fail_ = true;
      return {};
    }
    const char endChar = last ? lineEnd_ : ',';
    // Most fields lie whole in the chunk with no CR in them: no copy needed.
    const std::size_t available = static_cast<std::size_t>(end_ - pos_);
    const char* const limit = pos_ + (available < kMaxFieldChars + 1 ? available : kMaxFieldChars + 1);
    for (const char* q = pos_; q != limit && (*q != '\r' || lineEnd_ != '\n'); ++q) {
      if (*q == endChar) {
        const std::string_view field(pos_, static_cast<std::size_t>(q - pos_));
        pos_ = q + 1;
        return field;
      }
    }
    std::size_t stored = 0;
    bool tookAny = false, surplus = false;
    for (int c; (c = Next()) >= 0;) {
      if (c == endChar) {
        Take();
        tookAny = true;
        break;
      }
      if (stored == kMaxFieldChars) {
        if (surplus || (last && c == ',')) {
          SkipLine();
          break;
        }
        fail_ = true;  // the character stays unread; nothing more is read anyway
        longField_ = true;
        break;
      }
      surplus = surplus || (last && c == ',');
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
    for (; c >= 0 && c != lineEnd_; c = Next()) {
      if (line.size() > kMaxLineChars) {
        tooLong = true;
        SkipLine();
        return true;
      }
      line += static_cast<char>(c);
      Take();
    }
    if (c == lineEnd_) Take();
    return true;
  }

 private:
  // The next character as the reader sees it, not yet taken; -1 at the end of the data (which also
  // marks end of file). A CR directly before an LF is skipped here.
  int Next() {
    if (pos_ == end_ && !Fill() && !UseLineEndAtEnd()) {
      eof_ = true;
      return -1;
    }
    if (*pos_ == '\r' && lineEnd_ == '\n') {
      if (pos_ + 1 == end_ && !Fill()) {
        UseLineEndAtEnd();  // the CR and the line end the data lacked read as CR LF
        return static_cast<unsigned char>(*pos_);
      }
      if (pos_[1] == '\n') ++pos_;  // CR LF reads as LF
    }
    return static_cast<unsigned char>(*pos_);
  }
  void Take() { ++pos_; }

  // Passes over the rest of a line and its end: a wide row's surplus, a line too long to keep.
  void SkipLine() {
    for (;;) {
      if (pos_ == end_ && !Fill() && !UseLineEndAtEnd()) {
        eof_ = true;
        return;
      }
      if (const void* found = std::memchr(pos_, lineEnd_, static_cast<std::size_t>(end_ - pos_))) {
        pos_ = static_cast<const char*>(found) + 1;
        return;
      }
      pos_ = end_;
      PassHole();
    }
  }

  // A hole in a sparse file reads as zero bytes, which end no line: the reading moves on to the
  // file's next data at once rather than read the hole (20 GB of it would take most of a minute).
  void PassHole() {
    if (!plainFile_ || finished_) return;
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    const off_t data = at < 0 ? at : ::lseek(fd_, at, SEEK_DATA);
    if (data < 0 && errno == ENXIO) {
      ::lseek(fd_, 0, SEEK_END);  // the file ends in a hole
    } else if (data < at) {
      ::lseek(fd_, at, SEEK_SET);  // no holes known here
    }
  }

  // At the end of data whose last byte is no line end, the line end it lacks, in place of what is
  // left (a last CR); true when that was given.
  bool UseLineEndAtEnd() {
    if (!finished_ || lineEndGiven_ || !sawData_ || last_ == lineEnd_) return false;
    lineEndGiven_ = true;
    pos_ = &lineEnd_;
    end_ = &lineEnd_ + 1;
    return true;
  }

  // Moves the unread bytes to the front of the chunk and reads more after them. False when no new
  // byte arrived (end of file, a read error, a stop request, or a Ctrl-Z at or before the first new
  // byte).
  bool Fill() {
    if (finished_) return false;
    if (plainFile_ && stop_ && stop_()) {
      stopped_ = finished_ = true;
      return false;
    }
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

  // Remembers the last byte of the data so far: the data that does not end with a line end gets one.
  void NoteLastByte() {
    if (pos_ != end_) {
      last_ = end_[-1];
      sawData_ = true;
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
  char lineEnd_ = '\n';
  bool lineEndGiven_ = false;
  bool eof_ = false;
  bool fail_ = false;
  bool longField_ = false;
  bool stopped_ = false;
  int readError_ = 0;
};

// The text of a row as noted: CR LF as LF, cut to a readable length.
std::string NotedText(std::string_view text, bool asInFile) {
  std::string out;
  for (std::size_t i = 0; i < text.size() && out.size() < kNotedTextChars; ++i) {
    if (!(asInFile && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  }
  return out;
}

// A row, and its colour value when the reading has a colour column.
void AppendRow(DataColumns& out, double x, double y, double z, const double* colour = nullptr) {
  out.x.push_back(x);
  out.y.push_back(y);
  out.z.push_back(z);
  if (colour) out.colour.push_back(*colour);
}

// Field by field: a pass takes three fields whatever lies between them. A pass that does not give
// three numbers is left out, but counts towards the limit; the one the end of the data leaves with
// nothing in it, and the one a long field ends, are stored. When the data ends below the limit the
// last row stored is (0, 0, 0) or the long field's, which the scene never draws.
DataReadResult ReadFieldRows(TextSource& source, std::size_t rowsBefore, std::size_t maxRows, DataColumns& out) {
  char text[3][kMaxFieldChars + 1];
  DataReadResult result;
  result.numbers.rowsBefore = rowsBefore;
  std::size_t passes = 0;
  bool lastStored = true;
  while (source.Good() && passes < maxRows) {
    std::string_view field[3];
    bool number[3];
    double values[3];
    for (int i = 0; i != 3; ++i) {
      field[i] = source.ReadField(i == 2, text[i]);
      if (!field[i].empty() && field[i].data() != text[i]) {  // read in place: keep it past the next read
        std::memcpy(text[i], field[i].data(), field[i].size());
        field[i] = {text[i], field[i].size()};
      }
      values[i] = ConvertDataNumber(field[i], false, &number[i]);
    }
    ++passes;
    // The row the end of the data leaves with nothing in it is no row of the file's.
    const bool endRow = source.Eof() && IsBlankLine(field[0]) && IsBlankLine(field[1]) && IsBlankLine(field[2]);
    lastStored = (number[0] && number[1] && number[2]) || endRow || source.EndedByLongField();
    if (lastStored) {
      result.numbers.Note(result.rows, passes - 1 - result.rows);
      AppendRow(out, values[0], values[1], values[2]);
      ++result.rows;
    } else {
      // The fields as read: a CR LF in them already reads as LF.
      result.unread.Note(rowsBefore + passes,
                         std::string(field[0]) + ',' + std::string(field[1]) + ',' + std::string(field[2]), false);
    }
  }
  if (source.EndedByLongField()) {
    result.end = DataReadEnd::LongField;
  } else if (source.Good() && source.HasMore()) {
    result.end = DataReadEnd::RowLimit;
  } else if (!lastStored && passes < maxRows) {
    result.numbers.Note(result.rows, passes - result.rows);  // as the pass after the last
    AppendRow(out, 0.0, 0.0, 0.0);
    ++result.rows;
  }
  return result;
}

// Line by line: blank lines and comments are passed over, a line without three numbers in its
// columns is left out, and every other line counts towards the limit. When the data ends below the
// limit, one more row (0, 0, 0) is stored, as after a comma file's last line end, so every row of the
// file is drawn.
DataReadResult ReadLineRows(TextSource& source, const DataShape& shape, std::size_t rowsBefore,
                            std::size_t maxRows, DataColumns& out) {
  DataReadResult result;
  result.numbers.rowsBefore = rowsBefore;
  std::string line;
  bool tooLong = false;
  std::size_t counted = 0, row = rowsBefore;
  while (counted < maxRows) {
    if (!source.ReadLine(line, tooLong)) {
      result.numbers.Note(result.rows, row - rowsBefore - result.rows);  // as the line after the last
      const double noColour = 0.0;
      AppendRow(out, 0.0, 0.0, 0.0, shape.colourColumn >= 0 ? &noColour : nullptr);
      ++result.rows;
      return result;
    }
    ++row;
    const LineKind kind = KindOfLine(line);
    if (kind == LineKind::Comment) ++result.comments;
    if (kind != LineKind::Row && !(tooLong && kind == LineKind::Blank)) continue;
    ++counted;
    std::string_view fields[4];
    double values[4];
    bool number[4] = {false, false, false, shape.colourColumn < 0};
    if (!tooLong && SplitLine(line, shape, fields, shape.colourColumn >= 0 ? &fields[3] : nullptr)) {
      for (int i = 0; i != (shape.colourColumn >= 0 ? 4 : 3); ++i)
        values[i] = ConvertDataNumber(fields[i], shape.decimalComma, &number[i]);
    }
    if (number[0] && number[1] && number[2] && number[3]) {
      result.numbers.Note(result.rows, row - rowsBefore - 1 - result.rows);
      AppendRow(out, values[0], values[1], values[2], shape.colourColumn >= 0 ? &values[3] : nullptr);
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
  source.SetLineEnd(shape.lineEnd);
  DataReadResult result;
  try {
    result = shape.FieldByField() ? ReadFieldRows(source, rowsBefore, maxRows, out)
                                  : ReadLineRows(source, shape, rowsBefore, maxRows, out);
  } catch (const std::bad_alloc&) {
    KeepWholeRows(out, shape.colourColumn >= 0);
    result.end = DataReadEnd::OutOfMemory;
    result.rows = out.x.size() - before;
    result.numbers.rowsBefore = rowsBefore;
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
  return ReadRowsInShape(source, shape, shape.RowsBefore(), maxRows, out);
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

bool HasDigit(std::string_view text) { return std::find_if(text.begin(), text.end(), IsDigit) != text.end(); }

// Whether a line names something: a byte that is none of the separators, blanks, quotes or digits.
bool Names(std::string_view line) {
  return std::find_if(line.begin(), line.end(), [](char c) {
           return std::string_view(",;\t \"").find(c) == std::string_view::npos && !IsNumberSpace(c);
         }) != line.end();
}

// Passes over the lines before the first row that holds a digit (blank lines, titles, # comments and
// a header: the last of them that names something), noting them in `shape`, and gives that row. Only
// lines seen whole are passed over: the fast reader sees no more than the probe.
std::string_view PassLead(std::string_view start, bool wholeData, DataShape& shape) {
  std::vector<std::pair<std::string_view, bool>> said;  // the lead's lines that are not blank; naming ones
  std::size_t pos = shape.skipBytes;
  std::string_view row;
  for (;; ++shape.leadRows) {
    const std::size_t end = start.find(shape.lineEnd, pos);
    const bool complete = end != std::string_view::npos || (wholeData && start.size() < kShapeProbeBytes);
    row = WithoutLineEnd(start.substr(pos, end == std::string_view::npos ? end : end - pos), shape.lineEnd);
    const LineKind kind = KindOfLine(row);
    if (pos >= start.size() || !complete || (kind == LineKind::Row && HasDigit(row))) break;
    if (kind != LineKind::Blank) said.emplace_back(row, kind == LineKind::Row && Names(row));
    pos = end == std::string_view::npos ? start.size() : end + 1;
    shape.skipBytes = pos;
  }
  const auto header = std::find_if(said.rbegin(), said.rend(), [](const auto& line) { return line.second; });
  if (header != said.rend()) shape.header = header->first;
  shape.skippedLines = said.size() - (header != said.rend());
  for (auto line = said.begin(); shape.skippedLines != 0; ++line) {
    if (header == said.rend() || line != header.base() - 1) {
      shape.firstSkipped = line->first;
      break;
    }
  }
  return row;
}

// Whether every ";"-separated field of the row is a number with a decimal comma ("8,05"), or a
// blank: a row of write.csv2 without its header.
bool AllDecimalCommaNumbers(std::string_view row) {
  if (row.find(';') == std::string_view::npos) return false;
  for (std::size_t pos = 0; pos <= row.size();) {
    const std::size_t end = std::min(row.find(';', pos), row.size());
    std::string_view field = row.substr(pos, end - pos);
    while (!field.empty() && (IsNumberSpace(field.front()) || field.front() == '"')) field.remove_prefix(1);
    while (!field.empty() && (IsNumberSpace(field.back()) || field.back() == '"')) field.remove_suffix(1);
    if (!field.empty() && (field.front() == '+' || field.front() == '-')) field.remove_prefix(1);
    const std::size_t comma = field.find(',');
    if (field.empty() || !std::all_of(field.begin(), field.end(), [](char c) { return IsDigit(c) || c == ','; }) ||
        (comma != std::string_view::npos && field.find(',', comma + 1) != std::string_view::npos)) {
      return false;
    }
    pos = end + 1;
  }
  return true;
}

// The separator asked for, or the one the first row of numbers (and the header) shows: ";" when the
// row's ";" fields are numbers with decimal commas or the header has ";" and no comma, else the
// comma unless the row has none, then the first of TAB, ";" or a space that it holds.
char SeparatorOf(std::string_view row, std::string_view header, char asked) {
  if (asked != 0) return asked;
  const bool headerOfSemicolons =
      header.find(';') != std::string_view::npos && header.find(',') == std::string_view::npos;
  if (row.find(';') != std::string_view::npos && (headerOfSemicolons || AllDecimalCommaNumbers(row))) return ';';
  if (row.find(',') != std::string_view::npos) return ',';
  for (const char candidate : {'\t', ';', ' '}) {
    if (row.find(candidate) != std::string_view::npos) return candidate;
  }
  return row.empty() && headerOfSemicolons ? ';' : ',';
}

// The fields of a line in the shape's separator.
std::size_t FieldCount(std::string_view line, char separator) {
  if (separator != ' ') return static_cast<std::size_t>(std::count(line.begin(), line.end(), separator)) + 1;
  std::size_t count = 0;
  for (std::size_t i = 0; i != line.size(); ++i) count += !IsBlank(line[i]) && (i == 0 || IsBlank(line[i - 1]));
  return count;
}

// A header whose first field is empty ("","x","y") names the rows' first column with nothing.
bool FirstNameEmpty(std::string_view header, const DataShape& shape) {
  DataShape asHeader = shape;
  asHeader.columns = {0, 0, 0};
  std::string_view name[3];
  if (!SplitLine(header, asHeader, name)) return false;
  std::string_view first = name[0];
  while (!first.empty() && IsNumberSpace(first.front())) first.remove_prefix(1);
  while (!first.empty() && IsNumberSpace(first.back())) first.remove_suffix(1);
  return first.empty() || first == "\"\"";
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

std::size_t RowNumbers::FileRow(std::size_t row) const {
  const auto after =
      std::upper_bound(passedOver.begin(), passedOver.end(), row,
                       [](std::size_t r, const std::pair<std::size_t, std::size_t>& p) { return r < p.first; });
  return rowsBefore + row + 1 + (after == passedOver.begin() ? 0 : std::prev(after)->second);
}

void RowNumbers::Note(std::size_t row, std::size_t passed) {
  const std::size_t before = passedOver.empty() ? 0 : passedOver.back().second;
  if (passed == before) return;
  try {
    if (!passedOver.empty() && passedOver.back().first == row) {
      passedOver.back().second = passed;
    } else {
      passedOver.emplace_back(row, passed);
    }
  } catch (const std::bad_alloc&) {
    // Numbers past here read a few rows early: the rows themselves are what must not be lost.
  }
}

void UnreadRows::Note(std::size_t row, std::string_view rowText, bool asInFile) {
  if (count++ == 0 || row < first) {
    first = row;
    try {
      text = NotedText(rowText, asInFile);
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
  if (start.find('\n') == std::string_view::npos && start.find('\r') != std::string_view::npos) shape.lineEnd = '\r';
  const std::string_view firstRow = PassLead(start, wholeData, shape);
  shape.separator = SeparatorOf(firstRow, shape.header, options.delimiter);
  shape.separatorGuessed = options.delimiter == 0 && shape.separator != ',';
  shape.decimalComma = shape.separator == ';';
  if (!shape.header.empty()) {
    // write.table's header has one name fewer than the rows have fields: none for the row names.
    shape.shortHeader = !firstRow.empty() &&
                        FieldCount(shape.header, shape.separator) + 1 == FieldCount(firstRow, shape.separator);
    shape.rowNames = shape.shortHeader || FirstNameEmpty(shape.header, shape);
  }
  if (options.colourColumn > 0) shape.colourColumn = options.colourColumn - 1;
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

bool SplitLine(std::string_view line, const DataShape& shape, std::string_view fields[3],
               std::string_view* colour) {
  const int needed = std::max({shape.columns[0], shape.columns[1], shape.columns[2], colour ? shape.colourColumn : 0});
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
    if (colour && shape.colourColumn == column) *colour = line.substr(pos, fieldEnd - pos);
    pos = fieldEnd + 1;
  }
  return true;
}

std::string ColumnNameOf(const DataShape& shape, int axis) {
  std::string_view names[4];
  DataShape asHeader = shape;
  for (int& column : asHeader.columns) column -= shape.shortHeader && column > 0;
  asHeader.colourColumn -= shape.shortHeader && asHeader.colourColumn > 0;
  const int column = axis == 3 ? shape.colourColumn : shape.columns[axis];
  const bool rowName = shape.shortHeader && column == 0;  // write.table names no row names
  if (!shape.header.empty() && !rowName && column >= 0 && SplitLine(shape.header, asHeader, names, &names[3])) {
    std::string_view name = names[axis];
    while (!name.empty() && (IsNumberSpace(name.front()) || name.front() == '"')) name.remove_prefix(1);
    while (!name.empty() && (IsNumberSpace(name.back()) || name.back() == '"')) name.remove_suffix(1);
    if (!name.empty()) return std::string(name);
  }
  return axis == 3 ? "column " + std::to_string(shape.colourColumn + 1) : std::string(1, static_cast<char>('x' + axis));
}

void KeepWholeRows(DataColumns& out, bool colour) {
  const std::size_t rows =
      std::min({out.x.size(), out.y.size(), out.z.size(), colour ? out.colour.size() : out.x.size()});
  out.x.resize(rows);
  out.y.resize(rows);
  out.z.resize(rows);
  if (colour) out.colour.resize(rows);
}

bool IsBlankLine(std::string_view line) {
  for (const char c : line) {
    if (!IsNumberSpace(c)) return false;
  }
  return true;
}

LineKind KindOfLine(std::string_view line) {
  for (const char c : line) {
    if (!IsNumberSpace(c)) return c == '#' ? LineKind::Comment : LineKind::Row;
  }
  return LineKind::Blank;
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
                               DataColumns& out, const StopRequest& stop) {
  TextSource source(fd, true, stop);
  return ReadRowsInShape(source, shape, rowsBefore, maxRows, out);
}

DataReadResult ReferenceReadOn(std::string_view bytes, const DataShape& shape, std::size_t rowsBefore,
                               std::size_t maxRows, DataColumns& out) {
  TextSource source(bytes.data(), bytes.size());
  return ReadRowsInShape(source, shape, rowsBefore, maxRows, out);
}

}  // namespace viewer
