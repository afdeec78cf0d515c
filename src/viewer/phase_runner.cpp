// The helper sleeps in a futex wait between phases (std::atomic::wait). A phase is offered by a new
// state; the helper joins it by moving it from offered to joined, and the caller, once it finds no
// chunk left, either closes an offer nobody joined or waits for the helper to close it. Either way
// the helper never touches a phase after the caller has moved on.
#include "viewer/phase_runner.h"

#include <cstdlib>

namespace viewer {

PhaseRunner::PhaseRunner(unsigned threads) {
  if (threads >= 2) helper_ = std::thread([this] { HelperLoop(); });
}

PhaseRunner::~PhaseRunner() {
  if (!helper_.joinable()) return;
  state_.store((++phase_ << 2) | kQuit, std::memory_order_release);
  state_.notify_one();
  helper_.join();
}

void PhaseRunner::Run(std::size_t count, const std::function<void(std::size_t)>& chunk) {
  chunk_ = &chunk;
  count_ = count;
  next_.store(0, std::memory_order_relaxed);
  if (!helper_.joinable() || count < 2) {
    TakeChunks();
    return;
  }
  const uint64_t phase = ++phase_ << 2;
  state_.store(phase | kOffered, std::memory_order_release);
  state_.notify_one();
  TakeChunks();
  uint64_t seen = phase | kOffered;
  if (state_.compare_exchange_strong(seen, phase | kClosed, std::memory_order_acq_rel)) return;
  while ((seen = state_.load(std::memory_order_acquire)) != (phase | kClosed)) {
    state_.wait(seen, std::memory_order_acquire);
  }
}

void PhaseRunner::TakeChunks() {
  for (std::size_t i; (i = next_.fetch_add(1, std::memory_order_relaxed)) < count_;) (*chunk_)(i);
}

void PhaseRunner::HelperLoop() {
  uint64_t seen = kClosed;
  for (;;) {
    state_.wait(seen, std::memory_order_acquire);
    seen = state_.load(std::memory_order_acquire);
    if ((seen & 3) == kQuit) return;
    if ((seen & 3) != kOffered) continue;
    const uint64_t phase = seen & ~uint64_t{3};
    if (!state_.compare_exchange_strong(seen, phase | kJoined, std::memory_order_acq_rel)) continue;
    TakeChunks();
    seen = phase | kClosed;
    state_.store(seen, std::memory_order_release);
    state_.notify_one();
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
