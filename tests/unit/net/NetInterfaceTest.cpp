// The client against loopback servers: one send and the whole reply, the proxy,
// the probe, the time-outs and the log lines they leave.
#include <chrono>
#include <cstdio>

#include "NetTestSupport.h"
#include "hub/Application.h"
#include "net/NetInterface.h"
#include "net/Socket.h"

using nettest::LoopbackServer;

namespace {

bool Has(const std::string& log, const std::string& line) { return log.find(" " + line + "\r\n") != std::string::npos; }

class NetClient : public ::testing::Test {
 protected:
  ~NetClient() override { netio::SetIoTimeoutMs(netio::kDefaultIoTimeoutMs); }
  NetInterface* net() { return t_.app->net; }
  nettest::TestApp t_{"client"};
};

TEST_F(NetClient, ExchangeIsOneSendAndTheWholeReply) {
  nettest::RequestLog requests;
  nettest::Gate done;
  const std::string headers = "HTTP/1.1 200 OK\r\ncontent-LENGTH: 10\r\n\r\n";
  // Headers and body in two writes, as a proxy passes them on; the
  // connection stays open, so only the announced length ends the reply.
  LoopbackServer server([&](int fd) {
    requests.Add(nettest::ReadRequest(fd));
    nettest::SendAll(fd, headers);
    usleep(300000);
    nettest::SendAll(fd, "1.0.0.11\r\n");
    done.Wait(10000);
  });
  EnvGuard host("LUMISAVER_UPDATE_HOST", server.hostPort().c_str());
  char buffer[1024] = {};
  const auto start = std::chrono::steady_clock::now();
  const int n = net()->RequestVersion(buffer);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  done.Open();
  EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), headers + "1.0.0.11\r\n");
  EXPECT_LT(ms.count(), kReplyBudgetMs / 2) << "waited beyond the announced body";
  ASSERT_EQ(requests.All().size(), 1u);
  const std::string req = requests.All()[0];
  EXPECT_EQ(req.size(), 206 + 3 * server.hostPort().size());
  EXPECT_EQ(req.rfind("GET http://" + server.hostPort() + "/version/vorl.txt HTTP/1.1\r\n", 0), 0u);
  net()->Stop(false);
  const std::string log = t_.Log();
  EXPECT_TRUE(Has(log, "connect ту " + server.hostPort() + " ok"));
  EXPECT_TRUE(Has(log, "pageDone before stop 0"));
}

// What the read yields when the reply does not end by its length.
TEST_F(NetClient, ReplyEndsAtCloseFullBufferOrTimeOut) {
  struct Case {
    std::string sent;
    bool holdOpen;
    std::string expected;
  };
  const std::string big(1500, 'h');
  const Case cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n1.0.", false, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n1.0."},
      {big, true, big.substr(0, 1024)},
      // No length and no close: the time-out ends it with what arrived.
      {"HTTP/1.1 200 OK\r\n\r\n1.0.0.11", true, "HTTP/1.1 200 OK\r\n\r\n1.0.0.11"},
  };
  netio::SetIoTimeoutMs(600);
  for (const Case& c : cases) {
    nettest::Gate done;
    LoopbackServer server([&](int fd) {
      nettest::ReadRequest(fd);
      nettest::SendAll(fd, c.sent);
      if (c.holdOpen) done.Wait(10000);
    });
    EnvGuard host("LUMISAVER_UPDATE_HOST", server.hostPort().c_str());
    char buffer[1024] = {};
    const int n = net()->RequestVersion(buffer);
    done.Open();
    EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), c.expected) << c.sent.substr(0, 40);
  }
}

TEST_F(NetClient, ExchangeFailures) {
  char buffer[1024] = {};
  const std::string closed = "127.0.0.1:" + std::to_string(nettest::ClosedPort());
  for (const std::string& host : {closed, std::string("no-such-host.invalid")}) {
    EnvGuard env("LUMISAVER_UPDATE_HOST", host.c_str());
    EXPECT_EQ(net()->RequestVersion(buffer), 0);
    EXPECT_TRUE(Has(t_.Log(), "Ошибка подключения к серверу " + host));
  }
  LoopbackServer readsAndCloses([](int fd) { nettest::ReadRequest(fd); });
  EnvGuard env("LUMISAVER_UPDATE_HOST", readsAndCloses.hostPort().c_str());
  EXPECT_EQ(net()->RequestVersion(buffer), 0);
}

TEST_F(NetClient, SilentServerIsCutOffByTheTimeOut) {
  nettest::Gate release;
  LoopbackServer server([&](int fd) {
    nettest::ReadRequest(fd);
    release.Wait(30000);
  });
  EnvGuard host("LUMISAVER_UPDATE_HOST", server.hostPort().c_str());
  netio::SetIoTimeoutMs(300);
  char buffer[1024] = {};
  EXPECT_EQ(net()->RequestVersion(buffer), -1);
  release.Open();
}

TEST_F(NetClient, BlackHoledConnectIsCutOffByTheTimeOut) {
  // A listener that never accepts, its backlog filled: further connection
  // attempts get no answer at all.
  LoopbackServer server(nullptr, 0);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    fillers.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(server.port()));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fillers.back(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  }
  usleep(100000);
  EnvGuard probe("LUMISAVER_PROBE_HOST", server.hostPort().c_str());
  netio::SetIoTimeoutMs(400);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(net()->CheckConnection(), 0);
  std::printf("black-holed connect gave up after %.2f s (time-out 0.4 s)\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  EXPECT_TRUE(Has(t_.Log(), "Error connect to server " + server.hostPort()));
  for (int fd : fillers) close(fd);
}

TEST_F(NetClient, ProxyConnection) {
  net()->SetProxy(u"no-such-host.invalid", 3128);
  EXPECT_EQ(net()->ConnectProxy(), 0);
  EXPECT_TRUE(Has(t_.Log(), "Proxy no-such-host.invalid:3128 not enabled"));

  net()->SetProxy(u"127.0.0.1", nettest::ClosedPort());
  EXPECT_EQ(net()->ConnectProxy(), 0);
  EXPECT_TRUE(Has(t_.Log(), "Ошибка подключения к прокси-серверу"));
  EXPECT_EQ(net()->sock, netio::kNoSocket);

  // A name longer than the 127-byte field is not cut into another name.
  net()->SetProxy(std::u16string(200, u'a').c_str(), 3128);
  EXPECT_STREQ(net()->proxyHost, "");

  // The port is used modulo 65536; the exchange takes the absolute URI.
  nettest::RequestLog requests;
  LoopbackServer proxy([&](int fd) {
    requests.Add(nettest::ReadRequest(fd));
    nettest::SendAll(fd, nettest::Reply200("1.0.0.11\r\n"));
  });
  EnvGuard host("LUMISAVER_UPDATE_HOST", "update.example.org");
  net()->SetProxy(u"127.0.0.1", proxy.port() + 65536);
  char buffer[1024] = {};
  EXPECT_GT(net()->RequestVersion(buffer), 0);
  ASSERT_EQ(requests.All().size(), 1u);
  EXPECT_EQ(requests.All()[0].rfind("GET http://update.example.org/version/vorl.txt HTTP/1.1\r\n", 0), 0u);
  EXPECT_TRUE(Has(t_.Log(), "Proxy 127.0.0.1:" + std::to_string(proxy.port() + 65536) + " enabled"));
  EXPECT_TRUE(Has(t_.Log(), "connect ту прокси ok"));
  EXPECT_EQ(net()->sock, netio::kNoSocket);
}

TEST_F(NetClient, ProbeSendsNothingAndFollowsTheProxySetting) {
  std::atomic<int> bytes{0};
  LoopbackServer probeHost([&](int fd) {
    char c;
    if (recv(fd, &c, 1, 0) > 0) ++bytes;
  });
  EnvGuard probe("LUMISAVER_PROBE_HOST", probeHost.hostPort().c_str());
  EXPECT_EQ(net()->CheckConnection(), 1);
  EXPECT_TRUE(nettest::WaitFor([&] { return probeHost.connections() == 1; }, 5000));
  EXPECT_TRUE(Has(t_.Log(), "Connect to " + probeHost.hostPort() + " ok"));
  {
    EnvGuard unknown("LUMISAVER_PROBE_HOST", "no-such-host.invalid");
    EXPECT_EQ(net()->CheckConnection(), 0);
    EXPECT_TRUE(Has(t_.Log(), "gethostbyname error (no-such-host.invalid)"));
  }
  // With a dead proxy set, the reachable probe host does not count.
  net()->SetProxy(u"127.0.0.1", nettest::ClosedPort());
  EXPECT_EQ(net()->CheckConnection(), 0);
  EXPECT_EQ(probeHost.connections(), 1);
  EXPECT_EQ(bytes.load(), 0);
}

}  // namespace
