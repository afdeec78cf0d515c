// FrameTimer: paces the frames on an absolute schedule of fractional periods measured from a start
// time, and holds two process services of the shell: the single-instance guard and the module
// directory. One instance, created first at start-up and reached through g_frameTimer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/backend.h"
#include "platform/posix/instance_lock.h"

class FrameTimer {
 public:
  FrameTimer();
  virtual void SignalEvent();
  virtual void ClearEvent();
  virtual ~FrameTimer();  // closes the event, then ends the single-instance guard

  // Waits until nextDeadline (ms after startTime), then moves it on by 1000 / fps ms. Returns how late
  // the frame was, in whole ms, measured after the wait against the deadline it waited for.
  int WaitFrame(int fps);
  // Waits on the event for at most `ms` ms: 0 signalled (or ms 0), 1 timed out (or ms negative), 2 failed.
  int WaitMs(int ms);
  // True exactly when another holder (another process, or another FrameTimer) has the guard `name`.
  // A lock that cannot be taken for any other reason counts as "not running": the program goes on.
  bool IsAlreadyRunning(const char* name);
  // The executable's directory without a trailing '/'; needs no instance.
  static std::string GetModuleDirectory();

  uint32_t startTime = 0;     // timeGetTime() when pacing was last (re)started
  double nextDeadline = 0.0;  // ms after startTime at which the next frame is due

 private:
  std::unique_ptr<platform::WaitableEvent> event_;
  platform::posix::InstanceLock instanceLock_;
};

// The one frame timer; created first at start-up by the entry point, null before.
extern FrameTimer* g_frameTimer;
