#include "platform/frame_timer.h"

#include <climits>
#include <cstdio>

#include "platform/posix/module_path.h"
#include "platform/printable_text.h"

FrameTimer* g_frameTimer = nullptr;

namespace {

// Truncation toward zero, clamped to int: a schedule left untouched for weeks must not overflow.
int TruncateToInt(double v) {
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace

FrameTimer::FrameTimer() : event_(platform::CurrentBackend().CreateEvent()) {}

FrameTimer::~FrameTimer() {
  event_.reset();
  instanceLock_.Release();
}

void FrameTimer::SignalEvent() { event_->Set(); }

void FrameTimer::ClearEvent() { event_->Reset(); }

int FrameTimer::WaitFrame(int fps) {
  // Unsigned 32-bit differences: a wrap of the clock between the readings does no harm.
  double elapsed = static_cast<double>(static_cast<uint32_t>(timeGetTime() - startTime));
  int ms = TruncateToInt(nextDeadline - elapsed);  // truncation toward zero; late gives <= 0
  WaitMs(ms);
  double elapsed2 = static_cast<double>(static_cast<uint32_t>(timeGetTime() - startTime));
  int lateness = TruncateToInt(elapsed2 - nextDeadline);
  // The schedule is absolute: fractions accumulate here, each wait is only truncated.
  nextDeadline += 1000.0 / static_cast<double>(fps);
  return lateness;
}

int FrameTimer::WaitMs(int ms) {
  if (ms < 0) return 1;
  ClearEvent();
  platform::WaitableEvent::WaitResult r = platform::WaitableEvent::WaitResult::Signalled;
  if (ms > 0) r = event_->Wait(static_cast<uint32_t>(ms));
  SignalEvent();
  switch (r) {
    case platform::WaitableEvent::WaitResult::Signalled: return 0;
    case platform::WaitableEvent::WaitResult::TimedOut: return 1;
    default: return 2;
  }
}

bool FrameTimer::IsAlreadyRunning(const char* name) {
  if (!name) return false;
  const auto result = instanceLock_.Acquire(name);
  // Without any lock this copy still runs; it only cannot tell whether another one does.
  if (result == platform::posix::InstanceLock::Result::Failed) {
    const std::string lockFile = platform::PrintableText(platform::posix::InstanceLock::LockFilePath(name));
    std::fprintf(stderr,
                 "scatterview: warning: no single-instance lock could be made (%s); a second copy "
                 "would not be detected\n",
                 lockFile.c_str());
  }
  return result == platform::posix::InstanceLock::Result::HeldElsewhere;
}

std::string FrameTimer::GetModuleDirectory() {
  return platform::posix::DirectoryOf(platform::posix::ExecutablePath());
}
