// The render loop's pace with the platform's own clock and sleep, the ones
// the screensaver window uses: frames of a varying cost (2 to 30 ms of
// work), the interval between frame starts measured on the high-resolution
// counter. Prints the spread; a benchmark, it never fails on the figures.
//   bench_frames [FRAMES]   (default 200, 10 s at 20 frames a second)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/RenderLoop.h"
#include "platform/Platform.h"

namespace {

double NowMs() { return static_cast<double>(plat::PerfCounter()) * 1000.0 / static_cast<double>(plat::PerfFrequency()); }

class TimedPort final : public IRenderLoopPort {
 public:
  explicit TimedPort(int frames) : frames_(frames) {}

  Pump PumpOneMessage(int* exitCode) override {
    if (static_cast<int>(starts.size()) < frames_) return Pump::Empty;
    *exitCode = 0;
    return Pump::Quit;
  }

  void DrawFrame() override {
    const double start = NowMs();
    starts.push_back(start);
    // A spin, not a sleep: drawing keeps the processor busy.
    seed_ = seed_ * 1103515245u + 12345u;
    const double cost = 2.0 + static_cast<double>((seed_ >> 16) % 2800) / 100.0;
    while (NowMs() - start < cost) {
    }
  }

  uint32_t TickCount() override { return plat::TickCountMs(); }
  void Sleep(uint32_t ms) override { plat::SleepMs(ms); }

  std::vector<double> starts;

 private:
  int frames_;
  uint32_t seed_ = 1;
};

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(3, std::atoi(argv[1])) : 200;
  TimedPort port(frames);
  RunMessageLoop(port);
  std::vector<double> intervals;
  for (size_t i = 1; i < port.starts.size(); ++i) intervals.push_back(port.starts[i] - port.starts[i - 1]);
  double sum = 0, squares = 0;
  for (const double v : intervals) sum += v;
  const double mean = sum / static_cast<double>(intervals.size());
  for (const double v : intervals) squares += (v - mean) * (v - mean);
  std::sort(intervals.begin(), intervals.end());
  const auto at = [&](double q) { return intervals[static_cast<size_t>(q * static_cast<double>(intervals.size() - 1))]; };
  std::printf("frame intervals over %zu frames (target %u ms): mean %.2f ms, sd %.2f ms, min %.2f, p5 %.2f, "
              "median %.2f, p95 %.2f, max %.2f ms\n",
              intervals.size(), static_cast<unsigned>(kFramePeriodMs), mean,
              std::sqrt(squares / static_cast<double>(intervals.size())), intervals.front(), at(0.05), at(0.5),
              at(0.95), intervals.back());
  return 0;
}
