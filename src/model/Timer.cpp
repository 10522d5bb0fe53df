#include "model/Timer.h"

#include "platform/Platform.h"

namespace {

int64_t PerfCounterSource() { return plat::PerfCounter(); }
int64_t PerfFrequencySource() { return plat::PerfFrequency(); }

const ClockSource kPerformanceClock{PerfCounterSource, PerfFrequencySource};
const ClockSource* g_clockSource = &kPerformanceClock;

}  // namespace

void SetClockSource(const ClockSource* source) {
  g_clockSource = source != nullptr ? source : &kPerformanceClock;
}

const ClockSource& CurrentClockSource() { return *g_clockSource; }

CTimer::CTimer() {
  frequency = CurrentClockSource().frequency();
  // A zero or negative rate would turn every elapsed time into inf or NaN,
  // and a NaN angle never ends the model's turn.
  if (frequency <= 0) frequency = 1;
}

void CTimer::Sample() {
  if (!started) {
    start = CurrentClockSource().counter();
    now = start;
    elapsed = 0.0f;
    started = 1;
    return;
  }
  now = CurrentClockSource().counter();
  elapsed = static_cast<float>(static_cast<double>(now - start) / static_cast<double>(frequency));
}
