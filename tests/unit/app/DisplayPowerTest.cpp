#include <gtest/gtest.h>

#include <vector>

#include "app/DisplayPower.h"

namespace {

// Both platforms' raw inputs: DPMS (capable, enabled, level) and the
// console display state's DWORD.
TEST(DisplayPowerTest, ReadsBothPlatformsInputs) {
  EXPECT_EQ(FromDpms(true, true, 0), DisplayPower::On);
  for (unsigned level : {1u, 2u, 3u}) EXPECT_EQ(FromDpms(true, true, level), DisplayPower::Asleep) << level;
  // No DPMS on the server, or DPMS disabled: the level means nothing.
  EXPECT_EQ(FromDpms(false, true, 3), DisplayPower::On);
  EXPECT_EQ(FromDpms(true, false, 3), DisplayPower::On);
  EXPECT_EQ(FromConsoleDisplayState(0), DisplayPower::Asleep);
  EXPECT_EQ(FromConsoleDisplayState(1), DisplayPower::On);
  EXPECT_EQ(FromConsoleDisplayState(2), DisplayPower::Dimmed);
  EXPECT_EQ(FromConsoleDisplayState(7), DisplayPower::On);
}

class ScriptedPower final : public IDisplayPowerPort {
 public:
  DisplayPower Query() override {
    ++queries;
    return state;
  }
  DisplayPower state = DisplayPower::On;
  int queries = 0;
};

// One pass every 50 ms through a lit, sleeping and woken monitor, polled
// every 1000 ms while lit.
TEST(DisplayPowerTest, GateDrawsNothingWhileAsleepAndTheWholeFrameOnWaking) {
  using F = CDisplayGate::Frame;
  ScriptedPower power;
  CDisplayGate gate(1000);
  std::vector<F> frames;
  uint32_t now = 0xFFFFFF00u;  // the tick count wraps during the run
  auto pass = [&] {
    frames.push_back(gate.BeforeFrame(power, now));
    now += 50;
  };
  for (int i = 0; i < 20; ++i) pass();
  EXPECT_EQ(power.queries, 1) << "asked once in the first second";
  power.state = DisplayPower::Asleep;  // standby, suspend or off
  for (int i = 0; i < 40; ++i) pass();
  power.state = DisplayPower::Dimmed;
  pass();
  pass();
  // Lit frames until the poll that sees the sleep; none while asleep; the
  // first after waking whole, the next ordinary.
  const size_t firstSkip = 20;
  for (size_t i = 0; i < firstSkip; ++i) EXPECT_EQ(frames[i], F::Draw) << i;
  for (size_t i = firstSkip; i < 60; ++i) EXPECT_EQ(frames[i], F::Skip) << i;
  EXPECT_EQ(frames[60], F::DrawWhole);
  EXPECT_EQ(frames[61], F::Draw);
  EXPECT_EQ(power.queries, 1 + 40 + 1) << "every pass asks while asleep";
}

}  // namespace
