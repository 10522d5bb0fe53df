#include "net/NetInterface.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "hub/Application.h"
#include "log/Log.h"
#include "net/NetDetail.h"
#include "net/NetLog.h"
#include "net/Socket.h"
#include "platform/Platform.h"

using netio::kNoSocket;

NetInterface::NetInterface(CApplication* a, CLog* l) : app(a), log(l) {}

NetInterface::~NetInterface() = default;

int NetInterface::Init() {
  pageDone = 0;
  proxyEnabled = 0;
  if (!netio::Startup()) {
    netlog::A(log, "NetInterface::Init: WSAStartup() error");
    return 0;
  }
  socketsStarted = 1;
  netlog::A(log, "NetInterface::Init: WSAStartup() ok");
  return 1;
}

int NetInterface::SetProxy(const char16_t* host, int port) {
  std::memset(proxyHost, 0, sizeof proxyHost);
  const std::string ansi = host ? plat::Utf16ToAnsi(host) : std::string();
  // A name that does not fit stays empty: a cut-off name would reach some
  // other host.
  if (ansi.size() < sizeof proxyHost) std::memcpy(proxyHost, ansi.data(), ansi.size());
  proxyPort = port;
  proxyEnabled = 1;
  return 1;
}

int NetInterface::ConnectProxy() {
  if (sock != kNoSocket) {
    netio::Close(sock);
    sock = kNoSocket;
  }
  sock = netio::OpenTcp();
  if (sock == kNoSocket) {
    netlog::Cyr(log, netlog::kNoTcpSocket);
    return 0;
  }
  uint32_t addr = 0;
  if (!netio::Resolve(proxyHost, &addr) &&
      !(netio::ParseDotted(proxyHost, &addr) && netio::ReverseLookup(addr))) {
    netlog::A(log, "Proxy %s:%d not enabled", proxyHost, proxyPort);
    netio::Close(sock);
    sock = kNoSocket;
    return 0;
  }
  proxyAddr.addr = addr;
  proxyAddr.port = static_cast<uint16_t>(proxyPort & 0xFFFF);
  proxyEnabled = 1;
  char dotted[16];
  netio::FormatDotted(addr, dotted);
  netlog::A(log, "Proxy %s:%d enabled", dotted, proxyPort);
  if (!netio::Connect(sock, proxyAddr.addr, proxyAddr.port)) {
    netlog::Cyr(log, netlog::kProxyConnectError);
    netio::Close(sock);
    sock = kNoSocket;
    return 0;
  }
  netlog::Cyr(log, netlog::kProxyConnected);
  return 1;
}

int NetInterface::CheckConnection() {
  if (proxyEnabled) {
    if (!ConnectProxy()) return 0;
    netio::Close(sock);
    sock = kNoSocket;
    return 1;
  }
  const net::HostAndPort probe = net::ProbeHost();
  const netio::Socket s = netio::OpenTcp();
  if (s == kNoSocket) {
    netlog::A(log, "Cannot create TCP socket");
    return 0;
  }
  uint32_t addr = 0;
  if (!netio::Resolve(probe.name, &addr)) {
    netlog::A(log, "gethostbyname error (%s)", probe.text);
    netio::Close(s);
    return 0;
  }
  if (!netio::Connect(s, addr, probe.port)) {
    netlog::A(log, "Error connect to server %s", probe.text);
    netio::Close(s);
    return 0;
  }
  netlog::A(log, "Connect to %s ok", probe.text);
  netio::Close(s);
  return 1;
}

int NetInterface::ConnectUpdateHost(intptr_t* out) {
  *out = kNoSocket;
  if (proxyEnabled) {
    if (!ConnectProxy()) return 0;
    // The exchange owns the connection from here on.
    *out = sock;
    sock = kNoSocket;
    return 1;
  }
  const net::HostAndPort host = net::UpdateHost();
  const netio::Socket s = netio::OpenTcp();
  if (s == kNoSocket) {
    netlog::Cyr(log, netlog::kNoTcpSocket);
    return 0;
  }
  uint32_t addr = 0;
  if (!netio::Resolve(host.name, &addr) || !netio::Connect(s, addr, host.port)) {
    netlog::Cyr(log, netlog::kServerConnectError, host.text);
    netio::Close(s);
    return 0;
  }
  netlog::Cyr(log, netlog::kServerConnected, host.text);
  *out = s;
  return 1;
}

int NetInterface::RequestVersion(char* buffer) {
  netio::Socket s = kNoSocket;
  if (!ConnectUpdateHost(&s)) return 0;
  const std::string request = net::BuildVersionRequest(net::UpdateHost().text);
  int result = 0;
  if (netio::Send(s, request.data(), static_cast<int>(request.size())) >= 0) result = ReceiveReply(s, buffer, 1024);
  netio::Close(s);
  return result;
}

int ReceiveReply(netio::Socket s, char* buffer, int capacity) {
  // A proxy may pass the headers and the body on in separate writes; the
  // reply is read until it is whole, the peer closes or the buffer is full,
  // all within one time budget, so a silent server cannot hold the update
  // thread for long.
  using Clock = std::chrono::steady_clock;
  const int budgetMs = std::min(netio::IoTimeoutMs(), kReplyBudgetMs);
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(budgetMs);
  int received = 0;
  int last = -1;
  while (received < capacity && !net::IsReplyComplete(buffer, received)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0 || !netio::WaitReadable(s, static_cast<int>(left))) {
      last = -1;
      break;
    }
    last = netio::Recv(s, buffer + received, capacity - received);
    if (last <= 0) break;
    received += last;
  }
  return received > 0 ? received : last;
}

void NetInterface::Stop(bool updateThreadBusy) {
  netlog::A(log, "pageDone before stop %d", pageDone);
  pageDone = 0;
  if (updateThreadBusy) return;
  if (sock != kNoSocket) {
    netio::Close(sock);
    sock = kNoSocket;
  }
  if (socketsStarted) {
    netio::Cleanup();
    socketsStarted = 0;
  }
}

static const char16_t kInternetSettingsKey[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

namespace {

// The browser's proxy setting (http_proxy on POSIX) into the settings. True
// when it is switched on; the values may still be unusable.
bool ReadBrowserProxy(CApplication* app) {
  int32_t enable = 0;
  if (!plat::ReadRegistryDword(kInternetSettingsKey, u"ProxyEnable", &enable)) return false;
  app->proxyEnabled = enable;
  // 128 bytes: a value of 64 units or more is not read at all.
  char16_t value[64] = {};
  if (plat::ReadRegistryString(kInternetSettingsKey, u"ProxyServer", value, sizeof value)) {
    value[63] = u'\0';
    net::ParseProxyValue(value, app->proxyServer, &app->proxyPort);
  }
  return app->proxyEnabled != 0;
}

void ClearProxy(CApplication* app) {
  app->proxyEnabled = 0;
  app->proxyServer[0] = u'\0';
  app->proxyPort = 0;
  // The stored outcome says "no proxy"; the client follows it.
  if (app->net) app->net->proxyEnabled = 0;
}

}  // namespace

void DetectConnection(CApplication* app) {
  NetInterface* net = app->net;
  if (!net) return;
  if (net->CheckConnection()) return;
  if (ReadBrowserProxy(app)) {
    net->SetProxy(app->proxyServer, app->proxyPort);
    if (net->CheckConnection()) return;
  }
  ClearProxy(app);
}

void TakeBrowserProxy(CApplication* app) {
  // Without a connection to try it, only a well-formed host and port count.
  net::HostAndPort host;
  const bool usable = ReadBrowserProxy(app) && app->proxyPort > 0 && app->proxyPort <= 65535 &&
                      net::ParseHostAndPort(plat::Utf16ToAnsi(app->proxyServer).c_str(), &host);
  if (!usable) ClearProxy(app);
}
