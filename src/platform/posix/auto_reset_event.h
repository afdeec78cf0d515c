// A real auto-reset event: Set wakes one waiter (or the next wait) and is consumed by it; Wait gives up
// after the given milliseconds, measured on the monotonic clock so wall-clock changes do not matter.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/backend.h"

namespace platform::posix {

class AutoResetEvent : public WaitableEvent {
 public:
  void Set() override;
  void Reset() override;
  WaitResult Wait(uint32_t ms) override;

 private:
  std::mutex mutex_;
  std::condition_variable signalled_;
  bool state_ = false;
};

}  // namespace platform::posix
