#pragma once
// The elapsed-time clock of every drawable.
#include <cstdint>

// Elapsed-time clock of a drawable. Reads a replaceable counter so that tests
// and the snapshot mode can step time; the running program uses the
// high-resolution counter.
struct ClockSource {
  int64_t (*counter)();
  int64_t (*frequency)();
};
void SetClockSource(const ClockSource* source);  // nullptr restores the real one
const ClockSource& CurrentClockSource();

class CTimer {
 public:
  CTimer();  // reads the frequency, not started
  void Sample();

  int64_t start = 0;
  int64_t now = 0;
  int64_t frequency = 1;
  float elapsed = 0.0f;
  int started = 0;
};
