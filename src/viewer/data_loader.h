// Reading a data file by its kind: a plain file at once through the fast reader, anything else (a
// pipe such as `<(generator)`, a FIFO, a device, standard input from a pipe) through the reference
// reader, on a thread of its own while the window runs. The path "-" is standard input. Also the one
// stderr line that tells what a reading did not read as it stands. Paired with data_loader.cpp,
// which also holds the scene's LoadData.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <thread>

#include "viewer/data_format.h"

namespace viewer {

// Appends at most `maxRows` rows of the file at `path` to `out`. A file that does not open, or a
// folder, appends nothing.
DataReadResult ReadDataFile(const std::string& path, std::size_t maxRows, DataColumns& out,
                            const ReadOptions& options = {}, const StopRequest& stop = {});

// Whether the data file at `path` opens for reading now (without waiting on a FIFO's writer) and can
// be read as a file of rows (no folder, socket, terminal or file of no fixed size; "-", a pipe or a
// FIFO can); when not, `why` (if given) says why in a few words.
bool CanReadDataFile(const std::string& path, std::string* why = nullptr);
// What the file at `path` is when it is there but cannot be read as a file of rows (a socket, a
// terminal, a file of no fixed size such as those of /proc); empty otherwise, and for "-".
std::string WhyNoFileOfRows(const std::string& path);

// Whether `path` is a plain file (after links), which is read at once; anything else may keep a
// reader waiting on its writer. `bytes` (if given) gets its size.
bool IsPlainFile(const std::string& path, off_t* bytes = nullptr);

// What a reading of `path` did not take as it stands, in one line for stderr, or "" when nothing is
// worth saying (a clean comma file read whole). `limitName` names the setting that raises the row
// limit ("MAXROWS in config.ini", "--max-rows").
std::string DescribeReading(std::string_view program, const std::string& path, const DataReadResult& result,
                            std::string_view limitName);

// A data file that is no plain file, read on a thread of its own: its writer may take its time or
// never end, and meanwhile the window keeps answering, so Escape, the close button and SIGINT or
// SIGTERM end the run as usual. The rows join the scene all at once when the reading is complete.
class BackgroundDataRead {
 public:
  // Starts reading at most `maxRows` rows of `path`.
  BackgroundDataRead(std::string path, std::size_t maxRows, const ReadOptions& options);
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
