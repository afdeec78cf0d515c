// The worker: every part of every job runs exactly once, with and without a helper thread; a wait is
// for its own job (the caller runs that job's parts when the helper is busy elsewhere); the ring of
// slots is used again and again; the end waits for what was handed over; a forked child does not wait
// for the parent's thread, which it lacks.
#include "platform/worker.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

using platform::Worker;

// A job whose parts count how often each ran, and note where and in what order they ran.
struct CountingJob {
  explicit CountingJob(std::size_t parts) : runs(parts) {}
  std::vector<std::atomic<int>> runs;
  std::mutex lock;
  std::vector<std::pair<std::size_t, std::thread::id>> order;  // part, thread

  static void Part(void* self, std::size_t part) {
    auto& job = *static_cast<CountingJob*>(self);
    job.runs[part].fetch_add(1);
    std::lock_guard<std::mutex> hold(job.lock);
    job.order.emplace_back(part, std::this_thread::get_id());
  }
  bool EachRanOnce() const {
    for (const auto& count : runs) {
      if (count.load() != 1) return false;
    }
    return true;
  }
};

// A one-part job that holds whichever thread runs it until it is let go.
struct HoldingJob {
  std::atomic<bool> started{false}, released{false}, finished{false};

  static void Part(void* self, std::size_t) {
    auto& job = *static_cast<HoldingJob*>(self);
    job.started = true;
    job.started.notify_all();
    job.released.wait(false);
    job.finished = true;
  }
  void Release() {
    released = true;
    released.notify_all();
  }
};

struct Fallback {
  const char* why;
  unsigned threads;
  bool threadCanBeMade;
};

TEST(Worker, WithoutAThreadRunsEveryJobOnTheCallerInOrderBeforeHandReturns) {
  for (const Fallback& fallback : {Fallback{"one thread", 1, true}, Fallback{"no thread to be had", 2, false}}) {
    Worker worker(fallback.threads, fallback.threadCanBeMade);
    std::vector<std::unique_ptr<CountingJob>> jobs;
    for (std::size_t j = 0; j != 3 * Worker::kSlots; ++j) {
      jobs.push_back(std::make_unique<CountingJob>(j % 4 + 1));
      worker.Hand(&CountingJob::Part, jobs.back().get(), j % 4 + 1);
      CountingJob& job = *jobs.back();
      ASSERT_TRUE(job.EachRanOnce()) << fallback.why << ": job " << j << " done when Hand returns";
      for (std::size_t i = 0; i != job.order.size(); ++i) {
        EXPECT_EQ(job.order[i].first, i) << fallback.why;
        EXPECT_EQ(job.order[i].second, std::this_thread::get_id()) << fallback.why;
      }
    }
  }
}

TEST(Worker, ForEachPartRunsEveryPartOnceWithOneOrTwoThreads) {
  for (unsigned threads : {1u, 2u}) {
    Worker worker(threads);
    for (std::size_t parts : {1u, 2u, 7u, 1000u}) {
      for (int round = 0; round != 50; ++round) {  // the helper between spinning and sleeping too
        CountingJob job(parts);
        worker.ForEachPart(parts, &CountingJob::Part, &job);
        ASSERT_TRUE(job.EachRanOnce()) << threads << " threads, " << parts << " parts, round " << round;
      }
    }
  }
}

TEST(Worker, TheRingOfSlotsWrapsWithEveryJobDone) {
  // Far more jobs than slots: each hand-over past the ring's size waits for the oldest slot.
  Worker worker(2);
  constexpr std::size_t kJobs = 10 * Worker::kSlots + 3;
  std::vector<std::unique_ptr<CountingJob>> jobs;
  std::vector<Worker::Ticket> tickets;
  for (std::size_t j = 0; j != kJobs; ++j) {
    jobs.push_back(std::make_unique<CountingJob>(j % 5 + 1));
    tickets.push_back(worker.Hand(&CountingJob::Part, jobs.back().get(), j % 5 + 1));
  }
  // Tickets long out of the ring count as done; the last ones are waited for one by one.
  for (Worker::Ticket ticket : tickets) worker.Wait(ticket);
  for (std::size_t j = 0; j != kJobs; ++j) EXPECT_TRUE(jobs[j]->EachRanOnce()) << "job " << j;
}

TEST(Worker, AWaitRunsItsOwnJobOnTheCallerWhileTheHelperIsHeldAndLeavesLaterJobsAlone) {
  Worker worker(2);
  HoldingJob held;
  worker.Hand(&HoldingJob::Part, &held, 1);
  held.started.wait(false);  // the helper has it: nothing else has run anything yet

  CountingJob mine(6), later(3);
  const Worker::Ticket ticket = worker.Hand(&CountingJob::Part, &mine, 6);
  worker.Hand(&CountingJob::Part, &later, 3);
  worker.Wait(ticket);
  EXPECT_TRUE(mine.EachRanOnce());
  for (const auto& [part, thread] : mine.order) EXPECT_EQ(thread, std::this_thread::get_id()) << "part " << part;
  EXPECT_TRUE(later.order.empty()) << "a wait for one job does not run the jobs after it";
  EXPECT_FALSE(held.finished) << "nor wait for the one before it";

  held.Release();
  worker.WaitAll();
  EXPECT_TRUE(held.finished);
  EXPECT_TRUE(later.EachRanOnce());
}

TEST(Worker, TheEndWaitsForEveryJobHandedOver) {
  std::vector<std::unique_ptr<CountingJob>> jobs;
  HoldingJob held;
  std::thread releaser;
  {
    Worker worker(2);
    worker.Hand(&HoldingJob::Part, &held, 1);
    held.started.wait(false);
    for (std::size_t j = 0; j != Worker::kSlots - 1; ++j) {
      jobs.push_back(std::make_unique<CountingJob>(64));
      worker.Hand(&CountingJob::Part, jobs.back().get(), 64);
    }
    releaser = std::thread([&held] { held.Release(); });  // while the end waits, or about to
  }
  releaser.join();
  EXPECT_TRUE(held.finished);
  for (const auto& job : jobs) EXPECT_TRUE(job->EachRanOnce());
}

TEST(Worker, AForkedChildDoesNotWaitForTheParentsThread) {
  auto worker = std::make_unique<Worker>(2);
  HoldingJob held;
  const Worker::Ticket heldTicket = worker->Hand(&HoldingJob::Part, &held, 1);
  held.started.wait(false);  // the parent's helper is in the middle of it at the fork

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(20);  // a child that waits on the thread it lacks ends by the alarm instead
    worker->Wait(heldTicket);
    CountingJob job(16);
    worker->ForEachPart(16, &CountingJob::Part, &job);
    worker.reset();
    _exit(job.EachRanOnce() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  held.Release();
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a part of the child's job did not run once";
}

}  // namespace
