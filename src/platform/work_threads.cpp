#include "platform/work_threads.h"

#include <cstdlib>
#include <thread>

namespace platform {

unsigned Processors() {
  const unsigned processors = std::thread::hardware_concurrency();
  return processors == 0 ? 1 : processors;
}

unsigned WorkThreads() {
  if (const char* text = std::getenv("SCATTERVIEW_THREADS"); text && *text) {
    char* end = nullptr;
    const long wanted = std::strtol(text, &end, 10);
    if (*end == '\0' && wanted > 0) return wanted < 2 ? 1 : 2;
  }
  return Processors() < 2 ? 1 : 2;
}

}  // namespace platform
