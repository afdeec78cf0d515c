// Runs the phases of one data-file reading on the calling thread and, when asked for two threads, a
// helper thread that lives only as long as the runner (one reading). A phase is a count of chunks that
// both threads take from a shared counter, so on a busy machine a helper that is not scheduled in
// time costs nothing: the caller does the chunks itself and withdraws the offer. Nothing is shared
// beyond the runner, so two readings never meet. Paired with phase_runner.cpp.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>

namespace viewer {

class PhaseRunner {
 public:
  // One thread runs everything on the caller; two start the helper thread.
  explicit PhaseRunner(unsigned threads);
  ~PhaseRunner();
  PhaseRunner(const PhaseRunner&) = delete;
  PhaseRunner& operator=(const PhaseRunner&) = delete;

  // Calls chunk(0) .. chunk(count - 1), each once, on whichever thread is free, and returns when all
  // are done. The chunks must not throw.
  void Run(std::size_t count, const std::function<void(std::size_t chunk)>& chunk);

 private:
  void TakeChunks();
  void HelperLoop();

  // state_ is the phase number times four plus one of these.
  static constexpr uint64_t kOffered = 0, kJoined = 1, kClosed = 2, kQuit = 3;

  const std::function<void(std::size_t)>* chunk_ = nullptr;  // set while no helper is in a phase
  std::size_t count_ = 0;
  std::atomic<std::size_t> next_{0};
  std::atomic<uint64_t> state_{kClosed};
  uint64_t phase_ = 0;
  std::thread helper_;
};

// How many threads a reading may use: SCATTERVIEW_THREADS when it is a positive number, else the
// processors there are; at most two.
unsigned ReaderThreads();

}  // namespace viewer
