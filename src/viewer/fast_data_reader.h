// The fast data-file reader, for plain files and memory: the same rows as the reference reader of
// data_format.h, bit for bit, read on two threads. The data goes through in windows of up to 1 MiB:
// the calling thread reads a window, finds the bytes that can end a field or a line (the separator,
// LF and Ctrl-Z) with wide compares and settles in the same pass which field or line each end closes;
// the rows' numbers are then converted straight into the columns by the platform worker's helper
// thread and, when it waits for a window's buffers, the caller, while the next windows are read. Rows that
// are not plain (a field of 100 or more bytes, a row or line too long to carry into the next window, the
// last row at the end of the data, a Ctrl-Z, the row after the limit) are left to the reference reader,
// which reads from there on. Paired with fast_data_reader.cpp.
#pragma once

#include <cstddef>
#include <string_view>

#include "viewer/data_format.h"

namespace viewer {

struct LoaderTuning {
  unsigned threads = 0;                     // 0: platform::WorkThreads()
  std::size_t windowBytes = 1u << 20;       // the most bytes read per window (three are in use at once);
                                            // a small input is read in about 16 windows of at least 64 KiB
  std::size_t helperFromBytes = 512u << 10; // smaller inputs are read without a helper thread
  std::size_t convertChunkRows = 2048;      // the share of a window's rows the threads take turns at
};

// Reads a plain file from the descriptor's current position (the position is then unspecified).
// `stop` is asked between windows. When the columns cannot grow, the rows read until then are kept
// (DataReadEnd::OutOfMemory).
DataReadResult ReadDataFast(int fd, std::size_t maxRows, const ReadOptions& options, DataColumns& out,
                            const LoaderTuning& tuning = {}, const StopRequest& stop = {});
DataReadResult ReadDataFast(std::string_view bytes, std::size_t maxRows, const ReadOptions& options,
                            DataColumns& out, const LoaderTuning& tuning = {}, const StopRequest& stop = {});

}  // namespace viewer
