// The run's -log override changes the log level around every save while the
// update thread writes to the same log; under ThreadSanitizer
// (tests/e2e/test_net_sanitize_thread.py) an unguarded level is a race.
#include <thread>

#include "NetTestSupport.h"
#include "hub/Application.h"
#include "log/Log.h"
#include "net/Update.h"
#include "settings/Overrides.h"

namespace {

TEST(UpdateThreadLog, TheLevelChangesHandsWhileTheThreadWrites) {
  nettest::TestApp t("level");
  std::atomic<int> swaps{0};
  // The reply waits for the first swap: a thread done before the loop's
  // first pass would leave nothing checked.
  nettest::LoopbackServer server([&](int fd) {
    nettest::ReadRequest(fd);
    nettest::WaitFor([&] { return swaps.load() > 0; }, 10000);
    nettest::SendAll(fd, nettest::Reply200("1.0.0.10\r\n"));
  });
  EnvGuard host("LUMISAVER_UPDATE_HOST", server.hostPort().c_str());
  SettingOverrides overrides;
  overrides.hasLog = true;
  overrides.logLevel = 3;  // writes too, so every line of the thread is kept
  StartUpdateThread(t.app);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (UpdateThreadBusy(t.app) && std::chrono::steady_clock::now() < end) {
    ApplyOverrides(t.app, &overrides);
    ++swaps;
    std::this_thread::yield();
  }
  ASSERT_FALSE(UpdateThreadBusy(t.app));
  if (overrides.applied) ApplyOverrides(t.app, &overrides);
  EXPECT_GT(swaps.load(), 0);
  EXPECT_EQ(t.app->log->level.load(), 1);
  EXPECT_EQ(overrides.logLevel, 3);
  EXPECT_NE(t.Log().find("connect "), std::string::npos) << t.Log();
}

}  // namespace
