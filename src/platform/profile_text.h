// The INI format in memory: lookups and edits on the text of a whole file, with no file access, so the
// rules can be tested and fuzzed on their own. profile.cpp does the file side (reading, atomic replace).
//
// Rules: "[name]" opens a section; "key=value" lines belong to the section above them; section and key
// names match without regard to ASCII case and surrounding blanks; a value is trimmed of blanks and of
// one pair of enclosing quotes; lines starting with ';' or '#' are comments. Edits change only the line
// concerned (or add one), so comments, other keys and other sections stay byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::ini {

// The value of `key` in the first section named `section`; nullopt when the section or key is missing.
std::optional<std::string> FindValue(std::string_view text, std::string_view section, std::string_view key);

// Whether these can be written without changing the file's structure (no line breaks, no '=' or a
// leading '[', ';' or '#' in a key, no ']' in a section name, names not blank).
bool WritableSection(std::string_view section);
bool WritableKey(std::string_view key);
bool WritableValue(std::string_view value);

// The text with `key` set to `value`: the key's line is rewritten in place, a missing key is added at
// the end of its section, a missing section is added at the end of the text. New lines use the text's
// own line ending (CR LF when it has any, else LF). Callers check the Writable* rules first.
std::string SetValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value);
// The text without the key's line / without the whole section (header and lines up to the next one).
std::string RemoveKey(std::string_view text, std::string_view section, std::string_view key);
std::string RemoveSection(std::string_view text, std::string_view section);

// An integer value read the way the profile functions read it: an optional sign and the decimal digits
// after it, stopping at the first other character; no digits gives 0; wraps modulo 2^32.
uint32_t ParseInteger(std::string_view value);

}  // namespace platform::ini
