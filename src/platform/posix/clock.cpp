#include "platform/posix/clock.h"

#include <time.h>

namespace platform::posix {

uint32_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);  // keeps the low 32 bits: the wrap is intended
}

}  // namespace platform::posix
