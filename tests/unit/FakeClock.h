#pragma once
// A clock the test moves by hand (microseconds), for every CTimer of a scene.
#include <cstdint>

#include "model/Timer.h"

namespace fake_clock {

inline int64_t g_now = 0;
inline int64_t Counter() { return g_now; }
inline int64_t Frequency() { return 1000000; }
inline const ClockSource kSource{Counter, Frequency};
// One frame at the render loop's pace.
inline constexpr int64_t kFrame = 50000;

}  // namespace fake_clock
