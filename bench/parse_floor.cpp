// The floor of reading a data file: one thread, one plain fast_float pass over a comma file of
// "x,y,z" rows already in memory, into three columns reserved beforehand. Reading the file into
// memory and counting its rows are not timed; the first touch of the columns' pages is, as it is in
// any reader that fills them.
//
//   parse_floor FILE      prints the seconds of the pass (stdout), the rows parsed (stderr)
//
// bench/png_vs_parse_floor.sh sets a whole picture of the same file beside it. Only plain comma rows
// are expected (as make_dataset writes them): a field that is no number ends the run with status 1.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include <fast_float/fast_float.h>

namespace {

bool ReadWhole(const char* path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: parse_floor FILE\n");
    return 2;
  }
  std::string text;
  if (!ReadWhole(argv[1], text)) {
    std::fprintf(stderr, "parse_floor: cannot read %s\n", argv[1]);
    return 1;
  }
  size_t rows = 0;
  for (const char c : text) rows += c == '\n';
  std::vector<double> x, y, z;
  x.reserve(rows), y.reserve(rows), z.reserve(rows);

  const auto start = std::chrono::steady_clock::now();
  const char* p = text.data();
  const char* const end = p + text.size();
  bool ok = true;
  // Each field ends at one separator byte (a comma, then the line feed), skipped unlooked-at.
  auto field = [&](std::vector<double>& column) {
    double value = 0;
    const auto result = fast_float::from_chars(p, end, value);
    ok = ok && result.ec == std::errc();
    column.push_back(value);
    p = std::min(result.ptr + 1, end);  // a last row cut short fails on its next field
  };
  while (p < end && ok) {
    field(x), field(y), field(z);
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;

  if (!ok) {
    std::fprintf(stderr, "parse_floor: %s holds a field that is no number (row %zu)\n", argv[1],
                 x.size());
    return 1;
  }
  std::printf("%.4f\n", seconds.count());
  // The last row, printed, keeps the columns alive past the timed pass.
  if (!z.empty()) {
    std::fprintf(stderr, "parse_floor: %zu rows, the last %g,%g,%g\n", z.size(), x.back(), y.back(),
                 z.back());
  }
  return 0;
}
