#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/RenderLoop.h"

namespace {

// A clock that moves only when a frame is drawn or the loop sleeps, and a
// queue that reports what the test scripted.
class ScriptedPort final : public IRenderLoopPort {
 public:
  explicit ScriptedPort(uint32_t start) : now(start) {}

  Pump PumpOneMessage(int* exitCode) override {
    if (frameCosts.empty() && messages.empty()) {
      *exitCode = quitCode;
      trace.push_back("quit");
      return Pump::Quit;
    }
    if (!messages.empty()) {
      const Pump next = messages.front();
      messages.pop_front();
      if (next == Pump::Quit) *exitCode = quitCode;
      if (next == Pump::Dispatched) trace.push_back("message");
      return next;
    }
    return Pump::Empty;
  }

  void DrawFrame() override {
    trace.push_back("frame");
    now += frameCosts.front();
    frameCosts.pop_front();
  }

  uint32_t TickCount() override { return now; }

  void Sleep(uint32_t ms) override {
    trace.push_back("sleep " + std::to_string(ms));
    now += ms;
  }

  uint32_t now;
  std::deque<uint32_t> frameCosts;  // the loop quits once these are drawn
  std::deque<Pump> messages;        // taken before anything else
  int quitCode = 0;
  std::vector<std::string> trace;
};

using Trace = std::vector<std::string>;

TEST(RenderLoop, PacesEachDrawingPassToFiftyMilliseconds) {
  ScriptedPort port(1000);
  port.frameCosts = {20, 70, 50, 49, 0};
  RunMessageLoop(port);
  EXPECT_EQ(port.trace, (Trace{"frame", "sleep 30", "frame", "frame", "frame", "sleep 1", "frame", "sleep 50",
                               "quit"}));
}

TEST(RenderLoop, APreviewPacesItsPassesToItsOwnPeriod) {
  ScriptedPort port(0);
  port.frameCosts = {20, 120};
  RunMessageLoop(port, kPreviewFramePeriodMs);
  EXPECT_EQ(port.trace, (Trace{"frame", "sleep 80", "frame", "quit"}));
}

TEST(RenderLoop, ElapsedTimeIsRightAcrossTheTickCountWrap) {
  ScriptedPort shortFrame(0xFFFFFFF0u);  // wraps 16 ms into a 20 ms frame
  shortFrame.frameCosts = {20};
  RunMessageLoop(shortFrame);
  EXPECT_EQ(shortFrame.trace, (Trace{"frame", "sleep 30", "quit"}));

  ScriptedPort longFrame(0xFFFFFFFFu);  // wraps 1 ms into a 70 ms frame
  longFrame.frameCosts = {70};
  RunMessageLoop(longFrame);
  EXPECT_EQ(longFrame.trace, (Trace{"frame", "quit"}));

  EXPECT_EQ(FramePacingDelay(0xFFFFFFECu, 0x00000000u), 30u);
  EXPECT_EQ(FramePacingDelay(0xFFFFFFFFu, 0x00000031u), 0u);
}

TEST(RenderLoop, PendingMessagesAreDispatchedBeforeAnyFrame) {
  ScriptedPort port(0);
  port.messages = {IRenderLoopPort::Pump::Dispatched, IRenderLoopPort::Pump::Dispatched};
  port.frameCosts = {10};
  RunMessageLoop(port);
  EXPECT_EQ(port.trace, (Trace{"message", "message", "frame", "sleep 40", "quit"}));
}

TEST(RenderLoop, ASteadyStreamOfMessagesDrawsNoFrame) {
  ScriptedPort port(0);
  port.messages.assign(10000, IRenderLoopPort::Pump::Dispatched);
  port.quitCode = 7;
  // The stream outlasts the loop: the quit comes while messages remain.
  port.messages.push_back(IRenderLoopPort::Pump::Quit);
  port.frameCosts = {10};
  EXPECT_EQ(RunMessageLoop(port), 7);
  EXPECT_EQ(port.trace.size(), 10000u);
  EXPECT_EQ(port.trace.back(), "message");
  EXPECT_EQ(port.frameCosts.size(), 1u);  // never drawn
}

}  // namespace
