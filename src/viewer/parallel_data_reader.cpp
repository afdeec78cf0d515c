// Why the rows come out the same as the reference reader's: a plain row is three fields whose end
// bytes are all found, none of more than 99 bytes. Such a field has at most 99 characters after the
// CR LF to LF change too, and converting its raw bytes gives the same number as converting the
// changed text, because CR and LF are both white space that no number runs across. Everything else
// (a longer field, a Ctrl-Z, the last row where the data ends, the row after the limit) goes to the
// reference reader from the start of that row, in the state the reference would have been in there.
#include "viewer/parallel_data_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include <fast_float/fast_float.h>

#include "platform/work_threads.h"
#include "viewer/chunk_queue.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace viewer {
namespace {

constexpr char kCtrlZ = '\x1a';
// The start of an unfinished row carried into the next window: at most two whole fields with their
// ends and a third of at most 99 bytes (a longer one is handed over at once).
constexpr std::size_t kCarryRoom = 3 * (kMaxFieldChars + 1);
// Window positions, carry included, fit in the 30 bits an end keeps for them.
constexpr std::size_t kLargestWindow = std::size_t{1} << 29;

// An end is its window position with its kind in the top two bits, so the pass never reads the text.
constexpr unsigned kKindShift = 30;
constexpr uint32_t kPositionMask = (uint32_t{1} << kKindShift) - 1;
constexpr uint32_t kComma = 0, kLineFeed = 1, kCtrlZEnd = 2;

// Writes the ends in [begin, end) of `text`, in order, and gives their number.
std::size_t FindFieldEnds(const char* text, std::size_t begin, std::size_t end, uint32_t* out) {
  std::size_t count = 0;
  std::size_t i = begin;
#ifdef __SSE2__
  const __m128i comma = _mm_set1_epi8(','), lineFeed = _mm_set1_epi8('\n'), ctrlZ = _mm_set1_epi8(kCtrlZ);
  for (; i + 16 <= end; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const unsigned commas = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, comma)));
    const unsigned lineFeeds = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)));
    const unsigned ctrlZs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, ctrlZ)));
    for (unsigned mask = commas | lineFeeds | ctrlZs; mask != 0; mask &= mask - 1) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      const uint32_t kind = ((lineFeeds >> bit) & 1) | ((ctrlZs >> bit) & 1) << 1;
      out[count++] = static_cast<uint32_t>(i + bit) | kind << kKindShift;
    }
  }
#endif
  for (; i < end; ++i) {
    const uint32_t kind = text[i] == ',' ? kComma : text[i] == '\n' ? kLineFeed : text[i] == kCtrlZ ? kCtrlZEnd : 3;
    if (kind != 3) out[count++] = static_cast<uint32_t>(i) | kind << kKindShift;
  }
  return count;
}

struct SettledRows {
  std::size_t rows = 0;      // plain rows; their field ends are at the front of the ends list
  std::size_t consumed = 0;  // window position after the last of them
  bool handOver = false;     // the reference reads on from `consumed`; else the rest is carried
};

// The one sequential pass: walks the ends in order, taking for x and y the next "," and for z the next
// LF, and writes the positions it takes over the front of the ends list (never past the one it reads).
SettledRows SettleFields(uint32_t* ends, std::size_t endCount, std::size_t size, std::size_t maxRows,
                         bool lastWindow) {
  SettledRows settled;
  if (maxRows == 0) {
    settled.handOver = true;
    return settled;
  }
  std::size_t taken = 0, fieldStart = 0;
  uint32_t field = 0;  // 0 x, 1 y, 2 z
  for (const uint32_t* e = ends; e != ends + endCount; ++e) {
    const uint32_t kind = *e >> kKindShift, position = *e & kPositionMask;
    if (kind != field >> 1) {
      if (kind != kCtrlZEnd) continue;  // a comma inside z, a line feed inside x or y
      settled.handOver = true;
      return settled;
    }
    if (position - fieldStart > kMaxFieldChars) {
      settled.handOver = true;
      return settled;
    }
    ends[taken++] = position;
    fieldStart = position + 1;
    if (++field == 3) {
      field = 0;
      settled.consumed = fieldStart;
      if (++settled.rows == maxRows) {
        settled.handOver = true;  // the reference says whether anything was left
        return settled;
      }
    }
  }
  // The row goes on in the next window, unless the data ends here or its field is already too long.
  settled.handOver = lastWindow || size - fieldStart > kMaxFieldChars;
  return settled;
}

// A field's number: the usual plain decimal through fast_float, inlined here, and everything else
// (a "d" exponent, no digits, zero, a value out of range) the way ConvertDataNumber decides it, so
// the value is always the one ConvertDataNumber gives.
double ConvertField(const char* text, std::size_t length) {
  const char* p = text;
  const char* const end = text + length;
  while (p != end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;  // space, TAB, LF, VT, FF, CR
  const bool negative = p != end && *p == '-';
  if (p != end && (*p == '-' || *p == '+')) ++p;
  if (p != end && ((*p >= '0' && *p <= '9') || *p == '.')) {
    double value = 0.0;
    const auto result = fast_float::from_chars(p, end, value);
    if (result.ec == std::errc() && (result.ptr == end || (*result.ptr | 0x20) != 'd') && std::isnormal(value)) {
      return negative ? -value : value;
    }
  }
  return ConvertDataNumber({text, length});
}

// Rows [first, last) of the window, their field ends as SettleFields left them.
void ConvertRows(const char* text, const uint32_t* fieldEnds, std::size_t first, std::size_t last, double* x,
                 double* y, double* z) {
  std::size_t start = first == 0 ? 0 : fieldEnds[3 * first - 1] + 1;
  for (std::size_t row = first; row != last; ++row) {
    const uint32_t* end = fieldEnds + 3 * row;
    x[row] = ConvertField(text + start, end[0] - start);
    y[row] = ConvertField(text + end[0] + 1, end[1] - end[0] - 1);
    z[row] = ConvertField(text + end[1] + 1, end[2] - end[1] - 1);
    start = end[2] + 1;
  }
}

constexpr unsigned kSlots = ChunkQueue::kSlots;

// Windows over bytes in memory: each a view, starting at the unfinished row of the one before.
class MemoryWindows {
 public:
  MemoryWindows(std::string_view bytes, std::size_t windowBytes) : bytes_(bytes), windowBytes_(windowBytes) {}

  std::size_t InputBytes() const { return bytes_.size(); }

  // The next window (in `slot`) starts with this one's bytes from `keepFrom` on.
  void Advance(unsigned /*slot*/, std::size_t keepFrom) {
    offset_ += keepFrom;
    size_ = std::min(bytes_.size() - offset_, size_ - keepFrom + windowBytes_);
  }

  const char* Data() const { return bytes_.data() + offset_; }
  std::size_t Size() const { return size_; }
  bool Last() const { return offset_ + size_ == bytes_.size(); }

  DataReadResult ReadOnFrom(std::size_t position, std::size_t maxRows, std::vector<double>& x,
                            std::vector<double>& y, std::vector<double>& z) const {
    return ReferenceReadBuffer(bytes_.substr(offset_ + position), maxRows, x, y, z);
  }

 private:
  std::string_view bytes_;
  std::size_t windowBytes_;
  std::size_t offset_ = 0, size_ = 0;
};

// Windows of a plain file, read with pread into one buffer per slot, behind the carried start of a
// row. The file's size when the reading starts plans the windows; a file that changes meanwhile is
// still read right, since whatever the windows do not hold the reference reader reads from the
// descriptor.
class DescriptorWindows {
 public:
  DescriptorWindows(int fd, std::size_t windowBytes) : fd_(fd), windowBytes_(windowBytes) {
    for (auto& buffer : buffers_) buffer.reset(new char[windowBytes + kCarryRoom]);
    const off_t position = ::lseek(fd, 0, SEEK_CUR);
    start_ = position > 0 ? static_cast<uint64_t>(position) : 0;
    struct stat info {};
    fileEnd_ = ::fstat(fd, &info) == 0 && static_cast<uint64_t>(info.st_size) > start_
                   ? static_cast<uint64_t>(info.st_size)
                   : start_;
  }

  std::size_t InputBytes() const { return static_cast<std::size_t>(fileEnd_ - start_); }

  void Advance(unsigned slot, std::size_t keepFrom) {
    char* const buffer = buffers_[slot].get();
    const std::size_t carry = size_ - keepFrom;
    if (carry != 0) std::memmove(buffer, data_ + keepFrom, carry);  // the same buffer with one slot
    offset_ += keepFrom;
    data_ = buffer;
    const uint64_t readAt = start_ + offset_ + carry;
    const std::size_t planned =
        static_cast<std::size_t>(std::min<uint64_t>(windowBytes_, fileEnd_ > readAt ? fileEnd_ - readAt : 0));
    std::size_t got = 0;
    while (got < planned) {
      const ssize_t n = ::pread(fd_, buffer + carry + got, planned - got, static_cast<off_t>(readAt + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the file shrank, or cannot be read: the reference finds out which
      got += static_cast<std::size_t>(n);
    }
    size_ = carry + got;
    short_ = got < planned;
  }

  const char* Data() const { return data_; }
  std::size_t Size() const { return size_; }
  bool Last() const { return short_ || start_ + offset_ + size_ >= fileEnd_; }

  DataReadResult ReadOnFrom(std::size_t position, std::size_t maxRows, std::vector<double>& x,
                            std::vector<double>& y, std::vector<double>& z) const {
    if (::lseek(fd_, static_cast<off_t>(start_ + offset_ + position), SEEK_SET) < 0) return {};
    return ReferenceReadDescriptor(fd_, maxRows, x, y, z);
  }

 private:
  int fd_;
  std::size_t windowBytes_;
  std::unique_ptr<char[]> buffers_[kSlots];
  const char* data_ = nullptr;
  uint64_t start_ = 0, fileEnd_ = 0;
  std::size_t offset_ = 0, size_ = 0;
  bool short_ = false;
};

// Room for the rows the whole input will give, judged from the rows of the first window, so the
// columns are not moved (and briefly held twice) as they grow.
void ReserveRows(std::vector<double>& column, std::size_t rowsNow, std::size_t windowRows, std::size_t windowBytes,
                 std::size_t inputBytes, std::size_t maxRows, bool whole) {
  std::size_t expected = windowRows + 1;  // the reference may add one more row at the end
  if (!whole && windowBytes != 0) {
    const double perByte = static_cast<double>(windowRows) / static_cast<double>(windowBytes);
    expected = static_cast<std::size_t>(perByte * static_cast<double>(inputBytes) * 1.0625) + 16;
  }
  column.reserve(column.size() + std::min(expected - 1, maxRows - rowsNow) + 1);
}

// The calling thread reads, scans and settles each window; its rows go to the queue as a conversion
// job in the window's slot, which the helper works through while the caller moves on (and the caller
// too, whenever enough is waiting). A slot's text and ends are used again only once its job is done.
template <class Windows>
DataReadResult ReadWindows(Windows& windows, std::size_t maxRows, std::vector<double>& x, std::vector<double>& y,
                           std::vector<double>& z, const LoaderTuning& tuning, std::size_t windowBytes) {
  const unsigned threads = tuning.threads != 0 ? tuning.threads : platform::WorkThreads();
  const std::size_t convertChunkRows =
      std::max({std::size_t{1}, tuning.convertChunkRows, (windowBytes + kCarryRoom) / ChunkQueue::kMostChunks + 1});
  std::unique_ptr<uint32_t[]> ends[kSlots];
  for (auto& slotEnds : ends) slotEnds.reset(new uint32_t[windowBytes + kCarryRoom]);
  ChunkQueue queue(windows.InputBytes() >= tuning.helperFromBytes ? threads : 1);

  DataReadResult result;
  bool reserved = false;
  std::size_t consumed = 0;
  for (unsigned slot = 0;; slot = (slot + 1) % kSlots) {
    queue.Drain(slot);  // its text and ends are free again
    windows.Advance(slot, consumed);
    uint32_t* const slotEnds = ends[slot].get();
    const std::size_t endCount = FindFieldEnds(windows.Data(), 0, windows.Size(), slotEnds);
    const SettledRows settled = SettleFields(slotEnds, endCount, windows.Size(), maxRows - result.rows, windows.Last());
    if (settled.rows != 0) {
      if (!reserved) {
        for (std::vector<double>* column : {&x, &y, &z}) {
          ReserveRows(*column, result.rows, settled.rows, settled.consumed, windows.InputBytes(), maxRows,
                      windows.Last());
        }
        reserved = true;
      }
      const std::size_t before = x.size();
      if (x.capacity() < before + settled.rows || y.capacity() < before + settled.rows ||
          z.capacity() < before + settled.rows) {
        queue.DrainAll();  // the columns are about to move
      }
      x.resize(before + settled.rows);
      y.resize(before + settled.rows);
      z.resize(before + settled.rows);
      const std::size_t chunks = (settled.rows + convertChunkRows - 1) / convertChunkRows;
      queue.Publish(slot, chunks,
                    [text = windows.Data(), slotEnds, rows = settled.rows, convertChunkRows, px = x.data() + before,
                     py = y.data() + before, pz = z.data() + before](std::size_t chunk) {
                      ConvertRows(text, slotEnds, chunk * convertChunkRows,
                                  std::min(rows, (chunk + 1) * convertChunkRows), px, py, pz);
                    });
      result.rows += settled.rows;
      queue.Help(chunks / 2);  // leave the helper enough to do while the next window is read
    }
    consumed = settled.consumed;
    if (settled.handOver) {
      queue.DrainAll();
      const DataReadResult rest = windows.ReadOnFrom(consumed, maxRows - result.rows, x, y, z);
      result.rows += rest.rows;
      result.end = rest.end;
      return result;
    }
  }
}

std::size_t WindowBytes(const LoaderTuning& tuning) {
  return std::clamp<std::size_t>(tuning.windowBytes, 1, kLargestWindow);
}

}  // namespace

DataReadResult ReadDataInParallel(int fd, std::size_t maxRows, std::vector<double>& x, std::vector<double>& y,
                                  std::vector<double>& z, const LoaderTuning& tuning) {
  const std::size_t windowBytes = WindowBytes(tuning);
  DescriptorWindows windows(fd, windowBytes);
  return ReadWindows(windows, maxRows, x, y, z, tuning, windowBytes);
}

DataReadResult ReadDataInParallel(std::string_view bytes, std::size_t maxRows, std::vector<double>& x,
                                  std::vector<double>& y, std::vector<double>& z, const LoaderTuning& tuning) {
  const std::size_t windowBytes = WindowBytes(tuning);
  MemoryWindows windows(bytes, windowBytes);
  return ReadWindows(windows, maxRows, x, y, z, tuning, windowBytes);
}

}  // namespace viewer
