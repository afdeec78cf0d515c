// Fuzzes the data-file readers against each other: the fast reader, from memory and through a
// descriptor, in windows from one byte to many, with and without its helper thread, must give the
// reference reader's rows bit for bit, note the same unread rows and end for the same reason, under
// small row limits too, in every shape: field by field, and line by line with each separator and
// with columns picked out of a wider row; titles, comments and a header before the rows, and lines
// ended by CR alone, come from the inputs.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "viewer/data_format.h"
#include "viewer/fast_data_reader.h"

namespace {

// Small limits too, so the fuzzer reaches the end of the row loop quickly.
constexpr std::size_t kLimits[] = {0, 1, 3, viewer::kMaxDataRows};

// Windows of one byte and of a few bytes carry rows across windows all the time; a large one reads
// the input at once (a fuzz input is never longer). helperFromBytes 0 makes every reading use the
// helper thread; conversion chunks of a row or two make it and the caller share every window.
constexpr viewer::LoaderTuning kTunings[] = {
    {1, 1, 0, 1}, {2, 7, 0, 1}, {2, 64, 0, 2}, {1, 301, 0, 3}, {2, 64u << 10, 0, 1},
};

bool SameRows(const viewer::DataColumns& a, const viewer::DataColumns& b) {
  auto same = [](const std::vector<double>& p, const std::vector<double>& q) {
    return p.size() == q.size() &&
           (p.empty() || std::memcmp(p.data(), q.data(), p.size() * sizeof(double)) == 0);
  };
  return same(a.x, b.x) && same(a.y, b.y) && same(a.z, b.z) && same(a.colour, b.colour);
}

// The automatic shape (which the input's first row decides), and each way of asking for one.
const viewer::ReadOptions kOptions[] = {
    {}, {';', {}}, {' ', {}}, {'\t', {}}, {',', {2, 1, 3}}, {0, {3, 3, 1}}, {0, {}, 4},
};

bool SameResult(const viewer::DataReadResult& a, const viewer::DataReadResult& b) {
  return a.rows == b.rows && a.end == b.end && a.comments == b.comments && a.numbers == b.numbers &&
         a.unread.count == b.unread.count &&
         a.unread.first == b.unread.first && a.unread.text == b.unread.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const int fd = memfd_create("fuzz_data_file", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size != 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  for (const viewer::ReadOptions& options : kOptions) {
    // Every limit and window for the automatic shape; the asked-for shapes share the same windows, so
    // a few of each keep the run quick.
    const bool automatic = options == viewer::ReadOptions{};
    for (std::size_t limit : kLimits) {
      if (!automatic && limit != 1 && limit != viewer::kMaxDataRows) continue;
      viewer::DataColumns reference;
      const viewer::DataReadResult expected = viewer::ReferenceReadBuffer(bytes, limit, options, reference);
      if (expected.rows > limit || reference.x.size() != expected.rows || reference.y.size() != expected.rows ||
          reference.z.size() != expected.rows) {
        __builtin_trap();
      }
      for (const viewer::LoaderTuning& tuning : kTunings) {
        if (!automatic && &tuning != &kTunings[1] && &tuning != &kTunings[2]) continue;
        viewer::DataColumns fromMemory;
        if (!SameResult(viewer::ReadDataFast(bytes, limit, options, fromMemory, tuning), expected) ||
            !SameRows(fromMemory, reference)) {
          __builtin_trap();
        }
        lseek(fd, 0, SEEK_SET);
        viewer::DataColumns fromFile;
        if (!SameResult(viewer::ReadDataFast(fd, limit, options, fromFile, tuning), expected) ||
            !SameRows(fromFile, reference)) {
          __builtin_trap();
        }
      }
    }
  }
  close(fd);
  return 0;
}
