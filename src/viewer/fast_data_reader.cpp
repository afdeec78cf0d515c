// Why the rows come out the same as the reference reader's: a plain row is three fields whose end
// bytes are all found, none of more than 99 bytes (the last field's own text, before a surplus comma),
// the whole row within kCarryRoom (or, line by line, a line whose end is found, of at most
// kFastLineChars). Such a field has at most 99 characters after the CR LF to LF change too, and
// converting its raw bytes gives the same number as converting the changed text, because CR and LF are
// both white space that no number runs across. Everything else (a longer field or line, a Ctrl-Z, the
// last row where the data ends, the row after the limit) goes to the reference reader from the start
// of that row, in the state the reference would have been in there. The shape of the data (a byte
// order mark, a header, the separator, the columns) is judged by the same function from the same bytes.
#include "viewer/fast_data_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <utility>

#include <fast_float/fast_float.h>

#include "platform/posix/huge_pages.h"
#include "platform/work_threads.h"
#include "platform/worker.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace viewer {
namespace {

constexpr char kCtrlZ = '\x1a';
// The start of an unfinished row carried into the next window: field by field, two whole fields with
// their ends and a third with its surplus; line by line, a line of at most kFastLineChars with its CR.
// Longer ones are handed over at once.
constexpr std::size_t kCarryRoom = 64 * 1024;
constexpr std::size_t kFastLineChars = kCarryRoom - 2;
// Window positions, carry included, fit in the 30 bits an end keeps for them.
constexpr std::size_t kLargestWindow = std::size_t{1} << 29;

// Line by line, an end is its window position with its kind in the top two bits, so the pass that
// settles the lines reads the text only for their lengths.
constexpr unsigned kKindShift = 30;
constexpr uint32_t kPositionMask = (uint32_t{1} << kKindShift) - 1;
constexpr uint32_t kLineFeed = 1, kCtrlZEnd = 2;
// A settled line end that closes a blank line: its slot is dropped with the unread rows.
constexpr uint32_t kBlankLine = uint32_t{1} << 31;
// The x of a slot that holds no row (a blank line, a line without three numbers). No field converts
// to NaN, so the mark cannot be mistaken for a value.
const double kNoRow = std::numeric_limits<double>::quiet_NaN();

// One bit for each byte of the 64 from `base` (fewer where the text ends) that is a comma, the line end
// (LF, or CR in data without LFs) or a Ctrl-Z: 64 bytes at a time, so that a loop over the bits leaves
// its block rarely (a mispredicted branch each time).
struct BlockBits {
  uint64_t commas = 0, lineFeeds = 0, ctrlZs = 0;
};

[[gnu::always_inline]] inline BlockBits FindBlockBits(const char* text, std::size_t base, std::size_t size,
                                                      char lineEnd) {
  BlockBits bits;
  const std::size_t count = std::min<std::size_t>(64, size - base);
#ifdef __SSE2__
  if (count == 64) {
    const __m128i comma = _mm_set1_epi8(','), lineFeed = _mm_set1_epi8(lineEnd), ctrlZ = _mm_set1_epi8(kCtrlZ);
    for (unsigned i = 0; i != 4; ++i) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + base + 16 * i));
      const auto bitsOf = [&bytes](__m128i c) {
        return static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, c))));
      };
      bits.commas |= bitsOf(comma) << (16 * i);
      bits.lineFeeds |= bitsOf(lineFeed) << (16 * i);
      bits.ctrlZs |= bitsOf(ctrlZ) << (16 * i);
    }
    return bits;
  }
#endif
  for (std::size_t i = 0; i != count; ++i) {
    const char c = text[base + i];
    bits.commas |= uint64_t{c == ','} << i;
    bits.lineFeeds |= uint64_t{c == lineEnd} << i;
    bits.ctrlZs |= uint64_t{c == kCtrlZ} << i;
  }
  return bits;
}

// Line by line: writes the window positions of the LFs and Ctrl-Zs of `text`, in order, with their
// kind, and gives their number.
std::size_t FindLineEnds(const char* text, std::size_t size, char lineEnd, uint32_t* out) {
  std::size_t count = 0;
  for (std::size_t base = 0; base < size; base += 64) {
    const BlockBits bits = FindBlockBits(text, base, size, lineEnd);
    for (uint64_t mask = bits.lineFeeds | bits.ctrlZs; mask != 0; mask &= mask - 1) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctzll(mask));
      const uint32_t kind = (bits.ctrlZs >> bit & 1) != 0 ? kCtrlZEnd : kLineFeed;
      out[count++] = static_cast<uint32_t>(base + bit) | kind << kKindShift;
    }
  }
  return count;
}

struct SettledRows {
  std::size_t rows = 0;      // slots: settled rows, and line by line the blank lines among them
  std::size_t counted = 0;   // rows that count towards the limit
  std::size_t consumed = 0;  // window position after the last of them
  std::size_t comments = 0;  // line by line, the lines among them that start with "#"
  bool handOver = false;     // the reference reads on from `consumed`; else the rest is carried
};

// Whether the field from `fieldStart` to `position` is within the limit: the last field of a row
// (field 2) only up to its first comma, when a surplus follows.
bool FieldFits(const char* text, std::size_t fieldStart, std::size_t position, unsigned field) {
  return position - fieldStart <= kMaxFieldChars ||
         (field == 2 && std::memchr(text + fieldStart, ',', kMaxFieldChars + 1) != nullptr);
}

// The ends of plain rows, in order: bit k is set when the k-th end after a row's field `field` is the
// LF that ends z.
constexpr uint64_t kLineFeedTurns[3] = {0x4924924924924924, 0x2492492492492492, 0x9249249249249249};

// A block of plain rows, taken whole: every comma and LF in it is taken, in turn (two commas and an
// LF a row, from the current field on), when it holds no Ctrl-Z, its first end is within a field's
// length of the field's start (the others are within 64 bytes of the end before them) and the row
// limit is not reached in it. Writes the ends as the walk below would, and false (the walk then goes
// over the block and writes them again) when the block is not that plain.
bool TakeWholeBlock(const BlockBits& bits, std::size_t base, std::size_t maxRows, uint32_t* ends, std::size_t& taken,
                    std::size_t& fieldStart, unsigned& field, SettledRows& settled) {
  const uint64_t all = bits.commas | bits.lineFeeds;
  if (all == 0 || bits.ctrlZs != 0 ||
      base + static_cast<unsigned>(__builtin_ctzll(all)) - fieldStart > kMaxFieldChars) {
    return false;
  }
  // Which of the ends, in order, are LFs; written before it is known whether they are taken.
  uint64_t turns = 0;
  unsigned count = 0;
  for (uint64_t rest = all; rest != 0; rest &= rest - 1, ++count) {
    const unsigned bit = static_cast<unsigned>(__builtin_ctzll(rest));
    ends[taken + count] = static_cast<uint32_t>(base + bit);
    turns |= (bits.lineFeeds >> bit & 1) << count;
  }
  const uint64_t counted = count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
  if (turns != (kLineFeedTurns[field] & counted)) return false;
  const std::size_t rows = (field + count) / 3;  // the LFs among them
  if (settled.rows + rows >= maxRows) return false;
  taken += count;
  field = (field + count) % 3;
  fieldStart = base + (63 - static_cast<unsigned>(__builtin_clzll(all))) + 1;
  if (rows != 0) {
    settled.rows += rows;
    settled.counted = settled.rows;
    settled.consumed = base + (63 - static_cast<unsigned>(__builtin_clzll(bits.lineFeeds))) + 1;
  }
  return true;
}

// Field by field, the one sequential pass: walks the text's commas and LFs in order, taking for x and
// y the next "," and for z the next LF (a comma inside z and an LF inside x or y are passed over), and
// writes the positions it takes to `ends`, three a row.
SettledRows SettleFields(const char* text, std::size_t size, char lineEnd, std::size_t maxRows, bool lastWindow,
                         uint32_t* ends) {
  SettledRows settled;
  if (maxRows == 0) {
    settled.handOver = true;
    return settled;
  }
  std::size_t taken = 0, fieldStart = 0;
  unsigned field = 0;  // 0 x, 1 y, 2 z
  for (std::size_t base = 0; base < size; base += 64) {
    BlockBits bits = FindBlockBits(text, base, size, lineEnd);
    if (TakeWholeBlock(bits, base, maxRows, ends, taken, fieldStart, field, settled)) continue;
    for (;;) {
      const uint64_t wanted = field == 2 ? bits.lineFeeds : bits.commas;
      // A Ctrl-Z before the end the field waits for (or anywhere on, when none comes in this block).
      if ((bits.ctrlZs & ((wanted & (~wanted + 1)) - 1)) != 0) {
        settled.handOver = true;
        return settled;
      }
      if (wanted == 0) break;
      const unsigned bit = static_cast<unsigned>(__builtin_ctzll(wanted));
      const std::size_t position = base + bit;
      if (!FieldFits(text, fieldStart, position, field)) {
        settled.handOver = true;
        return settled;
      }
      ends[taken++] = static_cast<uint32_t>(position);
      fieldStart = position + 1;
      const uint64_t after = ~uint64_t{0} << bit << 1;
      bits.commas &= after;
      bits.lineFeeds &= after;
      bits.ctrlZs &= after;
      if (++field == 3) {
        field = 0;
        settled.consumed = fieldStart;
        settled.counted = ++settled.rows;
        if (settled.rows == maxRows) {
          settled.handOver = true;  // the reference says whether anything was left
          return settled;
        }
      }
    }
  }
  // The row goes on in the next window, unless the data ends here, its field is already too long, or
  // the row would not fit where it is carried.
  settled.handOver = lastWindow || !FieldFits(text, fieldStart, size, field) || size - settled.consumed > kCarryRoom;
  return settled;
}

// Line by line: each LF closes a line; blank ones are marked and do not count towards the limit.
SettledRows SettleLines(const char* text, uint32_t* ends, std::size_t endCount, std::size_t size,
                        std::size_t maxRows, bool lastWindow) {
  SettledRows settled;
  if (maxRows == 0) {
    settled.handOver = true;
    return settled;
  }
  std::size_t lineStart = 0;
  for (const uint32_t* e = ends; e != ends + endCount; ++e) {
    const uint32_t position = *e & kPositionMask;
    std::size_t length = position - lineStart;
    if (length != 0 && text[position - 1] == '\r') --length;  // CR LF reads as LF
    if ((*e >> kKindShift) == kCtrlZEnd || length > kFastLineChars) {
      settled.handOver = true;
      return settled;
    }
    const LineKind kind = KindOfLine({text + lineStart, length});
    const bool blank = kind != LineKind::Row;
    settled.comments += kind == LineKind::Comment;
    ends[settled.rows++] = position | (blank ? kBlankLine : 0);
    lineStart = position + 1;
    settled.consumed = lineStart;
    if (!blank && ++settled.counted == maxRows) {
      settled.handOver = true;
      return settled;
    }
  }
  settled.handOver = lastWindow || size - lineStart > kFastLineChars + 1;
  return settled;
}

// Powers of ten a double holds exactly.
constexpr double kExactTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A plain decimal taken apart: its value is mantissa / 10^afterPoint, negated when `negative`.
struct Decimal {
  uint64_t mantissa = 0;
  unsigned afterPoint = 0;
  bool negative = false;

  // The integer and the power of ten are both exact, so one division rounds the quotient correctly.
  double Value() const {
    const double value = static_cast<double>(mantissa) / kExactTens[afterPoint];
    return std::bit_cast<double>(std::bit_cast<uint64_t>(value) | uint64_t{negative} << 63);
  }
};

// Digits with at most one ".", and no exponent: most numbers of a data file ("-18.2213"). `p` is at
// the first digit or the point; true with `value` (unsigned) when the number ends at `end` or at a
// byte that is no digit, point or exponent letter, and is exact in a double: at most 19 digits whose
// integer is below 2^53, and at most 22 after the point. That integer and that power of ten are then
// both exact, and one division rounds their quotient correctly, as from_chars does.
bool ConvertPlainDecimal(const char* p, const char* end, double& value) {
  uint64_t mantissa = 0;
  int digits = 0, afterPoint = -1;  // -1: no point yet
  for (; p != end; ++p) {
    const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit < 10) {
      mantissa = mantissa * 10 + digit;
      ++digits;
      afterPoint += afterPoint >= 0;
    } else if (*p == '.' && afterPoint < 0) {
      afterPoint = 0;
    } else {
      break;
    }
  }
  if (digits == 0 || digits > 19 || mantissa > (uint64_t{1} << 53) || afterPoint > 22) return false;
  if (p != end && ((*p | 0x20) == 'e' || (*p | 0x20) == 'd' || *p == '.')) return false;
  value = Decimal{mantissa, static_cast<unsigned>(afterPoint < 0 ? 0 : afterPoint)}.Value();
  return true;
}

#ifdef __SSE2__
// Eight digit values (0-9), the first (lowest byte) the most significant, as one number: each step
// multiplies a pair of neighbours by (10^k << width) + 1, leaving 10^k * first + second in the upper
// half of each pair.
uint64_t EightDigits(uint64_t digits) {
  digits = (digits * ((10 << 8) + 1)) >> 8 & 0x00FF00FF00FF00FF;                      // pairs
  digits = (digits * ((100 << 16) + 1)) >> 16 & 0x0000FFFF0000FFFF;                   // fours
  return (digits * ((uint64_t{10000} << 32) + 1)) >> 32;                               // eight
}

// kLanesFrom[i]: the bytes i..15 of 16 set.
struct LaneMasks {
  alignas(16) uint8_t from[17][16];
  constexpr LaneMasks() : from() {
    for (int i = 0; i <= 16; ++i) {
      for (int lane = 0; lane < 16; ++lane) from[i][lane] = lane >= i ? 0xFF : 0;
    }
  }
};
constexpr LaneMasks kLanes;

__m128i LanesFrom(unsigned first) { return _mm_load_si128(reinterpret_cast<const __m128i*>(kLanes.from[first])); }

// The commonest field, without a loop over its characters: an optional sign, then digits with at
// most one "." and nothing else but a last CR (of a CR LF), at most 15 digits (below 2^53) in at most
// 16 bytes. The 16 bytes before the digits' end are read at once, so they must all be readable (from
// `readable` on); those before the field are not looked at. The number is ConvertPlainDecimal's.
[[gnu::always_inline]] inline bool ShortDecimal(const char* field, std::size_t length, const char* readable,
                                                Decimal& out) {
  if (length == 0) return false;
  const bool negative = field[0] == '-', sign = negative || field[0] == '+';
  const char* const digitsEnd = field + length - (field[length - 1] == '\r');
  length = static_cast<std::size_t>(digitsEnd - field) - sign;
  if (length == 0 || length > 16 || digitsEnd - readable < 16) return false;
  // The digits end at byte 15: the field is bytes 16 - length .. 15.
  const unsigned first = 16 - static_cast<unsigned>(length), inField = 0xFFFFu << first & 0xFFFFu;
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(digitsEnd - 16));
  const __m128i values = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
  // A byte is a digit when its value, unsigned, is below 10: compared signed with the top bit flipped.
  const unsigned digitBits = static_cast<unsigned>(_mm_movemask_epi8(
      _mm_cmplt_epi8(_mm_xor_si128(values, _mm_set1_epi8(-128)), _mm_set1_epi8(static_cast<char>(10 - 128)))));
  const unsigned pointBits =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.')))) & inField;
  if (((digitBits | pointBits) & inField) != inField || (pointBits & (pointBits - 1)) != 0 ||
      length - (pointBits != 0) - 1 >= 15) {  // no digit, or more than 15
    return false;
  }
  __m128i digits = _mm_and_si128(values, LanesFrom(first));
  out.afterPoint = 0;
  if (pointBits != 0) {
    // The digits before the point move up one byte into its place (a zero comes in below them).
    const unsigned point = static_cast<unsigned>(__builtin_ctz(pointBits));
    const __m128i above = LanesFrom(point + 1);
    digits = _mm_or_si128(_mm_and_si128(above, digits), _mm_andnot_si128(above, _mm_slli_si128(digits, 1)));
    out.afterPoint = 15 - point;
  }
  const uint64_t high = static_cast<uint64_t>(_mm_cvtsi128_si64(digits));
  const uint64_t low = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(digits, digits)));
  out.mantissa = EightDigits(high) * 100000000 + EightDigits(low);
  out.negative = negative;
  return true;
}
#endif

// A field's number: plain decimals exactly (ShortDecimal, else ConvertPlainDecimal), others through
// fast_float, and everything else (a "d" exponent, no digits, white space after a quote, zero, a value
// out of range) the way ConvertDataNumber decides it, so the value is always the one
// ConvertDataNumber gives. Decimal commas, which are rare, take ConvertDataNumber's way too.
// `readable` is the start of the memory that may be read, at or before the field.
double ConvertField(const char* text, std::size_t length, const char* readable, bool& number) {
#ifdef __SSE2__
  if (Decimal decimal; ShortDecimal(text, length, readable, decimal)) {
    number = true;
    return decimal.Value();
  }
#else
  (void)readable;
#endif
  const char* p = text;
  const char* const end = text + length;
  while (p != end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;  // space, TAB, LF, VT, FF, CR
  if (p != end && *p == '"') ++p;
  const bool negative = p != end && *p == '-';
  if (p != end && (*p == '-' || *p == '+')) ++p;
  if (p != end && ((*p >= '0' && *p <= '9') || *p == '.')) {
    double value = 0.0;
    if (ConvertPlainDecimal(p, end, value)) {
      number = true;
      return negative ? -value : value;
    }
    const auto result = fast_float::from_chars(p, end, value);
    if (result.ec == std::errc() && (result.ptr == end || (*result.ptr | 0x20) != 'd') && std::isnormal(value)) {
      number = true;
      return negative ? -value : value;
    }
  }
  return ConvertDataNumber({text, length}, false, &number);
}

double ConvertField(std::string_view field, bool decimalComma, const char* readable, bool& number) {
  return decimalComma ? ConvertDataNumber(field, true, &number)
                      : ConvertField(field.data(), field.size(), readable, number);
}

// The unread rows the conversion jobs note, gathered from both threads.
struct SharedUnreadRows {
  std::mutex lock;
  UnreadRows rows;
  void Add(const UnreadRows& some) {
    if (some.count == 0) return;
    std::lock_guard<std::mutex> hold(lock);
    rows.Add(some);
  }
};

// What one window's conversion job needs; the slots of rows [first, last) of the window are filled.
struct WindowRows {
  const char* text;
  const char* readable;  // the start of the memory that may be read, at or before the text
  const uint32_t* ends;  // as the settling pass left them
  double *x, *y, *z;     // the window's first slot
  double* colour;        // and its colour column's, or null when the reading has none
  std::size_t rowsBefore;  // the row number before the window's first row
  const DataShape* shape;
  SharedUnreadRows* unread;
};

void ConvertFieldRows(const WindowRows& w, std::size_t first, std::size_t last) {
  UnreadRows unread;
  const char* const text = w.text;
  double *const x = w.x, *const y = w.y, *const z = w.z;
  std::size_t start = first == 0 ? 0 : w.ends[3 * first - 1] + 1;
  for (std::size_t row = first; row != last; ++row) {
    const uint32_t* end = w.ends + 3 * row;
#ifdef __SSE2__
    // The three numbers taken apart first, so that their divisions overlap.
    Decimal decimals[3];
    if (ShortDecimal(text + start, end[0] - start, w.readable, decimals[0]) &&
        ShortDecimal(text + end[0] + 1, end[1] - end[0] - 1, w.readable, decimals[1]) &&
        ShortDecimal(text + end[1] + 1, end[2] - end[1] - 1, w.readable, decimals[2])) [[likely]] {
      x[row] = decimals[0].Value();
      y[row] = decimals[1].Value();
      z[row] = decimals[2].Value();
      start = end[2] + 1;
      continue;
    }
#endif
    bool number[3];
    x[row] = ConvertField(text + start, end[0] - start, w.readable, number[0]);
    y[row] = ConvertField(text + end[0] + 1, end[1] - end[0] - 1, w.readable, number[1]);
    z[row] = ConvertField(text + end[1] + 1, end[2] - end[1] - 1, w.readable, number[2]);
    if (!(number[0] && number[1] && number[2])) [[unlikely]] {
      x[row] = kNoRow;
      std::string_view rowText(text + start, end[2] - start);
      if (!rowText.empty() && rowText.back() == '\r') rowText.remove_suffix(1);  // of the CR LF ending z
      unread.Note(w.rowsBefore + row + 1, rowText);
    }
    start = end[2] + 1;
  }
  w.unread->Add(unread);
}

void ConvertLineRows(const WindowRows& w, std::size_t first, std::size_t last) {
  UnreadRows unread;
  std::size_t start = first == 0 ? 0 : (w.ends[first - 1] & ~kBlankLine) + 1;
  for (std::size_t row = first; row != last; ++row) {
    const uint32_t end = w.ends[row] & ~kBlankLine;
    std::string_view line(w.text + start, end - start);
    start = end + 1;
    w.x[row] = kNoRow;
    if (w.ends[row] & kBlankLine) continue;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view fields[4];
    bool number[4] = {false, false, false, w.colour == nullptr};
    if (SplitLine(line, *w.shape, fields, w.colour ? &fields[3] : nullptr)) {
      const double x = ConvertField(fields[0], w.shape->decimalComma, w.readable, number[0]);
      w.y[row] = ConvertField(fields[1], w.shape->decimalComma, w.readable, number[1]);
      w.z[row] = ConvertField(fields[2], w.shape->decimalComma, w.readable, number[2]);
      if (w.colour) w.colour[row] = ConvertField(fields[3], w.shape->decimalComma, w.readable, number[3]);
      if (number[0] && number[1] && number[2] && number[3]) w.x[row] = x;
    }
    if (std::isnan(w.x[row])) unread.Note(w.rowsBefore + row + 1, line);
  }
  w.unread->Add(unread);
}

// The slots that hold no row go once the reading is done (line by line blank lines and comments,
// and the rows without three numbers), from `from` on; the slots before `slotsEnd` are the windows'
// (the reference's rows follow them), whose rows passed over `numbers` notes. Gives the slots kept.
std::size_t DropEmptySlots(DataColumns& out, bool colour, std::size_t from, std::size_t slotsEnd,
                           RowNumbers& numbers) {
  std::size_t kept = from, keptSlots = 0;
  for (std::size_t i = from; i != out.x.size(); ++i) {
    if (std::isnan(out.x[i])) continue;
    if (i < slotsEnd) {
      numbers.Note(kept - from, i - kept);
      ++keptSlots;
    }
    out.x[kept] = out.x[i];
    out.y[kept] = out.y[i];
    out.z[kept] = out.z[i];
    if (colour) out.colour[kept] = out.colour[i];
    ++kept;
  }
  out.x.resize(kept);
  out.y.resize(kept);
  out.z.resize(kept);
  if (colour) out.colour.resize(kept);
  return keptSlots;
}

// Whether the columns (with the colour column, when the reading has one) hold `rows` rows without moving.
bool HasRoom(const DataColumns& out, bool colour, std::size_t rows) {
  return out.x.capacity() >= rows && out.y.capacity() >= rows && out.z.capacity() >= rows &&
         (!colour || out.colour.capacity() >= rows);
}

void ResizeColumns(DataColumns& out, bool colour, std::size_t rows) {
  out.x.resize(rows);
  out.y.resize(rows);
  out.z.resize(rows);
  if (colour) out.colour.resize(rows);
}

// The reading's end, once the reference has read on (`rest`): the slots that hold no row dropped
// (line by line blank lines and comments leave them too; field by field only the unread rows), and
// the rows' places in the file, the reference's after the slots kept and every slot passed over.
DataReadResult Finished(DataReadResult rest, DataColumns& out, const DataShape& shape, std::size_t startSize,
                        std::size_t slotsSoFar) {
  const bool colour = shape.colourColumn >= 0;
  RowNumbers numbers{shape.RowsBefore(), {}};
  const std::size_t keptSlots =
      !shape.FieldByField() || rest.unread.count != 0
          ? DropEmptySlots(out, colour, startSize, startSize + slotsSoFar, numbers)
          : slotsSoFar;
  if (out.x.size() > startSize + keptSlots) numbers.Note(keptSlots, slotsSoFar - keptSlots);
  for (const auto& [row, passed] : rest.numbers.passedOver)
    numbers.Note(keptSlots + row, slotsSoFar - keptSlots + passed);
  rest.numbers = std::move(numbers);
  rest.shape = shape;
  rest.rows = out.x.size() - startSize;
  return rest;
}

// The windows in use at once: one being read while the helper converts the two before. A window's
// text and ends are used again only once its job is done, so the caller waits for the helper only
// when it needs that window again, not at every window: a helper descheduled in the middle of a
// chunk holds nothing up until then.
constexpr unsigned kSlots = 3;

// One window's conversion job: its rows in chunks, each chunk a part of the worker's job.
struct ConvertJob {
  WindowRows rows;
  std::size_t count;      // slots of the window
  std::size_t chunkRows;  // rows a part converts
  bool byLine;

  static void Part(void* self, std::size_t chunk) {
    const ConvertJob& job = *static_cast<const ConvertJob*>(self);
    const std::size_t first = chunk * job.chunkRows, last = std::min(job.count, first + job.chunkRows);
    job.byLine ? ConvertLineRows(job.rows, first, last) : ConvertFieldRows(job.rows, first, last);
  }
};

// The tuning's window, smaller for a small input: about 16 windows of it (none under 64 KiB), so that
// the helper starts converting sooner and the caller, at the end, waits for less.
std::size_t PlanWindow(const LoaderTuning& tuning, uint64_t inputBytes) {
  const uint64_t share = std::max<uint64_t>(inputBytes / 16, 64u << 10);
  return static_cast<std::size_t>(
      std::clamp<uint64_t>(std::min<uint64_t>(tuning.windowBytes, share), 1, kLargestWindow));
}

// Windows over bytes in memory: each a view, starting at the unfinished row of the one before.
class MemoryWindows {
 public:
  MemoryWindows(std::string_view bytes, const LoaderTuning& tuning)
      : bytes_(bytes), windowBytes_(PlanWindow(tuning, bytes.size())) {}

  std::size_t WindowBytes() const { return windowBytes_; }

  std::string_view Probe() const { return bytes_.substr(0, kShapeProbeBytes); }
  bool ProbeIsWhole() const { return bytes_.size() <= kShapeProbeBytes; }
  void StartAt(std::size_t skip) { bytes_.remove_prefix(skip); }
  std::size_t InputBytes() const { return bytes_.size(); }

  // The next window (in `slot`) starts with this one's bytes from `keepFrom` on.
  void Advance(unsigned /*slot*/, std::size_t keepFrom) {
    offset_ += keepFrom;
    size_ = std::min(bytes_.size() - offset_, size_ - keepFrom + windowBytes_);
  }

  const char* Data() const { return bytes_.data() + offset_; }
  std::size_t Size() const { return size_; }
  const char* Readable() const { return bytes_.data(); }
  bool Last() const { return offset_ + size_ == bytes_.size(); }

  DataReadResult ReadOnFrom(std::size_t position, const DataShape& shape, std::size_t rowsBefore,
                            std::size_t maxRows, DataColumns& out, const StopRequest&) const {
    return ReferenceReadOn(bytes_.substr(offset_ + position), shape, rowsBefore, maxRows, out);
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
  DescriptorWindows(int fd, const LoaderTuning& tuning) : fd_(fd) {
    const off_t position = ::lseek(fd, 0, SEEK_CUR);
    start_ = position > 0 ? static_cast<uint64_t>(position) : 0;
    struct stat info {};
    fileEnd_ = ::fstat(fd, &info) == 0 && static_cast<uint64_t>(info.st_size) > start_
                   ? static_cast<uint64_t>(info.st_size)
                   : start_;
    windowBytes_ = PlanWindow(tuning, fileEnd_ - start_);
    for (auto& buffer : buffers_) buffer.reset(new char[windowBytes_ + kCarryRoom]);
    probe_.resize(static_cast<std::size_t>(std::min<uint64_t>(kShapeProbeBytes, fileEnd_ - start_)));
    probe_.resize(ReadAt(probe_.data(), probe_.size(), start_));
  }

  std::size_t WindowBytes() const { return windowBytes_; }
  std::string_view Probe() const { return probe_; }
  // A file that grows while it is read is judged by the bytes it had.
  bool ProbeIsWhole() const { return start_ + probe_.size() >= fileEnd_; }
  void StartAt(std::size_t skip) { start_ += skip; }
  std::size_t InputBytes() const { return fileEnd_ > start_ ? static_cast<std::size_t>(fileEnd_ - start_) : 0; }

  void Advance(unsigned slot, std::size_t keepFrom) {
    char* const buffer = buffers_[slot].get();
    const std::size_t carry = size_ - keepFrom;
    if (carry != 0) std::memmove(buffer, data_ + keepFrom, carry);  // the same buffer with one slot
    offset_ += keepFrom;
    data_ = buffer;
    const uint64_t readAt = start_ + offset_ + carry;
    const std::size_t planned =
        static_cast<std::size_t>(std::min<uint64_t>(windowBytes_, fileEnd_ > readAt ? fileEnd_ - readAt : 0));
    const std::size_t got = ReadAt(buffer + carry, planned, readAt);
    size_ = carry + got;
    short_ = got < planned;
  }

  const char* Data() const { return data_; }
  std::size_t Size() const { return size_; }
  const char* Readable() const { return data_; }
  bool Last() const { return short_ || start_ + offset_ + size_ >= fileEnd_; }

  DataReadResult ReadOnFrom(std::size_t position, const DataShape& shape, std::size_t rowsBefore,
                            std::size_t maxRows, DataColumns& out, const StopRequest& stop) const {
    if (::lseek(fd_, static_cast<off_t>(start_ + offset_ + position), SEEK_SET) < 0) return {};
    return ReferenceReadOn(fd_, shape, rowsBefore, maxRows, out, stop);
  }

 private:
  // Reads up to `bytes` at `at`; fewer when the file shrank or cannot be read (the reference finds
  // out which).
  std::size_t ReadAt(char* into, std::size_t bytes, uint64_t at) const {
    std::size_t got = 0;
    while (got < bytes) {
      const ssize_t n = ::pread(fd_, into + got, bytes - got, static_cast<off_t>(at + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    return got;
  }

  int fd_;
  std::size_t windowBytes_ = 0;
  std::unique_ptr<char[]> buffers_[kSlots];
  std::string probe_;
  const char* data_ = nullptr;
  uint64_t start_ = 0, fileEnd_ = 0;
  std::size_t offset_ = 0, size_ = 0;
  bool short_ = false;
};

// Room for the rows the whole input will give, judged from the rows of the first window, so the
// columns are not moved (and briefly held twice) as they grow. When that much memory cannot be had
// (the guess may be high, or the file not fit), the columns grow as the rows come instead.
void ReserveRows(std::vector<double>& column, std::size_t rowsNow, std::size_t windowRows, std::size_t windowBytes,
                 std::size_t inputBytes, std::size_t maxRows, bool whole) {
  std::size_t expected = windowRows + 1;  // the reference may add one more row at the end
  if (!whole && windowBytes != 0) {
    const double perByte = static_cast<double>(windowRows) / static_cast<double>(windowBytes);
    expected = static_cast<std::size_t>(perByte * static_cast<double>(inputBytes) * 1.0625) + 16;
  }
  try {
    column.reserve(column.size() + std::min(expected - 1, maxRows - rowsNow) + 1);
  } catch (const std::bad_alloc&) {
    return;
  } catch (const std::length_error&) {
    return;
  }
  // The room not yet written, on huge pages: it is first touched a window at a time on the caller.
  platform::posix::AdviseHugePages(column.data() + column.size(), (column.capacity() - column.size()) * sizeof(double));
}

// What a reading carries from window to window: its shape, the columns, and the counts so far.
struct ReadingSoFar {
  const DataShape* shape;
  DataColumns* out;
  std::size_t maxRows;
  std::size_t convertChunkRows;
  std::size_t published = 0;  // the slots whose conversion job has been handed out
  std::size_t slotsSoFar = 0, counted = 0, comments = 0;
  bool reserved = false;
  SharedUnreadRows unread;
};

// Makes room in the columns for a window's settled rows (reserved once, from the first window's rows
// per byte) and hands their conversion to the worker as `job`.
template <class Windows>
void HandWindow(const Windows& windows, const SettledRows& settled, const uint32_t* slotEnds, ConvertJob& job,
                platform::Worker& worker, platform::Worker::Ticket& ticket, ReadingSoFar& so) {
  DataColumns& out = *so.out;
  const bool colour = so.shape->colourColumn >= 0;
  if (!so.reserved) {
    for (std::vector<double>* column : {&out.x, &out.y, &out.z, colour ? &out.colour : &out.z}) {
      ReserveRows(*column, so.counted, settled.rows, settled.consumed, windows.InputBytes(), so.maxRows,
                  windows.Last());
    }
    so.reserved = true;
  }
  const std::size_t before = out.x.size();
  if (!HasRoom(out, colour, before + settled.rows)) worker.WaitAll();  // the columns are about to move
  ResizeColumns(out, colour, before + settled.rows);
  const WindowRows rows{windows.Data(),
                        windows.Readable(),
                        slotEnds,
                        out.x.data() + before,
                        out.y.data() + before,
                        out.z.data() + before,
                        colour ? out.colour.data() + before : nullptr,
                        so.shape->RowsBefore() + so.slotsSoFar,
                        so.shape,
                        &so.unread};
  job = ConvertJob{rows, settled.rows, so.convertChunkRows, !so.shape->FieldByField()};
  ticket = worker.Hand(&ConvertJob::Part, &job, (settled.rows + so.convertChunkRows - 1) / so.convertChunkRows);
  so.published = out.x.size();
  so.slotsSoFar += settled.rows;
  so.counted += settled.counted;
  so.comments += settled.comments;
}

// The calling thread reads, scans and settles each window; its rows go to the worker as a conversion
// job, which the helper works through while the caller moves on (and the caller too, when it waits
// for the window's slot). A slot's text and ends are used again only once its job is done.
// An allocation that fails, or a stop request between windows, ends the reading with the rows whose
// jobs were handed out.
template <class Windows>
DataReadResult ReadWindows(Windows& windows, std::size_t maxRows, const ReadOptions& options, DataColumns& out,
                           const LoaderTuning& tuning, const StopRequest& stop) {
  const std::size_t windowBytes = windows.WindowBytes();
  const DataShape shape = ShapeOf(windows.Probe(), windows.ProbeIsWhole(), options);
  windows.StartAt(shape.skipBytes);
  const bool byLine = !shape.FieldByField();
  const unsigned threads = tuning.threads != 0 ? tuning.threads : platform::WorkThreads();
  ReadingSoFar so{&shape, &out, maxRows,
                  std::max({std::size_t{1}, tuning.convertChunkRows,
                            (windowBytes + kCarryRoom) / platform::Worker::kMostParts + 1})};
  const std::size_t startSize = so.published = out.x.size();
  std::size_t consumed = 0;
  DataReadEnd cut = DataReadEnd::Whole;  // anything else: the reading ends here, not in the reference
  try {
    std::unique_ptr<uint32_t[]> ends[kSlots];
    for (auto& slotEnds : ends) slotEnds.reset(new uint32_t[windowBytes + kCarryRoom]);
    ConvertJob jobs[kSlots];
    platform::Worker::Ticket tickets[kSlots] = {};
    bool handed[kSlots] = {};
    platform::Worker worker(windows.InputBytes() >= tuning.helperFromBytes ? threads : 1);
    for (unsigned slot = 0;; slot = (slot + 1) % kSlots) {
      if (stop && stop()) {
        cut = DataReadEnd::Stopped;
        break;
      }
      if (handed[slot]) worker.Wait(tickets[slot]);  // its text and ends are free again
      windows.Advance(slot, consumed);
      uint32_t* const slotEnds = ends[slot].get();
      const SettledRows settled =
          byLine ? SettleLines(windows.Data(), slotEnds,
                               FindLineEnds(windows.Data(), windows.Size(), shape.lineEnd, slotEnds), windows.Size(),
                               maxRows - so.counted, windows.Last())
                 : SettleFields(windows.Data(), windows.Size(), shape.lineEnd, maxRows - so.counted, windows.Last(),
                                slotEnds);
      if (settled.rows != 0) {
        HandWindow(windows, settled, slotEnds, jobs[slot], worker, tickets[slot], so);
        handed[slot] = true;
      }
      consumed = settled.consumed;
      if (settled.handOver) break;
    }
  } catch (const std::bad_alloc&) {
    cut = DataReadEnd::OutOfMemory;
  }  // either way every job handed out is done: the worker's end waited for them
  DataReadResult rest;
  if (cut == DataReadEnd::Whole) {
    rest = windows.ReadOnFrom(consumed, shape, shape.RowsBefore() + so.slotsSoFar, maxRows - so.counted, out, stop);
  } else {
    ResizeColumns(out, shape.colourColumn >= 0, so.published);  // the slots of a job never handed out go
    rest.end = cut;
  }
  so.unread.rows.Add(rest.unread);
  rest.unread = so.unread.rows;
  rest.comments += so.comments;
  return Finished(std::move(rest), out, shape, startSize, so.slotsSoFar);
}

}  // namespace

DataReadResult ReadDataFast(int fd, std::size_t maxRows, const ReadOptions& options, DataColumns& out,
                            const LoaderTuning& tuning, const StopRequest& stop) {
  DescriptorWindows windows(fd, tuning);
  return ReadWindows(windows, maxRows, options, out, tuning, stop);
}

DataReadResult ReadDataFast(std::string_view bytes, std::size_t maxRows, const ReadOptions& options,
                            DataColumns& out, const LoaderTuning& tuning, const StopRequest& stop) {
  MemoryWindows windows(bytes, tuning);
  return ReadWindows(windows, maxRows, options, out, tuning, stop);
}

}  // namespace viewer
