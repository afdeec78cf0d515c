// The command-line options both programs take to show and read the data differently for one run:
// the viewer before its data path, scatterview-render among its files. One parser, so the two
// accept the same names and values and refuse the same mistakes. Paired with view_options.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "viewer/data_format.h"

namespace viewer {

// Each one set replaces the config.ini key of the same meaning; unset ones leave the key in force.
struct ViewOptions {
  std::optional<bool> lines;       // --lines / --points (LINESET)
  std::optional<int32_t> fit;      // --no-fit / --fit / --fit-axes (FIT 0, 1, 2)
  std::optional<bool> byHeight;    // --colour-by-height / --white (COLORMAP)
  std::optional<bool> ranges;      // --ranges / --no-ranges (RANGES)
  std::optional<int64_t> maxRows;  // --max-rows N, at least 1 (MAXROWS)
  std::optional<char> delimiter;   // --delimiter C (DELIMITER): as ParseDelimiter reads it
  std::optional<std::array<int, 3>> columns;  // --columns I,J,K (COLUMNS): 1-based
  std::optional<int32_t> pointSize;  // --point-size N, 1 to kMostPointSize (POINTSIZE)
  std::optional<int> colourColumn;   // --colour-column K (COLOUR_COLUMN): 1-based; also colours the rows
};

// The sides in pixels a point of the rows may have (POINTSIZE, --point-size, the - and + keys).
constexpr int32_t kMostPointSize = 9;

enum class ViewOptionKind { NotOne, Switch, TakesValue };

// Whether `name` ("--fit", without any "=value") is one of the options, and whether it takes a value.
ViewOptionKind KindOfViewOption(std::string_view name);

// Sets option `name` in `options`; `value` is used only by the options that take one. "" when done,
// else what was wrong, in one line.
std::string SetViewOption(std::string_view name, std::string_view value, ViewOptions& options);

// The reading the keys DELIMITER, COLUMNS and COLOUR_COLUMN ask for: a value that does not parse (or
// is empty) leaves its part automatic, as a missing key does.
ReadOptions ReadOptionsFromKeys(std::string_view delimiter, std::string_view columns,
                                std::string_view colourColumn = {});

// `keys` with --delimiter, --columns and --colour-column over them.
ReadOptions WithReadOptions(ReadOptions keys, const ViewOptions& options);

}  // namespace viewer
