#include "viewer/view_options.h"

#include <charconv>
#include <limits>

namespace viewer {
namespace {

// A whole number of at least 1 with nothing around it ("+5" is fine, "5x" and "1e3" are not).
bool ParseCount(std::string_view text, int64_t& out) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1) return false;
  out = value;
  return true;
}

}  // namespace

ViewOptionKind KindOfViewOption(std::string_view name) {
  for (std::string_view s : {"--lines", "--points", "--fit", "--fit-axes", "--no-fit", "--colour-by-height", "--white",
                             "--ranges", "--no-ranges"})
    if (name == s) return ViewOptionKind::Switch;
  for (std::string_view s : {"--max-rows", "--delimiter", "--columns", "--point-size", "--colour-column"})
    if (name == s) return ViewOptionKind::TakesValue;
  return ViewOptionKind::NotOne;
}

std::string SetViewOption(std::string_view name, std::string_view value, ViewOptions& o) {
  if (name == "--lines") o.lines = true;
  else if (name == "--points") o.lines = false;
  else if (name == "--no-fit") o.fit = 0;
  else if (name == "--fit") o.fit = 1;
  else if (name == "--fit-axes") o.fit = 2;
  else if (name == "--colour-by-height") o.byHeight = true;
  else if (name == "--white") o.byHeight = false;
  else if (name == "--ranges") o.ranges = true;
  else if (name == "--no-ranges") o.ranges = false;
  else if (name == "--max-rows") {
    int64_t rows = 0;
    if (!ParseCount(value, rows)) return "--max-rows needs a count of at least 1, not '" + std::string(value) + "'";
    o.maxRows = rows;
  } else if (name == "--delimiter") {
    char delimiter = 0;
    if (!ParseDelimiter(value, delimiter))
      return "--delimiter needs one character, 'tab' or 'space', not '" + std::string(value) + "'";
    o.delimiter = delimiter;
  } else if (name == "--columns") {
    std::array<int, 3> columns{};
    if (!ParseColumns(value, columns))
      return "--columns needs three column numbers I,J,K from 1 to " + std::to_string(kMostColumns) + ", not '" +
             std::string(value) + "'";
    o.columns = columns;
  } else if (name == "--point-size") {
    int64_t size = 0;
    if (!ParseCount(value, size) || size > kMostPointSize)
      return "--point-size needs a whole number from 1 to " + std::to_string(kMostPointSize) + ", not '" +
             std::string(value) + "'";
    o.pointSize = static_cast<int32_t>(size);
  } else if (name == "--colour-column") {
    int64_t column = 0;
    if (!ParseCount(value, column) || column > kMostColumns)
      return "--colour-column needs a column number from 1 to " + std::to_string(kMostColumns) + ", not '" +
             std::string(value) + "'";
    o.colourColumn = static_cast<int>(column);
  } else {
    return "unknown option '" + std::string(name) + "'";
  }
  return "";
}

ReadOptions ReadOptionsFromKeys(std::string_view delimiter, std::string_view columns,
                                std::string_view colourColumn) {
  ReadOptions read;
  if (!ParseDelimiter(delimiter, read.delimiter)) read.delimiter = 0;
  if (!ParseColumns(columns, read.columns)) read.columns = {};
  if (int64_t column = 0; ParseCount(colourColumn, column) && column <= kMostColumns)
    read.colourColumn = static_cast<int>(column);
  return read;
}

ReadOptions WithReadOptions(ReadOptions keys, const ViewOptions& options) {
  if (options.delimiter) keys.delimiter = *options.delimiter;
  if (options.columns) keys.columns = *options.columns;
  if (options.colourColumn) keys.colourColumn = *options.colourColumn;
  return keys;
}

}  // namespace viewer
