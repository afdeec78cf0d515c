#include "ini_keys.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace testsupport {

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::vector<std::pair<std::string, std::string>> IniSectionLines(const std::string& ini, const std::string& section) {
  std::vector<std::pair<std::string, std::string>> lines;
  std::istringstream in(ini);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    std::string t = Trim(line);
    if (!t.empty() && t.front() == '[') {
      size_t close = t.find(']');
      inside = close != std::string::npos && SameIgnoringCase(Trim(t.substr(1, close - 1)), section);
      continue;
    }
    size_t eq = t.find('=');
    if (inside && eq != std::string::npos) lines.emplace_back(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
  }
  return lines;
}

std::map<std::string, std::string> IniSection(const std::string& ini, const std::string& section) {
  std::map<std::string, std::string> keys;
  for (auto& [k, v] : IniSectionLines(ini, section)) keys[k] = v;
  return keys;
}

const std::vector<std::pair<std::string, std::string>>& DefaultViewKeys() {
  static const std::vector<std::pair<std::string, std::string>> keys = {
      {"SHOWHINT", "1"},  {"LINESET", "0"},  {"AUTOANIME", "0"}, {"SHOWAXIS", "1"}, {"CAMERA_X", "150"},
      {"CAMERA_Y", "30"}, {"CAMERA_T", "45"}, {"CAMERA_R", "250"}, {"AXIS_X", "0"},   {"AXIS_Y", "0"}};
  return keys;
}

}  // namespace testsupport
