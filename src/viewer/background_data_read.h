// Reading a data file that is no plain file (a pipe such as `<(generator)`, a FIFO, a device) on a
// thread of its own: its writer may take its time or never end, and meanwhile the window keeps
// answering, so Escape, the close button and SIGINT or SIGTERM end the run as usual. The rows join
// the scene all at once when the reading is complete. A plain file is read at once, as it always was.
// Paired with background_data_read.cpp.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

#include "viewer/data_file_reader.h"

namespace viewer {

class BackgroundDataRead {
 public:
  // Starts reading at most `maxRows` rows of `path`.
  BackgroundDataRead(std::string path, std::size_t maxRows);
  // Stops the reading (within a fraction of a second) and waits for the thread.
  ~BackgroundDataRead();
  BackgroundDataRead(const BackgroundDataRead&) = delete;
  BackgroundDataRead& operator=(const BackgroundDataRead&) = delete;

  // Whether every row there is to read has been read (or the reading was stopped).
  bool Done() const { return done_.load(std::memory_order_acquire); }
  // The rows, once Done; the reader keeps none of them.
  DataColumns Take();
  // How the reading ended, once Done.
  DataReadResult Result() const { return Done() ? result_ : DataReadResult(); }
  // Waits until Done or until a termination signal arrives; true when Done.
  bool WaitUnlessTerminated();

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  DataColumns rows_;
  DataReadResult result_;
  std::thread thread_;
};

}  // namespace viewer
