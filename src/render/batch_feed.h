// The scene's batch drawn on a second core. The caller records what joins the batch (a point, or the
// end of a segment that chains on) and goes on to its next call, while a worker thread replays the
// records, a chunk at a time and in the order they came, through the very steps one thread takes.
// Only the worker draws while records are in flight, and every other device call first waits until
// all of them are replayed (SoftwareDevice::EndBatch), so the pixels are the ones one thread draws.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <sys/types.h>

#include "render/scene_batch.h"

namespace render {

// A position's 12 bytes as the caller gave them, and the colour it is drawn in.
struct BatchRecord {
  uint8_t position[12];
  uint32_t colour;
};
enum class BatchJoin : uint8_t { Point, SegmentEnd };

class BatchFeed {
 public:
  // Runs on the worker, a chunk of records of one kind at a time.
  using Replay = void (*)(void* device, BatchJoin join, const BatchRecord* records, int count);
  BatchFeed(Replay replay, void* device);
  ~BatchFeed();  // replays what is left, then stops the worker
  BatchFeed(const BatchFeed&) = delete;
  BatchFeed& operator=(const BatchFeed&) = delete;

  void Record(BatchJoin join, const uint8_t* position, uint32_t colour) {
    if (join != join_ || count_ == kChunkRecords) [[unlikely]] StartChunk(join);
    BatchRecord& r = chunk_->records[count_++];
    CopyPosition(r.position, position);
    r.colour = colour;
  }
  // Whether the batch's next record is to go to the worker. A batch's first records the caller draws
  // itself: up to the scene's default row limit a second thread saves no frame, and would only cost
  // CPU time and wake-ups.
  bool Takes() { return ++batchRecords_ > kCallerRecords; }
  // Hands over what is recorded and returns once every record has been replayed; the batch ends.
  void Finish() {
    if (chunk_ || publishedCount_ != finishedUpTo_) FinishRecords();
    batchRecords_ = 0;
  }

 private:
  // 256 KiB a chunk: few hand-overs a frame, each of which may wait for a thread to wake.
  static constexpr int kChunkRecords = 16384;
  static constexpr uint32_t kChunks = 8;
  static constexpr long kCallerRecords = 150000;
  struct Chunk {
    BatchRecord records[kChunkRecords];
    int count = 0;
    BatchJoin join = BatchJoin::Point;
  };

  [[gnu::noinline]] void StartChunk(BatchJoin join);
  [[gnu::noinline]] void FinishRecords();
  void Publish();
  void WaitUntilReplayed(uint32_t chunks);
  void WorkerLoop();
  bool WorkerRuns();

  Replay replay_;
  void* device_;
  std::unique_ptr<Chunk[]> chunks_;
  // The caller's side.
  Chunk* chunk_ = nullptr;     // the chunk being recorded, null when none is
  int count_ = kChunkRecords;  // its records (full when there is none: the next record starts one)
  BatchJoin join_ = BatchJoin::Point;
  // Chunks published, and those known replayed. The counts wrap: they are compared by difference.
  uint32_t publishedCount_ = 0, finishedUpTo_ = 0;
  long batchRecords_ = 0;  // records (drawn by the caller or not) since the batch last ended
  bool workerFailed_ = false;  // no thread could be made: the caller replays its chunks itself
  pid_t owner_ = 0;            // the process whose worker it is (a forked child has none)
  std::thread worker_;
  // Counts of chunks published and replayed, each on a cache line of its own.
  alignas(64) std::atomic<uint32_t> published_{0};
  alignas(64) std::atomic<uint32_t> replayed_{0};
  std::atomic<bool> quit_{false};
};

}  // namespace render
