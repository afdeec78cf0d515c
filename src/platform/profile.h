// The private-profile (INI file) functions the program reads and writes config.ini with. Reading: the
// default when the file, section or key is missing. Writing: the whole file is replaced atomically
// (a temporary file in the same folder, then rename), so a failed write leaves the old file as it was.
// Paths are used as given ('/' separators); names match without regard to ASCII case.
#pragma once

#include <string>

#include "platform/win32.h"

// The value as an integer (sign and decimal digits; other text reads as 0), the default when missing.
// UINT like the original: callers cast to int32_t, so -12 comes back as -12.
UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue, const char* path);

// The value as text (no length limit), the default when missing.
std::string GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                     const char* path);

// Sets the key, creating the key, the section and the file when missing. A null value removes the
// key; a null key removes the section. False, with the file untouched, when the names or value would
// break the file's structure (line breaks, '=' in a key...), when the file is read-only or is not a
// regular file, or when the folder cannot take the new file.
bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* path);

namespace platform {

// Anything bigger is not a settings file: it is neither read nor replaced.
inline constexpr long long kLargestProfileBytes = 64LL << 20;

// The whole file as text; false when it does not exist, is not a readable regular file or is larger
// than kLargestProfileBytes.
bool ReadProfileFile(const std::string& path, std::string& text);
// Whether `path` is a plain file too large to be read as one (so the callers can say so).
bool ProfileTooLarge(const std::string& path);
// Replaces the file with `text` atomically, keeping its permissions; false on any failure, with `error`
// (when given) saying why. A missing file is not created in a folder without any write bit, even by root.
bool ReplaceProfileFile(const std::string& path, const std::string& text, std::string* error = nullptr);

}  // namespace platform
