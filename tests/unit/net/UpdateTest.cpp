// The date gate, the version check and the update thread against loopback
// servers; the whole road with nginx, tinyproxy and the real program is in
// tests/e2e/test_update.py.
#include <ctime>

#include "NetTestSupport.h"
#include "hub/Application.h"
#include "log/Log.h"
#include "net/NetInterface.h"
#include "net/Update.h"
#include "settings/DataPaths.h"
#include "settings/VersionInfo.h"

using nettest::LoopbackServer;

namespace {

int TodayFromLibc() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

TEST(DateGate, DueOnlyWhenTheLastLaunchWasBeforeToday) {
  nettest::TestApp t("gate");
  const int today = TodayFromLibc();
  t.app->lastUpdateDate = today;
  EXPECT_EQ(IsUpdateDue(t.app), 0);
  EXPECT_EQ(t.app->todayDate.load(), today);
  t.app->lastUpdateDate = today + 10000;  // a year ahead: the clock was set back
  EXPECT_EQ(IsUpdateDue(t.app), 0);
  t.app->lastUpdateDate = today - 1;
  EXPECT_EQ(IsUpdateDue(t.app), 1);
}

// Serves `reply` to every connection, sent as is after the request.
int CheckAgainst(CApplication* app, const std::string& reply) {
  LoopbackServer server([&](int fd) {
    nettest::ReadRequest(fd);
    nettest::SendAll(fd, reply);
  });
  EnvGuard host("LUMISAVER_UPDATE_HOST", server.hostPort().c_str());
  return CheckVersion(app);
}

TEST(VersionCheck, OnlyANewerServerVersionMarksAnUpdate) {
  nettest::TestApp t("check");
  for (const char* body : {"1.0.0.10\r\n", "0.9.9.99\r\n", "255.0.0.0\r\n"}) {
    EXPECT_EQ(CheckAgainst(t.app, nettest::Reply200(body)), 1) << body;
    EXPECT_EQ(t.app->updateAvailable.load(), 0) << body;
  }
  EXPECT_EQ(CheckAgainst(t.app, "HTTP/1.1 404 Not Found\r\n\r\n<html>2.0.0.0</html>"), 1);
  EXPECT_EQ(t.app->updateAvailable.load(), 0);
  // A reply without a blank line holds no version: nothing is concluded.
  VersionInfo* before = t.app->serverVersion.load();
  EXPECT_EQ(CheckAgainst(t.app, "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n2.0.0.0\r\n"), 1);
  EXPECT_EQ(t.app->serverVersion.load(), before);
  EXPECT_EQ(CheckAgainst(t.app, ""), 0);  // closed without a reply

  EXPECT_EQ(CheckAgainst(t.app, nettest::Reply200("1.0.0.11\r\n")), 1);
  EXPECT_EQ(t.app->updateAvailable.load(), 1);
  EXPECT_EQ(t.app->serverVersion.load()->version[3], 11);
}

// Linux leaves updates to the package manager: a newer version is logged,
// nothing is fetched, nothing is started.
TEST(UpdateThread, NewerVersionIsOnlyLogged) {
  nettest::TestApp t("thread");
  // An updater left in the data directory is not started either.
  nettest::WriteFile(t.updaterPath, "#!/bin/sh\necho ran >> \"$0.ran\"\n", 0700);
  nettest::RequestLog requests;
  LoopbackServer server([&](int fd) {
    requests.Add(nettest::ReadRequest(fd));
    nettest::SendAll(fd, nettest::Reply200("1.0.0.11\r\n"));
  });
  EnvGuard host("LUMISAVER_UPDATE_HOST", server.hostPort().c_str());
  StartUpdateThread(t.app);
  ASSERT_TRUE(nettest::WaitFor([] { return !UpdateThreadBusy(nullptr); }, 30000));
  EXPECT_NE(t.app->updateThread, nullptr);
  EXPECT_EQ(t.app->updateAvailable.load(), 1);
  EXPECT_EQ(t.app->updateDownloaded.load(), 0);
  ASSERT_EQ(requests.All().size(), 1u);
  EXPECT_NE(requests.All()[0].find("/version/vorl.txt "), std::string::npos);
  LaunchUpdater();
  usleep(300000);
  EXPECT_EQ(nettest::ReadFile(t.updaterPath + ".ran"), "");
  EXPECT_NE(t.Log().find("Version 1.0.0.11 is available; the package manager provides updates"), std::string::npos)
      << t.Log();

  // Automatic update off: no thread.
  t.app->autoUpdate = 0;
  StartUpdateThread(t.app);
  EXPECT_EQ(t.app->updateThread, nullptr);
  EXPECT_FALSE(UpdateThreadBusy(t.app));
}

// The run ends while the thread waits inside the version exchange. The
// teardown frees nothing the thread still uses; when the server finally
// answers with a newer version, the thread goes on with the client, the log
// and the application object. Under AddressSanitizer or ThreadSanitizer this
// shows no use after free and no race (tests/e2e/test_net_sanitize_address.py, test_net_sanitize_thread.py).
class UpdateTeardown : public ::testing::TestWithParam<bool> {};

TEST_P(UpdateTeardown, StalledExchangeOutlivesTheTeardown) {
  const bool viaProxy = GetParam();
  nettest::Gate requested, release;
  LoopbackServer server([&](int fd) {
    if (nettest::ReadRequest(fd).find("/version/vorl.txt ") != std::string::npos) {
      requested.Open();
      release.Wait(30000);
      nettest::SendAll(fd, nettest::Reply200("1.0.0.11\r\n"));
    }
  });
  EnvGuard host("LUMISAVER_UPDATE_HOST", viaProxy ? "update.example.org" : server.hostPort().c_str());
  auto* t = new nettest::TestApp("teardown");
  CApplication* app = t->app;
  if (viaProxy) app->net->SetProxy(u"127.0.0.1", server.port());
  StartUpdateThread(app);
  ASSERT_TRUE(requested.Wait(30000));

  // The application's teardown (DestroyApplication): the client after its
  // stop, the log and the paths go only when the update thread is done.
  const bool leftToExit = UpdateThreadBusy(app);
  EXPECT_TRUE(leftToExit);
  if (!leftToExit) {
    app->net->Stop(false);
    delete app->net;
    delete app->log;
    delete app->paths;
    app->net = nullptr;
    app->log = nullptr;
    app->paths = nullptr;
  }
  // A Stop while the exchange runs leaves its socket and the socket library alone.
  if (app->net) app->net->Stop(UpdateThreadBusy(app));

  release.Open();
  ASSERT_TRUE(nettest::WaitFor([] { return !UpdateThreadBusy(nullptr); }, 30000));
  EXPECT_NE(t->Log().find("Version 1.0.0.11 is available"), std::string::npos);
  delete t;         // the thread is done now: free the rest
}

INSTANTIATE_TEST_SUITE_P(DirectAndProxy, UpdateTeardown, ::testing::Values(false, true));

}  // namespace
