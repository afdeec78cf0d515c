// Worker: one helper thread beside the calling thread, for work that splits into parts.
//
// What to use when:
// - ForEachPart(parts, task, context): one piece of work split in parts (the two halves of a run of
//   rows): task(context, 0) .. task(context, parts - 1) run on the helper and on the caller, and the
//   call returns when all are done.
// - Hand, Wait, WaitAll: a pipeline. Hand(task, context, parts) gives the job to the helper and
//   returns at once with a ticket; the caller goes on (reads the next window of a file), and calls
//   Wait(ticket) before it uses the job's memory again, or WaitAll() before it reads the results. A
//   wait runs the parts of that job that the helper has not taken yet on the caller, so the caller
//   waits only for the parts already running.
//
// Parts of one job may run at the same time and in any order, each exactly once; the helper takes
// jobs oldest first. Without a helper (one thread, or no thread to be had) Hand runs the whole job on
// the caller before it returns, part 0 first. A forked child has no helper either: its waits run
// every part nobody has taken on the caller, and never wait for the parent's thread.
//
// One thread, the owner, hands over and waits; tasks run on the helper or inside the owner's calls.
// A task must not throw, and must not hand over to the same worker. A hand-over allocates nothing: a
// job is a function pointer, a context and a count, held in a ring of kSlots; when the ring is full,
// Hand first waits for the oldest job. The helper is made at the first hand-over (a worker that is
// never given a job costs no thread); once out of work it spins for 300 µs (kSpinTime), so the jobs
// of a frame pass between the threads without the kernel, and then sleeps until the next one.
// Paired with worker.cpp.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include <sys/types.h>

#include "platform/work_threads.h"

namespace platform {

class Worker {
 public:
  using Task = void (*)(void* context, std::size_t part);
  // Tickets count hand-overs; they wrap, and are compared by difference.
  using Ticket = uint32_t;
  static constexpr unsigned kSlots = 8;
  static constexpr std::size_t kMostParts = (std::size_t{1} << 20) - 1;

  // `threads` below 2 gives no helper. `threadCanBeMade` false acts out a process at its thread limit:
  // the first hand-over's std::thread fails as it would there, and everything runs on the caller.
  explicit Worker(unsigned threads = WorkThreads(), bool threadCanBeMade = true);
  // Waits for every job handed over, then ends the helper.
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // A job of more than kMostParts parts runs on the caller before Hand returns.
  Ticket Hand(Task task, void* context, std::size_t parts);
  void Wait(Ticket ticket);
  void WaitAll();
  void ForEachPart(std::size_t parts, Task task, void* context) { Wait(Hand(task, context, parts)); }

 private:
  struct alignas(64) Slot {
    // One word, so that a claim sees the job it claims from whole: the next part to hand out and the
    // parts (20 bits each, room for kMostParts), the ticket's low bits above them.
    std::atomic<uint64_t> claim{0};
    std::atomic<uint32_t> done{0};  // parts finished
    Task task = nullptr;             // rewritten only once every part of the job before is done
    void* context = nullptr;
  };

  // Makes the helper, whose first job is `first`; false when there is to be none.
  bool StartHelper(Ticket first);
  // Returns once `ticket`'s job in `slot` is done (at once when the slot holds another job), running
  // the parts nobody has taken on the caller.
  void Finish(Slot& slot, Ticket ticket);
  // Claims one part of `ticket`'s job in `slot` and runs it; false when none is left to claim.
  static bool RunOne(Slot& slot, Ticket ticket);
  void HelperLoop(Ticket next);

  Slot slots_[kSlots];
  Ticket handed_ = 0;  // the owner's count of hand-overs
  unsigned threads_;
  bool threadCanBeMade_;
  bool helperFailed_ = false;
  pid_t owner_ = 0;  // the process whose helper it is: a forked child waits on no thread it lacks
  alignas(64) std::atomic<Ticket> published_{0};  // hand-overs the helper may see; wakes it
  std::atomic<bool> quit_{false};
  std::thread helper_;
};

}  // namespace platform
