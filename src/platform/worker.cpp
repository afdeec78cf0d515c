// Why no part runs twice or runs a job that is gone: a part is claimed by one compare-and-swap on its
// slot's claim word, which names the job's ticket, so a claim made from a stale look at the slot
// fails; and the owner writes a slot again only once every part of the job it held is counted done.
#include "platform/worker.h"

#include <bit>
#include <chrono>
#include <system_error>

#include <unistd.h>

namespace platform {
namespace {

// Longer than the gap between two hand-overs of a frame (the caller preparing the next run of rows):
// a thread that runs out of work spins that long before it sleeps, so the jobs of a frame pass
// between the threads without the kernel, whose wake-up takes about as long as a job on a 2-core
// virtual machine. An idle worker costs one spin, then nothing.
constexpr auto kSpinTime = std::chrono::microseconds(300);

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

constexpr uint64_t kFieldMask = Worker::kMostParts;
constexpr unsigned kPartsShift = std::bit_width(kFieldMask), kTicketShift = 2 * kPartsShift;

uint64_t NextOf(uint64_t word) { return word & kFieldMask; }
uint64_t PartsOf(uint64_t word) { return (word >> kPartsShift) & kFieldMask; }
// The ticket's low 24 bits: enough, since a slot holds one of the last kSlots tickets.
uint64_t TicketBits(uint32_t ticket) { return ticket & ((uint64_t{1} << (64 - kTicketShift)) - 1); }
bool Holds(uint64_t word, uint32_t ticket) { return word >> kTicketShift == TicketBits(ticket); }

}  // namespace

Worker::Worker(unsigned threads, bool threadCanBeMade) : threads_(threads), threadCanBeMade_(threadCanBeMade) {}

Worker::~Worker() {
  WaitAll();
  if (!helper_.joinable()) return;
  if (owner_ != ::getpid()) {
    helper_.detach();  // the thread of the process this one was forked from
    return;
  }
  quit_.store(true, std::memory_order_release);
  // A change the sleeping helper wakes for; the ticket it adds names no slot's job.
  published_.fetch_add(1, std::memory_order_release);
  published_.notify_one();
  helper_.join();
}

bool Worker::StartHelper(Ticket first) {
  if (helperFailed_ || threads_ < 2) return false;
  published_.store(first, std::memory_order_relaxed);  // the thread's start publishes it
  try {
    if (!threadCanBeMade_) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    helper_ = std::thread([this, first] { HelperLoop(first); });
  } catch (const std::system_error&) {
    helperFailed_ = true;  // a process or thread limit: the caller runs every job itself
    return false;
  }
  owner_ = ::getpid();
  return true;
}

Worker::Ticket Worker::Hand(Task task, void* context, std::size_t parts) {
  const Ticket ticket = handed_;
  Slot& slot = slots_[ticket % kSlots];
  Finish(slot, ticket - kSlots);  // the job the slot held before
  ++handed_;
  if (parts == 0) return ticket;
  // More parts than a claim word counts are run here, as without a helper.
  if (parts > kMostParts || (!helper_.joinable() && !StartHelper(ticket))) {
    for (std::size_t part = 0; part != parts; ++part) task(context, part);
    return ticket;
  }
  slot.task = task;
  slot.context = context;
  slot.done.store(0, std::memory_order_relaxed);  // ordered before the claim word's release
  slot.claim.store(TicketBits(ticket) << kTicketShift | uint64_t{parts} << kPartsShift, std::memory_order_release);
  published_.store(handed_, std::memory_order_release);
  published_.notify_one();
  return ticket;
}

void Worker::Wait(Ticket ticket) {
  const Ticket age = handed_ - ticket;
  if (age == 0 || age > kSlots) return;  // not handed over yet, or its slot was taken again: done
  Finish(slots_[ticket % kSlots], ticket);
}

void Worker::WaitAll() {
  for (Ticket ticket = handed_ - kSlots; ticket != handed_; ++ticket) Wait(ticket);
}

void Worker::Finish(Slot& slot, Ticket ticket) {
  while (RunOne(slot, ticket)) {
  }
  const uint64_t word = slot.claim.load(std::memory_order_acquire);
  if (!Holds(word, ticket)) return;  // a job run whole by the caller takes no slot
  const uint32_t parts = static_cast<uint32_t>(PartsOf(word));
  auto finished = [&] { return slot.done.load(std::memory_order_acquire) == parts; };
  if (finished()) return;
  // A forked child: the parts still running were taken by the parent's thread, which it lacks.
  if (owner_ != ::getpid()) return;
  if (SpinUntil(finished)) return;
  for (uint32_t done; (done = slot.done.load(std::memory_order_acquire)) != parts;) {
    slot.done.wait(done, std::memory_order_acquire);
  }
}

bool Worker::RunOne(Slot& slot, Ticket ticket) {
  uint64_t word = slot.claim.load(std::memory_order_acquire);
  do {
    if (!Holds(word, ticket) || NextOf(word) >= PartsOf(word)) return false;
  } while (!slot.claim.compare_exchange_weak(word, word + 1, std::memory_order_acq_rel, std::memory_order_acquire));
  slot.task(slot.context, static_cast<std::size_t>(NextOf(word)));
  if (slot.done.fetch_add(1, std::memory_order_acq_rel) + 1 == PartsOf(word)) slot.done.notify_all();
  return true;
}

void Worker::HelperLoop(Ticket next) {
  // `next` is the oldest job that may have parts left to take; a slot that holds another ticket
  // means its job is done (the owner wrote the slot again), so it is passed over too.
  for (;;) {
    Ticket published = published_.load(std::memory_order_acquire);
    if (next == published) {
      if (quit_.load(std::memory_order_acquire)) return;
      SpinUntil([&] { return (published = published_.load(std::memory_order_acquire)) != next; });
      if (quit_.load(std::memory_order_acquire)) return;
      if (next == published) {
        published_.wait(next, std::memory_order_acquire);
        continue;
      }
    }
    if (!RunOne(slots_[next % kSlots], next)) ++next;
  }
}

}  // namespace platform
