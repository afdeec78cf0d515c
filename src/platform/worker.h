// A second thread for the program's heavy work, started once and kept: the caller hands it parts of a
// job and takes parts itself. With no thread to be had the caller runs every part.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>

namespace platform {

class Worker {
 public:
  explicit Worker(unsigned threads);
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Runs part(context, 0) .. part(context, parts - 1), each once, on this thread and the worker, and
  // returns when all have run.
  void ForEachPart(std::size_t parts, void (*part)(void*, std::size_t), void* context);

 private:
  void Loop();
  bool RunOne();

  void (*part_)(void*, std::size_t) = nullptr;
  void* context_ = nullptr;
  std::size_t parts_ = 0;
  std::atomic<std::size_t> next_{0}, done_{0};
  std::atomic<unsigned> job_{0};
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

}  // namespace platform
