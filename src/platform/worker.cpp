#include "platform/worker.h"

#include <chrono>
#include <system_error>

namespace platform {
namespace {

template <class Done>
bool SpinUntil(Done done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(20);
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

}  // namespace

Worker::Worker(unsigned threads) {
  if (threads < 2) return;
  try {
    thread_ = std::thread([this] { Loop(); });
  } catch (const std::system_error&) {
  }
}

Worker::~Worker() {
  if (!thread_.joinable()) return;
  quit_.store(true);
  job_.fetch_add(1);
  job_.notify_one();
  thread_.join();
}

bool Worker::RunOne() {
  const std::size_t i = next_.fetch_add(1, std::memory_order_acq_rel);
  if (i >= parts_) return false;
  part_(context_, i);
  done_.fetch_add(1, std::memory_order_acq_rel);
  done_.notify_all();
  return true;
}

void Worker::ForEachPart(std::size_t parts, void (*part)(void*, std::size_t), void* context) {
  part_ = part, context_ = context, parts_ = parts;
  done_.store(0);
  next_.store(0);
  if (thread_.joinable()) {
    job_.fetch_add(1, std::memory_order_release);
    job_.notify_one();
  }
  while (RunOne()) {
  }
  if (!SpinUntil([&] { return done_.load(std::memory_order_acquire) == parts; }))
    for (std::size_t d; (d = done_.load(std::memory_order_acquire)) != parts;) done_.wait(d);
}

void Worker::Loop() {
  unsigned seen = 0;  // the count when the thread was made
  for (;;) {
    unsigned now = seen;
    if (!SpinUntil([&] { return (now = job_.load(std::memory_order_acquire)) != seen; })) {
      job_.wait(seen);
      now = job_.load(std::memory_order_acquire);
    }
    if (quit_.load()) return;
    if (now == seen) continue;
    seen = now;
    while (RunOne()) {
    }
  }
}

}  // namespace platform
