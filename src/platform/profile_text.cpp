#include "platform/profile_text.h"

#include <vector>

namespace platform::ini {

namespace {

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  a = Trim(a);
  b = Trim(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

enum class Kind { Other, Section, Key };

// One line of the text: where it starts, where its content ends (before CR LF / LF), where the next
// line starts; for headers the name, for key lines the key and the raw value.
struct Line {
  size_t begin = 0, contentEnd = 0, end = 0;
  Kind kind = Kind::Other;
  std::string_view name;   // section name or key
  std::string_view value;  // key lines only
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  size_t pos = 0;
  // A UTF-8 byte-order mark belongs to no line's content.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
  while (pos < text.size()) {
    Line line;
    line.begin = pos;
    size_t nl = text.find('\n', pos);
    line.end = nl == std::string_view::npos ? text.size() : nl + 1;
    line.contentEnd = nl == std::string_view::npos ? text.size() : nl;
    if (line.contentEnd > line.begin && text[line.contentEnd - 1] == '\r') --line.contentEnd;
    std::string_view content = Trim(text.substr(line.begin, line.contentEnd - line.begin));
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
    lines.push_back(line);
    pos = line.end;
  }
  return lines;
}

// Index range [first, last) of the lines inside the first section of that name, header excluded;
// first is lines.size() + 1 when there is no such section.
struct Range {
  size_t header, first, last;
  bool found;
};

Range FindSection(const std::vector<Line>& lines, std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != Kind::Section || !SameName(lines[i].name, section)) continue;
    size_t j = i + 1;
    while (j < lines.size() && lines[j].kind != Kind::Section) ++j;
    return {i, i + 1, j, true};
  }
  return {0, 0, 0, false};
}

const Line* FindKey(const std::vector<Line>& lines, const Range& range, std::string_view key) {
  for (size_t i = range.first; i < range.last; ++i)
    if (lines[i].kind == Kind::Key && SameName(lines[i].name, key)) return &lines[i];
  return nullptr;
}

std::string_view LineEnding(std::string_view text) {
  return text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
}

// Ends an unfinished last line; a bare CR there becomes CR LF rather than part of the line.
void FinishLastLine(std::string& out, std::string_view eol) {
  if (out.empty() || out.back() == '\n') return;
  if (out.back() == '\r') out += '\n';
  else out += eol;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::optional<std::string> FindValue(std::string_view text, std::string_view section, std::string_view key) {
  std::vector<Line> lines = SplitLines(text);
  Range range = FindSection(lines, section);
  if (!range.found) return std::nullopt;
  const Line* line = FindKey(lines, range, key);
  if (!line) return std::nullopt;
  std::string_view v = line->value;
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return std::string(v);
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

std::string SetValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
  std::vector<Line> lines = SplitLines(text);
  std::string_view eol = LineEnding(text);
  std::string keyLine = std::string(Trim(key)) + "=" + std::string(value);
  Range range = FindSection(lines, section);
  std::string out;
  if (!range.found) {
    out = std::string(text);
    FinishLastLine(out, eol);
    out.push_back('[');
    out.append(Trim(section)).push_back(']');
    out.append(eol).append(keyLine).append(eol);
    return out;
  }
  if (const Line* line = FindKey(lines, range, key)) {
    // Keep the key as the file spells it; replace the rest of the line content.
    std::string spelled(line->name);
    out = std::string(text.substr(0, line->begin)) + spelled + "=" + std::string(value) +
          std::string(text.substr(line->contentEnd));
    return out;
  }
  // After the section's last non-blank line, so the blank lines between sections stay where they are.
  size_t after = range.header;
  for (size_t i = range.first; i < range.last; ++i)
    if (!Trim(text.substr(lines[i].begin, lines[i].contentEnd - lines[i].begin)).empty()) after = i;
  const Line& anchor = lines[after];
  out = std::string(text.substr(0, anchor.end));
  FinishLastLine(out, eol);  // the anchor may be the last line, without a line feed
  out += keyLine + std::string(eol);
  out += text.substr(anchor.end);
  return out;
}

std::string RemoveKey(std::string_view text, std::string_view section, std::string_view key) {
  std::vector<Line> lines = SplitLines(text);
  Range range = FindSection(lines, section);
  if (!range.found) return std::string(text);
  const Line* line = FindKey(lines, range, key);
  if (!line) return std::string(text);
  return std::string(text.substr(0, line->begin)) + std::string(text.substr(line->end));
}

std::string RemoveSection(std::string_view text, std::string_view section) {
  std::vector<Line> lines = SplitLines(text);
  Range range = FindSection(lines, section);
  if (!range.found) return std::string(text);
  size_t from = lines[range.header].begin;
  size_t to = range.last < lines.size() ? lines[range.last].begin : text.size();
  return std::string(text.substr(0, from)) + std::string(text.substr(to));
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

}  // namespace platform::ini
