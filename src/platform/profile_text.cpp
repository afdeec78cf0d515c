#include "platform/profile_text.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace platform::ini {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && Blank(s[b])) ++b;
  while (e > b && Blank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Both already trimmed.
bool SameTrimmed(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

uint32_t HashName(std::string_view trimmed, uint32_t seed) {
  uint32_t h = 2166136261u ^ seed;  // FNV-1a over the lower-case name
  for (char c : trimmed) h = (h ^ static_cast<unsigned char>(Lower(c))) * 16777619u;
  return h;
}

enum class Kind { Other, Section, Key };

// One line of the text: where it starts, where its content ends (before its line end), where the
// next line starts; for headers the name, for key lines the key and the raw value, both trimmed.
struct Line {
  size_t begin = 0, contentEnd = 0, end = 0;
  Kind kind = Kind::Other;
  std::string_view name;
  std::string_view value;
};

size_t FirstLineStart(std::string_view text) {
  return text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;  // a byte-order mark belongs to no line
}

// The line [begin, contentEnd) + its line end, classified.
Line Classify(std::string_view text, size_t begin, size_t contentEnd) {
  Line line;
  line.begin = begin;
  line.contentEnd = contentEnd;
  const size_t i = contentEnd;
  line.end = i == text.size() ? i : (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? i + 2 : i + 1;
  std::string_view content = Trim(text.substr(begin, contentEnd - begin));
  if (!content.empty() && content[0] == '[') {
    size_t close = content.find(']');
    if (close != std::string_view::npos) {
      line.kind = Kind::Section;
      line.name = Trim(content.substr(1, close - 1));
    }
  } else if (!content.empty() && content[0] != ';' && content[0] != '#') {
    size_t eq = content.find('=');
    if (eq != std::string_view::npos) {
      line.kind = Kind::Key;
      line.name = Trim(content.substr(0, eq));
      line.value = Trim(content.substr(eq + 1));
    }
  }
  return line;
}

// The one line starting at `pos` (for going back to a line already found).
Line ReadLine(std::string_view text, size_t pos) {
  size_t i = pos;
  while (i < text.size() && text[i] != '\n' && text[i] != '\r') ++i;
  return Classify(text, pos, i);
}

// The lines of a text in order. The next CR and the next LF are each found with memchr and kept
// until passed, so the whole text costs one pass whichever line ends it uses.
class LineScanner {
 public:
  explicit LineScanner(std::string_view text) : text_(text), pos_(FirstLineStart(text)) {}
  bool Done() const { return pos_ >= text_.size(); }
  Line Next() {
    Line line = Classify(text_, pos_, std::min(Following('\r', nextCr_), Following('\n', nextLf_)));
    pos_ = line.end;
    return line;
  }

 private:
  size_t Following(char c, size_t& cached) {
    if (cached == kUnknown || cached < pos_) {
      const void* hit = std::memchr(text_.data() + pos_, c, text_.size() - pos_);
      cached = hit ? static_cast<size_t>(static_cast<const char*>(hit) - text_.data()) : text_.size();
    }
    return cached;
  }

  static constexpr size_t kUnknown = static_cast<size_t>(-1);
  std::string_view text_;
  size_t pos_;
  size_t nextCr_ = kUnknown, nextLf_ = kUnknown;
};

std::string AsRead(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return std::string(v);
}

bool Empty(const Line& line, std::string_view text) {
  return Trim(text.substr(line.begin, line.contentEnd - line.begin)).empty();
}

// Where the first section of that name sits: its header line, the end of its last non-blank line
// (where new keys go), and where it ends (the next header or the end of the text).
struct SectionPlace {
  bool found = false;
  Line header;
  Line lastFilled;  // the header when nothing but blanks follows it
  size_t end = 0;
};

// Walks the lines of the first section named `section`, giving each to `visit`; returns its place.
template <typename Visit>
SectionPlace WalkSection(std::string_view text, std::string_view section, Visit&& visit) {
  section = Trim(section);
  SectionPlace place;
  for (LineScanner lines(text); !lines.Done();) {
    const Line line = lines.Next();
    if (!place.found) {
      if (line.kind == Kind::Section && SameTrimmed(line.name, section)) {
        place.found = true;
        place.header = place.lastFilled = line;
        place.end = line.end;
      }
      continue;
    }
    if (line.kind == Kind::Section) break;
    place.end = line.end;
    if (!Empty(line, text)) place.lastFilled = line;
    visit(line);
  }
  return place;
}

// The line end the text uses: that of its first line; LF when it has none.
std::string_view LineEnding(std::string_view text) {
  size_t i = text.find_first_of("\r\n");
  if (i == std::string_view::npos || text[i] == '\n') return "\n";
  return i + 1 < text.size() && text[i + 1] == '\n' ? "\r\n" : "\r";
}

bool Ended(std::string_view text) { return text.empty() || text.back() == '\n' || text.back() == '\r'; }

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// The part of a key line that is its value, [begin, end): after '=' and its blanks, up to a comment
// (a blank, then ';' or '#') or the line's trailing blanks. A quoted value is skipped whole first.
std::pair<size_t, size_t> ValueSpan(std::string_view text, const Line& line) {
  size_t b = text.find('=', line.begin) + 1;
  while (b < line.contentEnd && Blank(text[b])) ++b;
  size_t from = b;
  if (from < line.contentEnd && (text[from] == '"' || text[from] == '\'')) {
    size_t close = text.find(text[from], from + 1);
    if (close != std::string_view::npos && close < line.contentEnd) from = close + 1;
  }
  size_t e = line.contentEnd;
  for (size_t i = from; i < line.contentEnd; ++i) {  // text[i - 1] is at least the '='
    if ((text[i] == ';' || text[i] == '#') && Blank(text[i - 1])) {
      e = i;
      break;
    }
  }
  while (e > b && Blank(text[e - 1])) --e;
  return {b, e};
}

}  // namespace

std::optional<std::string> FindValue(std::string_view text, std::string_view section, std::string_view key) {
  key = Trim(key);
  std::optional<std::string> value;
  WalkSection(text, section, [&](const Line& line) {
    if (!value && line.kind == Kind::Key && SameTrimmed(line.name, key)) value = AsRead(line.value);
  });
  return value;
}

Index::Index(std::string_view text, bool (*stop)()) : text_(text) {
  if (text.size() >= std::numeric_limits<uint32_t>::max()) {
    complete_ = false;  // past what the offsets hold; the reader never gets so far
    return;
  }
  slots_.resize(64);
  uint32_t section = 0;       // 0: before any header, where keys belong to no section
  bool indexed = false;       // whether the current section is the first of its name
  uint32_t headers = 0;
  size_t count = 0;
  for (LineScanner lines(text); !lines.Done(); ++count) {
    if (stop && count % 4096 == 0 && stop()) {
      complete_ = false;
      return;
    }
    const Line line = lines.Next();
    if (line.kind == Kind::Section) {
      section = ++headers;
      std::string lower(line.name);
      for (char& c : lower) c = Lower(c);
      indexed = firstSection_.try_emplace(std::move(lower), section).second;
    } else if (line.kind == Kind::Key && indexed) {
      const uint32_t hash = HashName(line.name, section);
      if (!Lookup(section, line.name, hash)) {
        const auto name = static_cast<uint32_t>(line.name.data() - text.data());
        Insert({static_cast<uint32_t>(line.begin + 1), name, static_cast<uint32_t>(line.name.size()), section, hash});
      }
    }
  }
}

const Index::Slot* Index::Lookup(uint32_t section, std::string_view key, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (s.lineBegin == 0) return nullptr;
    if (s.hash == hash && s.section == section && SameTrimmed(text_.substr(s.name, s.nameLength), key)) return &s;
  }
}

void Index::Insert(const Slot& slot) {
  if ((used_ + 1) * 2 > slots_.size()) Grow();
  const size_t mask = slots_.size() - 1;
  size_t i = slot.hash & mask;
  while (slots_[i].lineBegin != 0) i = (i + 1) & mask;
  slots_[i] = slot;
  ++used_;
}

void Index::Grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  const size_t mask = slots_.size() - 1;
  for (const Slot& s : old) {
    if (s.lineBegin == 0) continue;
    size_t i = s.hash & mask;
    while (slots_[i].lineBegin != 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

std::optional<std::string> Index::Find(std::string_view section, std::string_view key) const {
  std::string lower(Trim(section));
  for (char& c : lower) c = Lower(c);
  auto it = firstSection_.find(lower);
  if (it == firstSection_.end()) return std::nullopt;
  key = Trim(key);
  const Slot* slot = Lookup(it->second, key, HashName(key, it->second));
  if (!slot) return std::nullopt;
  return AsRead(ReadLine(text_, slot->lineBegin - 1).value);
}

bool WritableSection(std::string_view section) {
  return !Trim(section).empty() && !HasLineBreak(section) && section.find(']') == std::string_view::npos;
}

bool WritableKey(std::string_view key) {
  std::string_view k = Trim(key);
  return !k.empty() && !HasLineBreak(key) && key.find('=') == std::string_view::npos && k[0] != '[' &&
         k[0] != ';' && k[0] != '#';
}

bool WritableValue(std::string_view value) { return !HasLineBreak(value); }

std::string SetValues(std::string_view text, std::string_view section, std::span<const Edit> edits) {
  // The keys to set, each once (a later edit wins), and the line each was found on.
  struct Wanted {
    std::string_view key, value;
    Edit::When when;
    std::optional<Line> line;
  };
  std::vector<Wanted> wanted;
  for (const Edit& edit : edits) {
    const std::string_view key = Trim(edit.key);
    auto same = std::find_if(wanted.begin(), wanted.end(), [&](const Wanted& w) { return SameTrimmed(w.key, key); });
    if (same != wanted.end()) {
      same->value = edit.value;
      same->when = edit.when;
    } else {
      wanted.push_back({key, edit.value, edit.when, std::nullopt});
    }
  }
  size_t unfound = wanted.size();
  SectionPlace place = WalkSection(text, section, [&](const Line& line) {
    if (unfound == 0 || line.kind != Kind::Key) return;
    for (Wanted& w : wanted) {
      if (!w.line && SameTrimmed(line.name, w.key)) {
        w.line = line;
        --unfound;
        break;
      }
    }
  });

  const std::string_view eol = LineEnding(text);
  std::string added;  // the lines of the keys not found
  for (const Wanted& w : wanted) {
    if (!w.line && w.when != Edit::When::IfPresent) added.append(w.key).append("=").append(w.value).append(eol);
  }
  std::string out;
  out.reserve(text.size() + added.size() + 64);
  if (!place.found) {
    if (added.empty()) return std::string(text);
    out = text;
    if (!Ended(out)) out += eol;
    out.append("[").append(Trim(section)).append("]").append(eol).append(added);
    return out;
  }
  // Splices in text order: each found key's value, then the new lines after the section's last
  // non-blank line, so the blank lines between sections stay where they are.
  struct Splice {
    size_t from, to;
    std::string_view with;
    bool addLine;
  };
  std::vector<Splice> splices;
  for (const Wanted& w : wanted) {
    if (!w.line || w.when == Edit::When::IfMissing) continue;
    auto [b, e] = ValueSpan(text, *w.line);
    splices.push_back({b, e, w.value, false});
  }
  if (!added.empty()) splices.push_back({place.lastFilled.end, place.lastFilled.end, added, true});
  std::sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) { return a.from < b.from; });
  size_t at = 0;
  for (const Splice& s : splices) {
    out.append(text.substr(at, s.from - at));
    if (s.addLine && !Ended(out)) out += eol;  // the anchor may be the last line, without a line end
    out.append(s.with);
    // A comment that followed the value directly keeps a blank before it, or it would join the value.
    if (!s.addLine && s.to < text.size() && (text[s.to] == ';' || text[s.to] == '#') && !s.with.empty()) out += ' ';
    at = s.to;
  }
  out.append(text.substr(at));
  return out;
}

std::string SetValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
  const Edit one[] = {{key, value}};
  return SetValues(text, section, one);
}

std::string RemoveKey(std::string_view text, std::string_view section, std::string_view key) {
  key = Trim(key);
  std::optional<Line> found;
  WalkSection(text, section, [&](const Line& line) {
    if (!found && line.kind == Kind::Key && SameTrimmed(line.name, key)) found = line;
  });
  if (!found) return std::string(text);
  return std::string(text.substr(0, found->begin)) + std::string(text.substr(found->end));
}

std::string RemoveSection(std::string_view text, std::string_view section) {
  SectionPlace place = WalkSection(text, section, [](const Line&) {});
  if (!place.found) return std::string(text);
  return std::string(text.substr(0, place.header.begin)) + std::string(text.substr(place.end));
}

uint32_t ParseInteger(std::string_view value) {
  value = Trim(value);
  size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  uint32_t n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
    n = n * 10u + static_cast<uint32_t>(value[i] - '0');  // unsigned: wraps, never overflows
  return negative ? 0u - n : n;
}

std::optional<int64_t> ParseInteger64(std::string_view value) {
  value = Trim(value);
  size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  // The magnitude, up to 2^63 for the most negative number.
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  uint64_t n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(value[i] - '0');
    if (n > (limit - digit) / 10) return std::nullopt;
    n = n * 10 + digit;
  }
  return negative ? static_cast<int64_t>(0 - n) : static_cast<int64_t>(n);
}

}  // namespace platform::ini
