// Fuzzes the INI reader and editor with arbitrary file contents: lookups never crash, and an edit
// changes exactly the key it writes — the written value reads back, and every other key of every
// section reads as before; the index agrees with the one-pass reading.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/profile_text.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The value as a read gives it back: blanks trimmed, one pair of enclosing quotes removed.
std::string AsRead(std::string_view v) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  return std::string(v);
}

// Names as the reader matches them: blanks around them and ASCII case do not count.
bool Same(std::string_view a, std::string_view b) {
  auto trim = [](std::string_view v) {
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
    return v;
  };
  a = trim(a);
  b = trim(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? a[i] - 'A' + 'a' : a[i];
    char y = b[i] >= 'A' && b[i] <= 'Z' ? b[i] - 'A' + 'a' : b[i];
    if (x != y) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace platform::ini;
  std::string_view all(reinterpret_cast<const char*>(data), size);
  // The first line chooses section, key and value (separated by '|'); the rest is the file.
  size_t nl = all.find('\n');
  std::string_view head = nl == std::string_view::npos ? all : all.substr(0, nl);
  std::string_view text = nl == std::string_view::npos ? std::string_view() : all.substr(nl + 1);
  size_t a = head.find('|'), b = a == std::string_view::npos ? a : head.find('|', a + 1);
  std::string section(a == std::string_view::npos ? head : head.substr(0, a));
  std::string key(a == std::string_view::npos ? "k" : head.substr(a + 1, b == std::string_view::npos ? b : b - a - 1));
  std::string value(b == std::string_view::npos ? "v" : head.substr(b + 1));

  // The index finds what the one-pass reading finds.
  const Index index(text);
  for (const std::string& k : {key, std::string("k"), std::string("Width")})
    Check(index.Find(section, k) == FindValue(text, section, k));
  (void)ParseInteger(text.substr(0, 64));
  (void)ParseInteger64(text.substr(0, 64));

  if (!WritableSection(section) || !WritableKey(key) || !WritableValue(value)) return 0;
  std::string edited = SetValue(text, section, key, value);
  // A comment after the old value (a blank, then ";" or "#") stays after the new one, and a string
  // read keeps it: then the value need only stand in the file.
  const auto old = FindValue(text, section, key);
  const std::string oldLine = old ? " " + *old : std::string();  // the blanks after '=' come first
  bool hadComment = false;
  for (const char* mark : {" ;", "\t;", " #", "\t#"})
    hadComment = hadComment || oldLine.find(mark) != std::string::npos;
  if (hadComment) {
    Check(edited.find(AsRead(value)) != std::string::npos);
  } else {
    Check(FindValue(edited, section, key) == AsRead(value));
  }

  // Keys elsewhere are untouched: probe a few other names in the same and another section.
  for (const char* other : {"k", "K2", "Width", "NAME", "x"}) {
    if (!Same(other, key)) Check(FindValue(edited, section, other) == FindValue(text, section, other));
    if (!Same(section, "CONFIG")) Check(FindValue(edited, "CONFIG", other) == FindValue(text, "CONFIG", other));
  }

  std::string removed = RemoveKey(edited, section, key);
  (void)FindValue(removed, section, key);
  std::string noSection = RemoveSection(edited, section);
  (void)FindValue(noSection, section, key);
  return 0;
}
