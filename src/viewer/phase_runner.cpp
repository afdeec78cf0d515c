// The helper sleeps in a futex wait between phases (std::atomic::wait), so a reading costs one
// thread start and a wake-up per phase, and an idle helper costs nothing.
#include "viewer/phase_runner.h"

#include <cstdlib>

namespace viewer {

PhaseRunner::PhaseRunner(unsigned pieces) : pieces_(pieces < 2 ? 1 : 2) {
  if (pieces_ == 2) helper_ = std::thread([this] { HelperLoop(); });
}

PhaseRunner::~PhaseRunner() {
  if (!helper_.joinable()) return;
  quit_ = true;
  started_.fetch_add(1, std::memory_order_release);
  started_.notify_one();
  helper_.join();
}

void PhaseRunner::Run(const std::function<void(unsigned)>& piece) {
  if (pieces_ == 1) {
    piece(0);
    return;
  }
  piece_ = &piece;
  const uint32_t phase = started_.fetch_add(1, std::memory_order_release) + 1;
  started_.notify_one();
  piece(0);
  for (uint32_t done = finished_.load(std::memory_order_acquire); done != phase;
       done = finished_.load(std::memory_order_acquire)) {
    finished_.wait(done, std::memory_order_acquire);
  }
}

void PhaseRunner::HelperLoop() {
  uint32_t seen = 0;
  for (;;) {
    started_.wait(seen, std::memory_order_acquire);
    seen = started_.load(std::memory_order_acquire);
    if (quit_) return;
    (*piece_)(1);
    finished_.store(seen, std::memory_order_release);
    finished_.notify_one();
  }
}

unsigned ReaderThreads() {
  if (const char* text = std::getenv("SCATTERVIEW_THREADS"); text && *text) {
    char* end = nullptr;
    const long wanted = std::strtol(text, &end, 10);
    if (*end == '\0' && wanted > 0) return wanted < 2 ? 1 : 2;
  }
  const unsigned processors = std::thread::hardware_concurrency();
  return processors < 2 ? 1 : 2;
}

}  // namespace viewer
