// The date gate, the version check, the updater download and the update
// thread against loopback servers; the whole road with nginx, tinyproxy and
// the real program is in tests/e2e/test_update.py.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <ctime>

#include "NetTestSupport.h"
#include "hub/Application.h"
#include "log/Log.h"
#include "net/HttpGet.h"
#include "net/NetInterface.h"
#include "net/Update.h"
#include "net/UpdateBackend.h"
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

class StringSink : public net::ByteSink {
 public:
  bool Write(const char* data, size_t size) override {
    bytes.append(data, size);
    return true;
  }
  std::string bytes;
};

// One GET of the updater against a server that answers with `reply`.
net::GetResult Get(const std::string& reply, std::string* body, uint64_t maxBody = 1 << 20) {
  nettest::RequestLog requests;
  LoopbackServer server([&](int fd) {
    requests.Add(nettest::ReadRequest(fd));
    nettest::SendAll(fd, reply);
  });
  const netio::Socket s = netio::OpenTcp();
  uint32_t addr = 0;
  EXPECT_TRUE(netio::Resolve("127.0.0.1", &addr) && netio::Connect(s, addr, uint16_t(server.port())));
  net::HostAndPort host;
  net::ParseHostAndPort(server.hostPort().c_str(), &host);
  StringSink sink;
  const net::GetResult r = net::HttpGet(s, net::BuildGetRequest(host, net::kUpdaterPath, false), &sink, maxBody);
  netio::Close(s);
  EXPECT_EQ(requests.All().size(), 1u);
  EXPECT_EQ(requests.All().at(0).rfind("GET /updates/vorl_update.exe HTTP/1.1\r\nHost: " + server.hostPort(), 0), 0u);
  *body = sink.bytes;
  return r;
}

TEST(UpdaterGet, OnlyACompleteOkBodyCounts) {
  using R = net::GetResult;
  std::string body;
  const std::string payload = std::string(200000, 'x') + "end";
  EXPECT_EQ(Get(nettest::Reply200(payload), &body), R::Complete);
  EXPECT_EQ(body, payload);
  EXPECT_EQ(Get("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                "5\r\nhello\r\n7;ext=1\r\n, world\r\n0\r\nX-Trailer: 1\r\n\r\n", &body),
            R::Complete);
  EXPECT_EQ(body, "hello, world");

  const std::pair<std::string, R> failures[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part", R::Truncated},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", R::Truncated},
      {"HTTP/1.1 200 OK\r\n\r\nclose-delimited", R::NoLength},
      {"HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nnope!", R::BadStatus},
      {"garbage\r\n\r\n", R::BadStatus},
      {"HTTP/1.1 200 OK\r\nContent-Length: 2000000\r\n\r\n", R::TooLarge},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nfffffff\r\n", R::TooLarge},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", R::Malformed},
      {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello", R::Malformed},
      {"HTTP/1.1 200 OK\r\nX-Long: " + std::string(100000, 'a') + "\r\n\r\n", R::Malformed},
  };
  for (const auto& [reply, expected] : failures) EXPECT_EQ(Get(reply, &body), expected) << reply.substr(0, 60);
}

int EntriesStartingWith(const std::string& dir, const std::string& prefix) {
  int n = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) n += std::string(e->d_name).rfind(prefix, 0) == 0;
    closedir(d);
  }
  return n;
}

class Download : public ::testing::Test {
 protected:
  bool Fetch(const std::string& reply) {
    LoopbackServer server([&](int fd) {
      nettest::ReadRequest(fd);
      nettest::SendAll(fd, reply);
    });
    return FetchFrom(server.hostPort());
  }
  bool FetchFrom(const std::string& hostPort) {
    net::HostAndPort host;
    net::ParseHostAndPort(hostPort.c_str(), &host);
    EnvGuard env("LUMISAVER_UPDATE_HOST", hostPort.c_str());
    return DownloadUpdater(t_.app->net, host, t_.app->paths->updaterPath);
  }
  nettest::TestApp t_{"download"};
};

TEST_F(Download, CompleteFileReplacesTheOldOneOwnerExecutable) {
  // What a download cut short by the end of an earlier run left behind.
  nettest::WriteFile(t_.updaterPath + ".part", std::string(5000, 'j'));
  nettest::WriteFile(t_.updaterPath, "old updater", 0700);
  ASSERT_TRUE(Fetch(nettest::Reply200("#!/bin/sh\necho updater\n")));
  EXPECT_EQ(nettest::ReadFile(t_.updaterPath), "#!/bin/sh\necho updater\n");
  struct stat st {};
  ASSERT_EQ(stat(t_.updaterPath.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(EntriesStartingWith(t_.dataDir, "Brightmoor_updates.exe"), 1);
}

TEST_F(Download, FailedAttemptsLeaveTheGoodFileAlone) {
  nettest::WriteFile(t_.updaterPath, "good updater", 0700);
  EXPECT_FALSE(Fetch("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\npartial"));
  EXPECT_FALSE(Fetch("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"));
  EXPECT_FALSE(FetchFrom("127.0.0.1:" + std::to_string(nettest::ClosedPort())));
  EXPECT_EQ(EntriesStartingWith(t_.dataDir, "Brightmoor_updates.exe"), 1);  // no temporary file left

  // Another instance downloading at the same time holds the temporary file.
  const int busy = open((t_.updaterPath + ".part").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(flock(busy, LOCK_EX), 0);
  EXPECT_FALSE(Fetch(nettest::Reply200("new updater")));
  close(busy);
  EXPECT_EQ(nettest::ReadFile(t_.updaterPath), "good updater");
}

TEST(UpdateThread, LaunchesOnlyThisRunsDownloadAndOnlyOnce) {
  nettest::TestApp t("thread");
  // An updater left by an earlier run is not launched.
  const std::string script = "#!/bin/sh\necho ran >> \"$0.ran\"\n";
  nettest::WriteFile(t.updaterPath, script, 0700);
  const std::string marker = t.dataDir + "/elevated", elevate = t.dataDir + "/elevate.sh";
  // Notes its argument and its parent: pkexec needs a parent that is still
  // there when the screensaver has gone.
  nettest::WriteFile(elevate, "#!/bin/sh\necho \"$1 $(cat /proc/$PPID/comm)\" >> '" + marker + "'\nexec \"$1\"\n",
                     0755);
  EnvGuard elevateEnv("LUMISAVER_ELEVATE", elevate.c_str());
  LaunchUpdater();

  LoopbackServer server([&](int fd) {
    const bool version = nettest::ReadRequest(fd).find("/version/vorl.txt ") != std::string::npos;
    nettest::SendAll(fd, nettest::Reply200(version ? "1.0.0.11\r\n" : script));
  });
  EnvGuard host("LUMISAVER_UPDATE_HOST", server.hostPort().c_str());
  StartUpdateThread(t.app);
  ASSERT_TRUE(nettest::WaitFor([] { return !UpdateThreadBusy(nullptr); }, 30000));
  EXPECT_NE(t.app->updateThread, nullptr);
  EXPECT_EQ(t.app->updateDownloaded.load(), 1);
  EXPECT_EQ(server.connections(), 2);
  LaunchUpdater();
  LaunchUpdater();
  ASSERT_TRUE(nettest::WaitFor([&] { return !nettest::ReadFile(t.updaterPath + ".ran").empty(); }, 10000));
  usleep(300000);
  EXPECT_EQ(nettest::ReadFile(t.updaterPath + ".ran"), "ran\n");
  EXPECT_EQ(nettest::ReadFile(marker), t.updaterPath + " sh\n");

  // Automatic update off: no thread.
  t.app->autoUpdate = 0;
  StartUpdateThread(t.app);
  EXPECT_EQ(t.app->updateThread, nullptr);
  EXPECT_FALSE(UpdateThreadBusy(t.app));
}

// The run ends while the thread waits inside the version exchange. The
// teardown frees nothing the thread still uses; when the server finally
// answers with a newer version, the thread goes on to the download with the
// client, the log, the paths and the application object. Under
// AddressSanitizer or ThreadSanitizer this shows no use after free and no
// race (tests/e2e/test_net_sanitize_address.py, test_net_sanitize_thread.py).
class UpdateTeardown : public ::testing::TestWithParam<bool> {};

TEST_P(UpdateTeardown, StalledExchangeOutlivesTheTeardown) {
  const bool viaProxy = GetParam();
  nettest::Gate requested, release;
  LoopbackServer server([&](int fd) {
    if (nettest::ReadRequest(fd).find("/version/vorl.txt ") != std::string::npos) {
      requested.Open();
      release.Wait(30000);
      nettest::SendAll(fd, nettest::Reply200("1.0.0.11\r\n"));
    } else {
      nettest::SendAll(fd, nettest::Reply200("payload"));
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
  EXPECT_EQ(app->updateDownloaded.load(), 1);
  EnvGuard elevateEnv("LUMISAVER_ELEVATE", "/bin/true");
  LaunchUpdater();  // consume this run's file
  delete t;         // the thread is done now: free the rest
}

INSTANTIATE_TEST_SUITE_P(DirectAndProxy, UpdateTeardown, ::testing::Values(false, true));

}  // namespace
