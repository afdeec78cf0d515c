// The frame schedule, the timed wait and the module directory, on the scripted clock of the null
// backend (each wait moves the clock on by its length, so frames that "take no time" are exact).
#include "platform/frame_timer.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

#include "platform/null/null_backend.h"
#include "platform/posix/auto_reset_event.h"
#include "platform/posix/clock.h"
#include "platform/posix/module_path.h"

namespace {

class FrameTimerTest : public ::testing::Test {
 protected:
  platform::ScopedNullBackend null;
  platform::NullBackend& backend = null.backend;
  FrameTimer timer;

  void RestartPacing(uint32_t now, int fps = 60) {
    backend.now = now;
    timer.startTime = timeGetTime();
    timer.nextDeadline = 1000.0 / fps;
  }
};

TEST_F(FrameTimerTest, WaitsSixteenSeventeenSeventeenFromARestart) {
  RestartPacing(5000);
  for (int i = 0; i < 9; ++i) timer.WaitFrame(60);
  EXPECT_EQ(backend.waits, (std::vector<uint32_t>{16, 17, 17, 16, 17, 17, 16, 17, 17}));
  // Three frames every 50 ms: after nine frames the clock stands 150 ms on.
  EXPECT_EQ(backend.now, 5150u);
}

TEST_F(FrameTimerTest, KeepsTheLongRunRateExact) {
  RestartPacing(0);
  for (int i = 0; i < 600; ++i) timer.WaitFrame(60);
  // 600 frames at 60 per second are 10 s: only the last wait's truncation may be missing, no drift.
  EXPECT_GE(backend.now, 9999u);
  EXPECT_LE(backend.now, 10000u);
  for (uint32_t w : backend.waits) EXPECT_TRUE(w == 16 || w == 17) << w;
}

TEST_F(FrameTimerTest, ReturnsLatenessAndSkipsWaitsUntilTheScheduleIsMet) {
  RestartPacing(1000);
  backend.now += 116;  // a frame that overran the first deadline (16.67 ms) by about 100 ms
  EXPECT_EQ(timer.WaitFrame(60), 99);  // 116 - 16.67, truncated
  EXPECT_TRUE(backend.waits.empty()) << "a late frame does not wait";
  // Deadlines 33.3, 50, 66.7, 83.3, 100, 116.7: the clock stays at 116, so five more frames run at once.
  for (int i = 0; i < 5; ++i) timer.WaitFrame(60);
  EXPECT_TRUE(backend.waits.empty());
  timer.WaitFrame(60);  // deadline 116.67: 0 ms left after truncation, still no kernel wait
  EXPECT_TRUE(backend.waits.empty());
  timer.WaitFrame(60);  // deadline 133.33: back on the schedule
  EXPECT_EQ(backend.waits, (std::vector<uint32_t>{17}));
}

TEST_F(FrameTimerTest, AnEarlyFrameReportsNoLateness) {
  RestartPacing(200);
  EXPECT_EQ(timer.WaitFrame(60), 0);  // waited 16, now 16 ms after start, deadline 16.67: -0.67 -> 0
  backend.now += 5;
  EXPECT_EQ(timer.WaitFrame(60), 0);
}

TEST_F(FrameTimerTest, ScheduleSurvivesTheClockWrapping) {
  RestartPacing(0xFFFFFFF0u);  // 16 ms before the 32-bit clock wraps
  for (int i = 0; i < 6; ++i) timer.WaitFrame(60);
  EXPECT_EQ(backend.waits, (std::vector<uint32_t>{16, 17, 17, 16, 17, 17}));
  EXPECT_EQ(backend.now, 0xFFFFFFF0u + 100u);  // wrapped to 84
  backend.now += 200;  // late across the wrap: the lateness is small, not four billion
  EXPECT_EQ(timer.WaitFrame(60), 183);  // 300 - 116.67, truncated
}

TEST_F(FrameTimerTest, AScheduleLeftForWeeksSaturatesInsteadOfOverflowing) {
  RestartPacing(0);
  backend.now = 0xFFFFFF00u;  // 49 days on: more milliseconds than an int holds
  EXPECT_EQ(timer.WaitFrame(60), INT_MAX);
  EXPECT_TRUE(backend.waits.empty());
}

TEST_F(FrameTimerTest, WaitMsAnswersOneAfterANegativeOrFullWaitZeroWithoutWaitingAndTwoOnFailure) {
  backend.now = 100;
  EXPECT_EQ(timer.WaitMs(-5), 1);
  EXPECT_TRUE(backend.waits.empty()) << "a negative time touches nothing";

  EXPECT_EQ(timer.WaitMs(0), 0);
  EXPECT_TRUE(backend.waits.empty()) << "0 ms does not wait";
  EXPECT_EQ(backend.now, 100u);

  EXPECT_EQ(timer.WaitMs(20), 1);
  EXPECT_EQ(backend.waits, (std::vector<uint32_t>{20}));
  EXPECT_EQ(backend.now, 120u);

  backend.failWaits = true;
  EXPECT_EQ(timer.WaitMs(20), 2);
}

TEST_F(FrameTimerTest, ASignalDuringTheWaitEndsItWithZero) {
  backend.onWait = [this](uint32_t) { timer.SignalEvent(); };  // as another thread would
  EXPECT_EQ(timer.WaitMs(50), 0);
  EXPECT_EQ(backend.now, 0u) << "the wait ended early";
}

TEST_F(FrameTimerTest, ASignalBeforeTheWaitIsClearedFirst) {
  timer.SignalEvent();  // left over: WaitMs clears the event before waiting
  EXPECT_EQ(timer.WaitMs(30), 1);
  EXPECT_EQ(backend.now, 30u);
}

// WaitMs goes through the virtual operations, so a derived timer sees every clear and signal.
TEST(FrameTimerVirtuals, WaitMsClearsThenSignalsThroughTheVirtualTable) {
  platform::ScopedNullBackend null;
  struct CountingTimer : FrameTimer {
    std::string calls;
    void SignalEvent() override { calls += "S"; FrameTimer::SignalEvent(); }
    void ClearEvent() override { calls += "C"; FrameTimer::ClearEvent(); }
  } timer;
  timer.WaitMs(-1);
  EXPECT_EQ(timer.calls, "");
  timer.WaitMs(0);
  timer.WaitMs(10);
  EXPECT_EQ(timer.calls, "CSCS");
}

TEST(PosixEvent, ATimedWaitLastsItsTimeAndASetEndsItEarly) {
  platform::posix::AutoResetEvent event;
  uint32_t before = platform::posix::MonotonicMilliseconds();
  EXPECT_EQ(event.Wait(20), platform::WaitableEvent::WaitResult::TimedOut);
  EXPECT_GE(platform::posix::MonotonicMilliseconds() - before, 20u);

  std::thread other([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    event.Set();
  });
  EXPECT_EQ(event.Wait(60000), platform::WaitableEvent::WaitResult::Signalled);
  other.join();
  // Auto-reset: the signal was consumed by the wait.
  EXPECT_EQ(event.Wait(1), platform::WaitableEvent::WaitResult::TimedOut);
  event.Set();
  event.Reset();
  EXPECT_EQ(event.Wait(1), platform::WaitableEvent::WaitResult::TimedOut);
}

TEST(ModuleDirectory, IsTheFolderOfTheRunningProgram) {
  std::string dir = FrameTimer::GetModuleDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.back(), '/');
  std::string exe = platform::posix::ExecutablePath();
  EXPECT_EQ(exe, dir + "/platform_tests");
}

TEST(ModuleDirectory, DirectoryOfKeepsEverythingBeforeTheLastSlash) {
  using platform::posix::DirectoryOf;
  EXPECT_EQ(DirectoryOf("/opt/sv/scatterview"), "/opt/sv");
  EXPECT_EQ(DirectoryOf("/scatterview"), "");  // the root: "" + "/config.ini" is still right
  EXPECT_EQ(DirectoryOf("scatterview"), ".");
  std::string deep = "/" + std::string(300, 'd') + "/" + std::string(300, 'e');
  EXPECT_EQ(DirectoryOf(deep + "/prog"), deep) << "no length cut";
}

}  // namespace
