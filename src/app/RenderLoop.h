#pragma once
// The platform-neutral render loop: one pending message per pass, or one
// frame paced to at least kFramePeriodMs when nothing is pending.
#include <cstdint>

inline constexpr uint32_t kFramePeriodMs = 50;

// What a platform supplies to the loop: its message queue, the frame, the
// millisecond tick count and the sleep.
class IRenderLoopPort {
 public:
  enum class Pump { Empty, Dispatched, Quit };
  virtual ~IRenderLoopPort() = default;
  // Takes at most one pending message and dispatches it unless it is the
  // quit message, whose exit code goes to *exitCode.
  virtual Pump PumpOneMessage(int* exitCode) = 0;
  virtual void DrawFrame() = 0;  // scene and buffer swap
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// How long to sleep after a frame that started at t0 and ended at t1.
// The tick count wraps after 49.7 days; unsigned subtraction keeps the
// elapsed time right across the wrap.
constexpr uint32_t FramePacingDelay(uint32_t t0, uint32_t t1) {
  const uint32_t elapsed = t1 - t0;
  return elapsed < kFramePeriodMs ? kFramePeriodMs - elapsed : 0;
}

// Runs until the quit message; returns its exit code.
int RunMessageLoop(IRenderLoopPort& port);
