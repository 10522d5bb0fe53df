#pragma once
// The platform-neutral render loop: one pending message per pass, or one
// frame paced to at least a frame period when nothing is pending.
#include <cstdint>

inline constexpr uint32_t kFramePeriodMs = 50;
// The preview runs as long as the system's dialog is open, beside whatever
// the user does there: half the frames are plenty for a 320x240 picture.
inline constexpr uint32_t kPreviewFramePeriodMs = 100;

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
constexpr uint32_t FramePacingDelay(uint32_t t0, uint32_t t1, uint32_t periodMs = kFramePeriodMs) {
  const uint32_t elapsed = t1 - t0;
  return elapsed < periodMs ? periodMs - elapsed : 0;
}

// Runs until the quit message; returns its exit code.
int RunMessageLoop(IRenderLoopPort& port, uint32_t periodMs = kFramePeriodMs);
