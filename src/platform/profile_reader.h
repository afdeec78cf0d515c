// A settings file read once for the many keys a program reads at start: one read of the file and one
// pass over its text, then each key costs a hash lookup (a file of millions of keys would otherwise
// be read again for every key). Integer keys can be read with their range checked, which the
// profile's own integer read (UINT, wrapping like the original) cannot say. Paired with
// profile_reader.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/profile_text.h"

namespace platform {

class ProfileReader {
 public:
  // Reads the file at `path` as ReadProfileFile does (missing, unreadable or too large: every key
  // missing). A termination request (SIGINT, SIGTERM) cuts a long reading short: see Complete.
  explicit ProfileReader(std::string path);
  ProfileReader(const ProfileReader&) = delete;
  ProfileReader& operator=(const ProfileReader&) = delete;

  // False when a termination request stopped the reading part-way: the keys after that point read as
  // missing, so what was read must not be written back as if it were the file's.
  bool Complete() const { return index_.Complete(); }

  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  std::string String(std::string_view section, std::string_view key, std::string_view defaultValue) const;

  // An integer key read as the profile reads it (sign and digits; no number reads as 0), the default
  // when missing. A number outside [least, most] gives the default too, with one line on stderr
  // naming the file and key: "scatterview: config.ini: AXIS_Y=-99999999999 is out of range; 0 is used".
  int64_t Integer(std::string_view section, std::string_view key, int64_t defaultValue, int64_t least,
                  int64_t most) const;
  int32_t Int32(std::string_view section, std::string_view key, int32_t defaultValue) const;

 private:
  std::string path_;
  std::string text_;
  ini::Index index_;  // views into text_, so declared after it
};

}  // namespace platform
