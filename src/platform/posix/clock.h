// The millisecond clock behind timeGetTime: CLOCK_MONOTONIC truncated to 32 bits, so it wraps about
// every 49.7 days exactly like the multimedia clock it stands in for.
#pragma once

#include <cstdint>

namespace platform::posix {

uint32_t MonotonicMilliseconds();

}  // namespace platform::posix
