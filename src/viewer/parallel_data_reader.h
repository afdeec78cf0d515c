// The data-file reader for plain files and memory: the same rows as the reference reader of
// data_file_reader.h, bit for bit, read on two threads. The data goes through in windows of a few
// MiB: the calling thread reads a window, finds the bytes that can end a field (",", LF and Ctrl-Z)
// with wide compares and settles in one cheap pass which field each end closes; the rows' numbers are
// then converted straight into the columns by a helper thread and, in turns, the caller, while the
// next windows are read. Rows that are not
// plain (a field of 100 or more bytes, the last row at the end of the data, a Ctrl-Z) are left to
// the reference reader, which reads from there on. Paired with parallel_data_reader.cpp.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "viewer/data_file_reader.h"

namespace viewer {

struct LoaderTuning {
  unsigned threads = 0;                     // 0: platform::WorkThreads()
  std::size_t windowBytes = 1u << 20;       // bytes read per window (three windows are in use at once)
  std::size_t helperFromBytes = 512u << 10; // smaller inputs are read without a helper thread
  std::size_t convertChunkRows = 2048;      // the share of a window's rows the threads take turns at
};

// Reads a plain file from the descriptor's current position (the position is then unspecified).
DataReadResult ReadDataInParallel(int fd, std::size_t maxRows, std::vector<double>& x, std::vector<double>& y,
                                  std::vector<double>& z, const LoaderTuning& tuning);
DataReadResult ReadDataInParallel(std::string_view bytes, std::size_t maxRows, std::vector<double>& x,
                                  std::vector<double>& y, std::vector<double>& z, const LoaderTuning& tuning);

}  // namespace viewer
