// The jobs of one data-file reading that can run beside it: each job a count of independent chunks
// (rows to convert), done by a helper thread and, when it has nothing else to do, the calling thread.
// A job sits in one of kSlots slots until the caller drains it, so the caller waits for the helper
// only when it needs that slot again: on a busy machine a helper descheduled in the middle of a
// chunk holds nothing up until then. The helper lives as long as the queue (one reading), so nothing
// is shared between readings. Paired with chunk_queue.cpp.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>

namespace viewer {

class ChunkQueue {
 public:
  static constexpr unsigned kSlots = 3;

  // With one thread every chunk runs on the caller, inside Drain or Help.
  explicit ChunkQueue(unsigned threads);
  // Drains every job, then ends the helper.
  ~ChunkQueue();
  ChunkQueue(const ChunkQueue&) = delete;
  ChunkQueue& operator=(const ChunkQueue&) = delete;

  // Puts chunk(0) .. chunk(chunks - 1) into `slot`, which must be drained. Chunks must not throw.
  void Publish(unsigned slot, std::size_t chunks, std::function<void(std::size_t)> chunk);
  // Runs chunks of the oldest jobs on the caller while more than `keep` chunks wait in all slots.
  void Help(std::size_t keep);
  // Returns when the job in `slot` is done, running what is left of it on the caller.
  void Drain(unsigned slot);
  void DrainAll();

  // The most chunks a job may have.
  static constexpr std::size_t kMostChunks = (std::size_t{1} << 22) - 1;

 private:
  struct Job {
    // One word, so a claim sees the job it claims from whole: publication number (20 bits), chunks
    // (22 bits), next chunk to hand out (22 bits).
    std::atomic<uint64_t> claim{0};
    std::atomic<uint32_t> done{0};
    std::function<void(std::size_t)> chunk;  // rewritten only while the slot is drained
  };

  // Claims and runs one chunk of `job`; false when it has none left to hand out.
  static bool RunOne(Job& job);
  // Runs one chunk of the oldest job that has one; false when none has.
  bool RunOldest();
  void HelperLoop();

  Job jobs_[kSlots];
  uint64_t publications_ = 0;
  std::atomic<uint32_t> published_{0};  // wakes the helper
  std::atomic<bool> quit_{false};
  std::thread helper_;
};

}  // namespace viewer
