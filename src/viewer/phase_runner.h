// Runs the phases of one data-file reading as one or two pieces at once: piece 0 on the calling
// thread, piece 1 on a helper thread that lives only as long as the runner (one reading). Nothing is
// shared beyond the runner, so two readings never meet. Paired with phase_runner.cpp.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace viewer {

class PhaseRunner {
 public:
  // One piece runs everything on the caller; two start the helper thread.
  explicit PhaseRunner(unsigned pieces);
  ~PhaseRunner();
  PhaseRunner(const PhaseRunner&) = delete;
  PhaseRunner& operator=(const PhaseRunner&) = delete;

  unsigned Pieces() const { return pieces_; }
  // Calls piece(0) .. piece(Pieces() - 1), each on its own thread, and returns when all are done.
  // The pieces must not throw.
  void Run(const std::function<void(unsigned piece)>& piece);

 private:
  void HelperLoop();

  unsigned pieces_;
  const std::function<void(unsigned)>* piece_ = nullptr;
  bool quit_ = false;                  // published by the release increment of started_
  std::atomic<uint32_t> started_{0};   // phases handed out
  std::atomic<uint32_t> finished_{0};  // the last phase the helper finished
  std::thread helper_;
};

// How many threads a reading may use: SCATTERVIEW_THREADS when it is a positive number, else the
// processors there are; at most two.
unsigned ReaderThreads();

}  // namespace viewer
