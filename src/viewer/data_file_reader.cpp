// The reference reader of the data-file format: one byte at a time through a small buffered source of
// our own, reading 64 KiB chunks and only as far as the rows need (pipes, and the rows the two-thread
// reader of parallel_data_reader.cpp leaves to it). Also the number conversion both readers share.
#include "viewer/data_file_reader.h"
#include "viewer/parallel_data_reader.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace viewer {
namespace {

constexpr char kCtrlZ = '\x1a';
constexpr std::size_t kChunkBytes = 64 * 1024;
constexpr int kWaitStepMs = 50;  // how long a stop request may wait while a writer is silent

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNumberSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The bytes of the file as the text-mode reader sees them: a CR directly before an LF is dropped
// and a Ctrl-Z byte ends the data. Holds the eof/fail flags of an input stream.
class TextSource {
 public:
  // Reads from memory; the bytes must outlive the source.
  TextSource(const char* data, std::size_t size) : pos_(data), end_(data + size), finished_(true) {
    CutAtCtrlZ();
  }

  // Reads from an open descriptor, which the caller closes. A descriptor that is no plain file (a
  // pipe, a FIFO, a device) is non-blocking: the source waits for its bytes in short steps and asks
  // `stop` between them, so that the wait for a slow writer can be ended.
  TextSource(int fd, bool plainFile, const StopRequest& stop)
      : fd_(fd), plainFile_(plainFile), stop_(stop), chunk_(new char[kChunkBytes]) {
    pos_ = end_ = chunk_.get();
  }

  bool Good() const { return !eof_ && !fail_; }
  bool EndedByLongField() const { return longField_; }

  // Whether any byte of data is left unread (reads ahead when the chunk is used up).
  bool HasMore() { return pos_ != end_ || Fill(); }

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
    for (;;) {
      if (pos_ == end_ && !Fill()) {
        eof_ = true;
        break;
      }
      char c = *pos_;
      if (c == '\r') {
        if (pos_ + 1 == end_) Fill();
        if (pos_ + 1 != end_ && pos_[1] == '\n') {
          ++pos_;  // CR LF reads as LF
          c = '\n';
        }
      }
      if (c == endChar) {
        ++pos_;
        tookAny = true;
        break;
      }
      if (stored == kMaxFieldChars) {
        fail_ = true;  // the character stays unread; nothing more is read anyway
        longField_ = true;
        break;
      }
      text[stored++] = c;
      ++pos_;
      tookAny = true;
    }
    if (!tookAny) fail_ = true;
    return {text, stored};
  }

 private:
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
      finished_ = true;  // a read error ends the data like end of file
      return false;
    }
    end_ += got;
    CutAtCtrlZ();
    return end_ - pos_ > static_cast<std::ptrdiff_t>(keep);
  }

  // False when asked to stop before anything arrived.
  bool WaitForBytes() {
    for (;;) {
      pollfd wait{fd_, POLLIN, 0};
      if (::poll(&wait, 1, kWaitStepMs) != 0) return true;  // bytes, the writer's end, or an error
      if (stop_ && stop_()) return false;
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

  int fd_ = -1;
  bool plainFile_ = true;
  StopRequest stop_;
  std::unique_ptr<char[]> chunk_;
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  bool finished_ = false;  // no more bytes will arrive
  bool eof_ = false;
  bool fail_ = false;
  bool longField_ = false;
};

// The row loop: every pass appends all three values, even when the stream failed in between.
DataReadResult ReadRows(TextSource& source, std::size_t maxRows, std::vector<double>& x,
                        std::vector<double>& y, std::vector<double>& z) {
  char text[kMaxFieldChars + 1];
  DataReadResult result;
  while (source.Good() && result.rows < maxRows) {
    x.push_back(ConvertDataNumber(source.ReadField(',', text)));
    y.push_back(ConvertDataNumber(source.ReadField(',', text)));
    z.push_back(ConvertDataNumber(source.ReadField('\n', text)));
    ++result.rows;
  }
  if (source.EndedByLongField()) {
    result.end = DataReadEnd::LongField;
  } else if (source.Good() && source.HasMore()) {
    result.end = DataReadEnd::RowLimit;
  }
  return result;
}

// The rare texts std::from_chars reports out of range (overflow to infinity, underflow towards
// zero) go to strtod in the C locale, which rounds them the same correct way.
double ConvertOutOfRange(const char* begin, const char* end) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  std::string copy(begin, end);
  return strtod_l(copy.c_str(), nullptr, cLocale);
}

}  // namespace

double ConvertDataNumber(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p != end && IsNumberSpace(*p)) ++p;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  // from_chars takes the same decimal pattern once the sign is off and a digit or "." leads (which
  // keeps out "inf" and "nan"); only a "d" exponent needs the long way round.
  if (p != end && (IsDigit(*p) || *p == '.')) {
    double value = 0.0;
    const auto result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec == std::errc() && (result.ptr == end || (*result.ptr != 'd' && *result.ptr != 'D'))) {
      return negative ? -value : value;
    }
  }

  const char* const mantissa = p;
  std::size_t digits = 0;
  bool sawPoint = false;
  for (; p != end; ++p) {
    if (IsDigit(*p)) {
      ++digits;
    } else if (*p == '.' && !sawPoint) {
      sawPoint = true;
    } else {
      break;
    }
  }
  if (digits == 0) return 0.0;

  // The exponent counts only when its letter is followed by digits ("1e" and "1e+" read as 1).
  const char* accepted = p;
  char exponentLetter = 0;
  if (p != end && (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D')) {
    const char* q = p + 1;
    if (q != end && (*q == '+' || *q == '-')) ++q;
    const char* const exponentDigits = q;
    while (q != end && IsDigit(*q)) ++q;
    if (q != exponentDigits) {
      accepted = q;
      exponentLetter = *p;
    }
  }

  // from_chars knows no "d" exponent: such text is copied with "e" in its place.
  char shortCopy[kMaxFieldChars + 1];
  std::string longCopy;
  const char* first = mantissa;
  const char* last = accepted;
  if (exponentLetter == 'd' || exponentLetter == 'D') {
    const std::size_t length = static_cast<std::size_t>(accepted - mantissa);
    char* copy = shortCopy;
    if (length > sizeof shortCopy) {
      longCopy.assign(mantissa, accepted);
      copy = longCopy.data();
    } else {
      std::memcpy(copy, mantissa, length);
    }
    copy[p - mantissa] = 'e';  // p still points at the exponent letter
    first = copy;
    last = copy + length;
  }
  double value = 0.0;
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) value = ConvertOutOfRange(first, last);
  return negative ? -value : value;
}

DataReadResult ReadDataFile(const std::string& path, std::size_t maxRows, std::vector<double>& x,
                            std::vector<double>& y, std::vector<double>& z, const StopRequest& stop) {
  // Non-blocking, so that a FIFO with no writer yet opens at once.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat info {};
  DataReadResult result;
  if (::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode)) {  // a directory counts as not found
    if (S_ISREG(info.st_mode)) {
      result = ReadDataInParallel(fd, maxRows, x, y, z, LoaderTuning());
    } else {
      TextSource source(fd, false, stop);
      result = ReadRows(source, maxRows, x, y, z);
    }
  }
  ::close(fd);  // a failure to close changes nothing that was read
  return result;
}

DataReadResult ReadDataFile(const std::string& path, std::size_t maxRows, DataColumns& out,
                            const StopRequest& stop) {
  return ReadDataFile(path, maxRows, out.x, out.y, out.z, stop);
}

DataReadResult ReadDataDescriptor(int fd, std::size_t maxRows, DataColumns& out) {
  return ReadDataInParallel(fd, maxRows, out.x, out.y, out.z, LoaderTuning());
}

DataReadResult ReadDataBuffer(std::string_view bytes, std::size_t maxRows, DataColumns& out) {
  return ReadDataInParallel(bytes, maxRows, out.x, out.y, out.z, LoaderTuning());
}

DataReadResult ReferenceReadDescriptor(int fd, std::size_t maxRows, std::vector<double>& x,
                                       std::vector<double>& y, std::vector<double>& z) {
  TextSource source(fd, true, StopRequest());
  return ReadRows(source, maxRows, x, y, z);
}

DataReadResult ReferenceReadBuffer(std::string_view bytes, std::size_t maxRows, std::vector<double>& x,
                                   std::vector<double>& y, std::vector<double>& z) {
  TextSource source(bytes.data(), bytes.size());
  return ReadRows(source, maxRows, x, y, z);
}

bool CanReadDataFile(const std::string& path, std::string* why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (why) *why = std::strerror(errno);
    return false;
  }
  struct stat info {};
  const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
  ::close(fd);
  if (folder && why) *why = "it is a folder";
  return !folder;
}

bool IsPlainFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace viewer
