// Fuzzes the data-file reader with arbitrary bytes: read through a descriptor (in 64 KiB chunks)
// and from memory, the two must agree, and the columns must stay equal in length, non-empty and
// within the row cap.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "viewer/data_file_reader.h"

namespace {

// Small caps too, so the fuzzer reaches the end of the row loop quickly.
constexpr std::size_t kCaps[] = {1, 3, viewer::kMaxDataRows};

bool SameRows(const viewer::DataColumns& a, const viewer::DataColumns& b) {
  auto same = [](const std::vector<double>& p, const std::vector<double>& q) {
    return p.size() == q.size() &&
           (p.empty() || std::memcmp(p.data(), q.data(), p.size() * sizeof(double)) == 0);
  };
  return same(a.x, b.x) && same(a.y, b.y) && same(a.z, b.z);
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
  for (std::size_t cap : kCaps) {
    viewer::DataColumns fromMemory;
    const std::size_t rows = viewer::ReadDataBuffer(bytes, cap, fromMemory);
    if (rows == 0 || rows > cap || fromMemory.x.size() != rows || fromMemory.y.size() != rows ||
        fromMemory.z.size() != rows) {
      __builtin_trap();
    }
    lseek(fd, 0, SEEK_SET);
    viewer::DataColumns fromFile;
    if (viewer::ReadDataDescriptor(fd, cap, fromFile) != rows || !SameRows(fromMemory, fromFile)) {
      __builtin_trap();
    }
  }
  close(fd);
  return 0;
}
