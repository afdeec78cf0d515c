// The single-instance guard across processes: a child process holds it, the parent sees it taken;
// once the holder ends, however it ends, the guard is free again.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/frame_timer.h"
#include "platform/null/null_backend.h"
#include "platform/posix/instance_lock.h"
#include "temp_dir.h"

namespace {

class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    setenv("XDG_RUNTIME_DIR", dir_.Path().c_str(), 1);
  }
  void TearDown() override {
    if (saved_.empty()) unsetenv("XDG_RUNTIME_DIR");
    else setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
  }

  // A child that takes the guard, reports through the pipe, and then waits to be killed.
  pid_t StartHolder(const char* name) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      platform::posix::InstanceLock lock;
      char result = lock.Acquire(name) == platform::posix::InstanceLock::Result::Acquired ? 'A' : 'x';
      if (write(fds[1], &result, 1) != 1) _exit(2);
      pause();
      _exit(0);
    }
    close(fds[1]);
    char result = 0;
    EXPECT_EQ(read(fds[0], &result, 1), 1);
    close(fds[0]);
    EXPECT_EQ(result, 'A') << "the child took the guard";
    return pid;
  }

  testsupport::TempDir dir_;
  std::string saved_;
};

TEST_F(InstanceLockTest, ASecondProcessSeesTheGuardTakenUntilTheFirstEnds) {
  platform::ScopedNullBackend null;
  pid_t holder = StartHolder("sv-test-guard");
  {
    FrameTimer second;
    EXPECT_TRUE(second.IsAlreadyRunning("sv-test-guard"));
  }
  kill(holder, SIGKILL);  // even a killed holder frees it
  waitpid(holder, nullptr, 0);
  FrameTimer next;
  EXPECT_FALSE(next.IsAlreadyRunning("sv-test-guard"));
}

TEST_F(InstanceLockTest, TheFirstHolderIsNotDisturbedByASecond) {
  platform::ScopedNullBackend null;
  FrameTimer first;
  ASSERT_FALSE(first.IsAlreadyRunning("sv-test-first"));
  {
    FrameTimer second;
    EXPECT_TRUE(second.IsAlreadyRunning("sv-test-first"));
  }
  // The second one's failed attempt and its end leave the first holding the guard.
  FrameTimer third;
  EXPECT_TRUE(third.IsAlreadyRunning("sv-test-first"));
}

TEST_F(InstanceLockTest, DestroyingTheTimerEndsTheGuard) {
  platform::ScopedNullBackend null;
  auto first = std::make_unique<FrameTimer>();
  ASSERT_FALSE(first->IsAlreadyRunning("sv-test-end"));
  first.reset();
  FrameTimer second;
  EXPECT_FALSE(second.IsAlreadyRunning("sv-test-end"));
}

TEST_F(InstanceLockTest, DifferentNamesDoNotMeet) {
  platform::posix::InstanceLock a, b;
  EXPECT_EQ(a.Acquire("sv-one"), platform::posix::InstanceLock::Result::Acquired);
  EXPECT_EQ(b.Acquire("sv-two"), platform::posix::InstanceLock::Result::Acquired);
}

TEST_F(InstanceLockTest, LockFileLivesInTheRuntimeFolderWithAPlainName) {
  EXPECT_EQ(platform::posix::InstanceLock::LockFilePath("a/b c..d"), dir_.Path() + "/a_b_c..d.lock");
}

TEST_F(InstanceLockTest, AnUnusableFolderMeansRunningAsTheFirstInstance) {
  platform::ScopedNullBackend null;
  setenv("XDG_RUNTIME_DIR", (dir_.Path() + "/missing/folder").c_str(), 1);
  FrameTimer timer;
  EXPECT_FALSE(timer.IsAlreadyRunning("sv-test-nofolder"));
}

}  // namespace
