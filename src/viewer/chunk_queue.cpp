// Claims go through one compare-and-swap on the job's claim word; a claim made while the word still
// names that publication is good, and the job's slot is not published again before every claimed
// chunk has been counted done. So neither thread ever runs a chunk of a job that is gone.
#include "viewer/chunk_queue.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace viewer {
namespace {

constexpr uint64_t kFieldMask = (uint64_t{1} << 22) - 1;
constexpr unsigned kChunksShift = 22, kPublicationShift = 44;

uint64_t NextOf(uint64_t word) { return word & kFieldMask; }
uint64_t ChunksOf(uint64_t word) { return (word >> kChunksShift) & kFieldMask; }

}  // namespace

ChunkQueue::ChunkQueue(unsigned threads) {
  if (threads < 2) return;
  try {
    helper_ = std::thread([this] { HelperLoop(); });
  } catch (const std::system_error&) {
    // No thread to be had (a process or thread limit): the caller runs every chunk itself.
  }
}

ChunkQueue::~ChunkQueue() {
  DrainAll();
  if (!helper_.joinable()) return;
  quit_.store(true, std::memory_order_release);
  published_.fetch_add(1, std::memory_order_release);
  published_.notify_one();
  helper_.join();
}

void ChunkQueue::Publish(unsigned slot, std::size_t chunks, std::function<void(std::size_t)> chunk) {
  Job& job = jobs_[slot];
  job.chunk = std::move(chunk);
  job.done.store(0, std::memory_order_relaxed);
  const uint64_t publication = ++publications_ & ((uint64_t{1} << 20) - 1);
  job.claim.store(publication << kPublicationShift | uint64_t{chunks} << kChunksShift, std::memory_order_release);
  if (helper_.joinable()) {
    published_.fetch_add(1, std::memory_order_release);
    published_.notify_one();
  }
}

bool ChunkQueue::RunOne(Job& job) {
  uint64_t word = job.claim.load(std::memory_order_acquire);
  do {
    if (NextOf(word) >= ChunksOf(word)) return false;
  } while (!job.claim.compare_exchange_weak(word, word + 1, std::memory_order_acq_rel, std::memory_order_acquire));
  job.chunk(static_cast<std::size_t>(NextOf(word)));
  job.done.fetch_add(1, std::memory_order_release);
  job.done.notify_all();
  return true;
}

bool ChunkQueue::RunOldest() {
  // Oldest first: its slot is the next the caller drains. Publication numbers only grow (their 20
  // bits wrap after a million windows, which costs only the order).
  Job* oldest = nullptr;
  uint64_t oldestPublication = 0;
  for (Job& job : jobs_) {
    const uint64_t word = job.claim.load(std::memory_order_acquire);
    if (NextOf(word) >= ChunksOf(word)) continue;
    const uint64_t publication = word >> kPublicationShift;
    if (!oldest || publication < oldestPublication) {
      oldest = &job;
      oldestPublication = publication;
    }
  }
  return oldest && RunOne(*oldest);
}

void ChunkQueue::Help(std::size_t keep) {
  for (;;) {
    std::size_t waiting = 0;
    for (Job& job : jobs_) {
      const uint64_t word = job.claim.load(std::memory_order_acquire);
      waiting += static_cast<std::size_t>(ChunksOf(word) - std::min(NextOf(word), ChunksOf(word)));
    }
    if (waiting <= keep || !RunOldest()) return;
  }
}

void ChunkQueue::Drain(unsigned slot) {
  Job& job = jobs_[slot];
  while (RunOne(job)) {
  }
  const uint32_t chunks = static_cast<uint32_t>(ChunksOf(job.claim.load(std::memory_order_acquire)));
  for (uint32_t done = job.done.load(std::memory_order_acquire); done != chunks;
       done = job.done.load(std::memory_order_acquire)) {
    job.done.wait(done, std::memory_order_acquire);
  }
}

void ChunkQueue::DrainAll() {
  for (unsigned slot = 0; slot != kSlots; ++slot) Drain(slot);
}

void ChunkQueue::HelperLoop() {
  for (;;) {
    const uint32_t seen = published_.load(std::memory_order_acquire);
    if (quit_.load(std::memory_order_acquire)) return;
    if (!RunOldest()) published_.wait(seen, std::memory_order_acquire);
  }
}

}  // namespace viewer
