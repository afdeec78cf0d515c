#include "platform/posix/auto_reset_event.h"

#include <chrono>

namespace platform::posix {

void AutoResetEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = true;
  }
  signalled_.notify_one();
}

void AutoResetEvent::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = false;
}

WaitableEvent::WaitResult AutoResetEvent::Wait(uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  // steady_clock is CLOCK_MONOTONIC on Linux: the same clock as timeGetTime.
  bool got = signalled_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return state_; });
  if (!got) return WaitResult::TimedOut;
  state_ = false;  // auto-reset: the wait consumes the signal
  return WaitResult::Signalled;
}

}  // namespace platform::posix
