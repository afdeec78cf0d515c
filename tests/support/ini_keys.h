// Reads the keys of one section of an INI text the way a test wants to compare them: in file order,
// names and values as written (surrounding blanks dropped). Paired with ini_keys.cpp.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// The key=value lines under [section] (the section name compared without regard to case).
std::vector<std::pair<std::string, std::string>> IniSectionLines(const std::string& ini, const std::string& section);
// The same as a map, for comparing contents.
std::map<std::string, std::string> IniSection(const std::string& ini, const std::string& section);

// The ten view keys in the order the program writes them, with their defaults.
const std::vector<std::pair<std::string, std::string>>& DefaultViewKeys();

}  // namespace testsupport
