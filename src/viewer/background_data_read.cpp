#include "viewer/background_data_read.h"

#include <utility>

#include "platform/posix/termination.h"

namespace viewer {

namespace {

constexpr int kWaitStepMs = 5;

}  // namespace

BackgroundDataRead::BackgroundDataRead(std::string path, std::size_t maxRows) {
  thread_ = std::thread([this, path = std::move(path), maxRows] {
    result_ = ReadDataFile(path, maxRows, rows_,
                 [this] { return stop_.load(std::memory_order_relaxed) || platform::posix::TerminationRequested(); });
    done_.store(true, std::memory_order_release);
  });
}

BackgroundDataRead::~BackgroundDataRead() {
  stop_.store(true, std::memory_order_relaxed);
  if (thread_.joinable()) thread_.join();
}

DataColumns BackgroundDataRead::Take() {
  if (!Done()) return {};
  return std::move(rows_);
}

bool BackgroundDataRead::WaitUnlessTerminated() {
  while (!Done()) {
    if (platform::posix::SleepUnlessTerminated(kWaitStepMs)) return Done();
  }
  return true;
}

}  // namespace viewer
