#include "render/batch_feed.h"

#include <chrono>
#include <system_error>
#include <unistd.h>

namespace render {
namespace {

// Longer than a chunk takes to record or replay: a thread that runs out of work spins that long
// before it sleeps, so the chunks of a frame pass between the threads without the kernel (a wake-up
// through it can take longer than the chunk), while an idle device costs nothing.
constexpr auto kSpinTime = std::chrono::microseconds(5);

// Spins until `done()` or the spin time is over; true when done.
template <class Done>
bool SpinUntil(Done done) {
  const auto until = std::chrono::steady_clock::now() + kSpinTime;
  for (;;) {
    for (int i = 0; i < 32; ++i) {
      if (done()) return true;
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#endif
    }
    if (std::chrono::steady_clock::now() > until) return false;
  }
}

// `count` has reached `target`, on counts that wrap.
bool Reached(uint32_t count, uint32_t target) { return static_cast<int32_t>(count - target) >= 0; }

}  // namespace

BatchFeed::BatchFeed(Replay replay, void* device) : replay_(replay), device_(device), chunks_(new Chunk[kChunks]) {}

BatchFeed::~BatchFeed() {
  FinishRecords();
  if (!worker_.joinable()) return;
  if (owner_ != getpid()) {
    worker_.detach();  // the thread of the process this one was forked from
    return;
  }
  quit_.store(true, std::memory_order_release);
  published_.fetch_add(1, std::memory_order_release);  // a change the sleeping worker wakes for
  published_.notify_one();
  worker_.join();
}

bool BatchFeed::WorkerRuns() {
  if (workerFailed_) return false;
  if (worker_.joinable()) return owner_ == getpid();
  try {
    worker_ = std::thread([this] { WorkerLoop(); });
  } catch (const std::system_error&) {
    workerFailed_ = true;  // a process or thread limit: the caller replays every chunk itself
    return false;
  }
  owner_ = getpid();
  return true;
}

void BatchFeed::StartChunk(BatchJoin join) {
  if (chunk_) Publish();
  // The next slot is free once the chunk that last used it is replayed.
  WaitUntilReplayed(publishedCount_ - kChunks + 1);
  chunk_ = &chunks_[publishedCount_ % kChunks];
  count_ = 0;
  join_ = join;
}

void BatchFeed::Publish() {
  chunk_->count = count_;
  chunk_->join = join_;
  Chunk& chunk = *chunk_;
  chunk_ = nullptr;
  count_ = kChunkRecords;
  if (!WorkerRuns()) {
    replay_(device_, chunk.join, chunk.records, chunk.count);
    return;
  }
  published_.store(++publishedCount_, std::memory_order_release);
  published_.notify_one();
}

void BatchFeed::FinishRecords() {
  if (chunk_) Publish();
  WaitUntilReplayed(publishedCount_);
  finishedUpTo_ = publishedCount_;
}

void BatchFeed::WaitUntilReplayed(uint32_t chunks) {
  if (Reached(finishedUpTo_, chunks)) return;
  if (SpinUntil([&] { return Reached(replayed_.load(std::memory_order_acquire), chunks); })) return;
  for (uint32_t seen; !Reached(seen = replayed_.load(std::memory_order_acquire), chunks);)
    replayed_.wait(seen, std::memory_order_acquire);
}

void BatchFeed::WorkerLoop() {
  uint32_t done = replayed_.load(std::memory_order_relaxed);
  for (;;) {
    uint32_t ready = published_.load(std::memory_order_acquire);
    if (ready == done) SpinUntil([&] { return (ready = published_.load(std::memory_order_acquire)) != done; });
    if (quit_.load(std::memory_order_acquire)) return;
    if (ready == done) {
      published_.wait(done, std::memory_order_acquire);
      continue;
    }
    const Chunk& chunk = chunks_[done % kChunks];
    replay_(device_, chunk.join, chunk.records, chunk.count);
    replayed_.store(++done, std::memory_order_release);
    replayed_.notify_one();
  }
}

}  // namespace render
