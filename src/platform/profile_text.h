// The INI format in memory: lookups and edits on the text of a whole file, with no file access, so the
// rules can be tested and fuzzed on their own. profile.cpp does the file side (reading, atomic replace).
//
// Rules: "[name]" opens a section; "key=value" lines belong to the section above them; section and key
// names match without regard to ASCII case and surrounding blanks; a value is trimmed of blanks and of
// one pair of enclosing quotes; lines starting with ';' or '#' are comments. A line ends at LF, CR LF or
// a CR alone. Edits change only the lines concerned (or add lines), so comments, other keys and other
// sections stay byte for byte. Every function here is linear in the text: a file of millions of keys
// costs one pass, never one pass per key.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::ini {

// The value of `key` in the first section named `section`; nullopt when the section or key is missing.
// One pass over the text: for a single lookup; many lookups go through an Index.
std::optional<std::string> FindValue(std::string_view text, std::string_view section, std::string_view key);

// The keys of a text indexed in one pass, so that each lookup afterwards costs about a hash probe.
// Finds exactly what FindValue finds. Holds views into the text, which must outlive it.
class Index {
 public:
  // `stop`, when given, is asked every few thousand lines; once it answers true the indexing ends
  // there and the index is incomplete (lookups see the lines before that point only).
  explicit Index(std::string_view text, bool (*stop)() = nullptr);

  bool Complete() const { return complete_; }
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

 private:
  struct Slot {
    uint32_t lineBegin = 0;  // + 1; 0 marks an empty slot
    uint32_t name = 0, nameLength = 0;  // the key as written, compared without reading the line again
    uint32_t section = 0;    // which header the key line is under
    uint32_t hash = 0;
  };
  const Slot* Lookup(uint32_t section, std::string_view key, uint32_t hash) const;
  void Insert(const Slot& slot);
  void Grow();

  std::string_view text_;
  std::unordered_map<std::string, uint32_t> firstSection_;  // lower-case name -> its first header's number
  std::vector<Slot> slots_;  // open addressing, linear probing; a power of two in size
  size_t used_ = 0;
  bool complete_ = true;
};

// Whether these can be written without changing the file's structure (no line breaks, no '=' or a
// leading '[', ';' or '#' in a key, no ']' in a section name, names not blank).
bool WritableSection(std::string_view section);
bool WritableKey(std::string_view key);
bool WritableValue(std::string_view value);

// One key to set; `when` can restrict it to a key the section has already (IfPresent: a missing key
// stays missing) or to one it lacks (IfMissing: a present key keeps its value).
struct Edit {
  enum class When { Always, IfPresent, IfMissing };
  std::string_view key, value;
  When when = When::Always;
};

// The text with each key of `edits` set in `section` (a later edit of the same key wins). A key's
// line keeps everything but its value: the key as the file spells it, the blanks around '=' and a
// comment after the value (a blank, then ';' or '#'). Missing keys are added, in the order given, at
// the end of their section; a missing section is added at the end of the text. New lines use the
// text's own line ending (that of its first line: LF, CR LF or CR). Callers check the Writable* rules
// first. One pass over the text for all the keys together.
std::string SetValues(std::string_view text, std::string_view section, std::span<const Edit> edits);
std::string SetValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value);
// The text without the key's line / without the whole section (header and lines up to the next one).
std::string RemoveKey(std::string_view text, std::string_view section, std::string_view key);
std::string RemoveSection(std::string_view text, std::string_view section);

// An integer value read the way the profile functions read it: an optional sign and the decimal digits
// after it, stopping at the first other character; no digits gives 0; wraps modulo 2^32.
uint32_t ParseInteger(std::string_view value);
// The same reading without the wrap: the number itself, or nullopt when it does not fit in 64 bits.
std::optional<int64_t> ParseInteger64(std::string_view value);

}  // namespace platform::ini
