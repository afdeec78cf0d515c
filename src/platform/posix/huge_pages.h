// Huge pages for a large array that is written once, front to back (the columns of a data file):
// one page fault and one kernel clear per 2 MiB instead of per 4 KiB.
#pragma once

#include <cstddef>

namespace platform::posix {

// Asks the kernel to back the whole 2 MiB pages inside [begin, begin + bytes) with huge pages, before
// they are first touched. Only advice: where the kernel has none to give, nothing changes.
void AdviseHugePages(void* begin, std::size_t bytes);

}  // namespace platform::posix
