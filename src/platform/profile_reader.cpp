#include "platform/profile_reader.h"

#include <errno.h>

#include <cstdio>
#include <limits>
#include <utility>

#include "platform/posix/termination.h"
#include "platform/printable_text.h"
#include "platform/profile.h"

namespace platform {

namespace {

std::string ReadText(const std::string& path) {
  std::string text;
  if (!ReadProfileFile(path, text)) text.clear();
  return text;
}

std::string_view FileName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

ProfileReader::ProfileReader(std::string path)
    : path_(std::move(path)), text_(ReadText(path_)), index_(text_, &posix::TerminationRequested) {}

std::optional<std::string> ProfileReader::Find(std::string_view section, std::string_view key) const {
  return index_.Find(section, key);
}

std::string ProfileReader::String(std::string_view section, std::string_view key,
                                  std::string_view defaultValue) const {
  std::optional<std::string> value = Find(section, key);
  return value ? *value : std::string(defaultValue);
}

int64_t ProfileReader::Integer(std::string_view section, std::string_view key, int64_t defaultValue,
                               int64_t least, int64_t most) const {
  std::optional<std::string> text = Find(section, key);
  if (!text) return defaultValue;
  std::optional<int64_t> value = ini::ParseInteger64(*text);
  if (value && *value >= least && *value <= most) return *value;
  // Wrapping it into range would give a value nobody wrote (4294967297 rows read as 1).
  std::fprintf(stderr, "%s: %s: %s=%s is out of range; %lld is used\n", program_invocation_short_name,
               PrintableText(FileName(path_)).c_str(), PrintableText(key).c_str(), PrintableText(*text).c_str(),
               static_cast<long long>(defaultValue));
  return defaultValue;
}

int32_t ProfileReader::Int32(std::string_view section, std::string_view key, int32_t defaultValue) const {
  return static_cast<int32_t>(Integer(section, key, defaultValue, std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max()));
}

}  // namespace platform
