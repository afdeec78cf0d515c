#include "platform/printable_text.h"

#include <cstddef>

namespace platform {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

void AppendEscape(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

// How many bytes the UTF-8 character led by `lead` takes, and the range its second byte must fall in
// (narrower than 80-BF where an overlong form, a surrogate or a code point past U+10FFFF would start).
// 0 for a byte that leads no character.
std::size_t SequenceLength(unsigned char lead, unsigned char& low, unsigned char& high) {
  low = 0x80;
  high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    return 4;
  }
  return 0;
}

// How many bytes from `at` form a valid character (its full length), or, when they do not, the length
// of the ill-formed part to replace as a negative number (at least one byte).
std::ptrdiff_t ValidLength(std::string_view text, std::size_t at) {
  unsigned char low, high;
  const std::size_t length = SequenceLength(static_cast<unsigned char>(text[at]), low, high);
  if (length == 0) return -1;
  for (std::size_t i = 1; i < length; ++i) {
    if (at + i >= text.size()) return -static_cast<std::ptrdiff_t>(i);
    const unsigned char next = static_cast<unsigned char>(text[at + i]);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return -static_cast<std::ptrdiff_t>(i);
  }
  return static_cast<std::ptrdiff_t>(length);
}

}  // namespace

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F)) {  // C0, DEL, a raw C1 byte
      AppendEscape(out, byte);
      ++at;
      continue;
    }
    if (byte < 0x80) {
      out += static_cast<char>(byte);
      ++at;
      continue;
    }
    const std::ptrdiff_t length = ValidLength(text, at);
    if (length < 0) {
      out += kReplacement;
      at += static_cast<std::size_t>(-length);
    } else if (byte == 0xC2 && static_cast<unsigned char>(text[at + 1]) <= 0x9F) {  // U+0080-U+009F
      AppendEscape(out, static_cast<unsigned char>(text[at + 1]));
      at += 2;
    } else {
      out.append(text.substr(at, static_cast<std::size_t>(length)));
      at += static_cast<std::size_t>(length);
    }
  }
  return out;
}

}  // namespace platform
