#include "platform/posix/huge_pages.h"

#include <cstdint>

#include <sys/mman.h>

namespace platform::posix {

void AdviseHugePages(void* begin, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(begin);
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1), last = (start + bytes) & ~(kHugePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)begin;
  (void)bytes;
#endif
}

}  // namespace platform::posix
