#pragma once
// The program's TCP client: direct to a web server or through an HTTP proxy.
#include <cstdint>
class CApplication;
class CLog;

class NetInterface {
 public:
  NetInterface(CApplication* app, CLog* log);
  ~NetInterface();
  int Init();
  int SetProxy(const char16_t* host, int port);
  int ConnectProxy();
  int CheckConnection();
  int RequestVersion(char* buffer);  // 1024-byte buffer
  // An exchange still running on the update thread keeps its socket and
  // the socket library: the process end reclaims both.
  void Stop(bool updateThreadBusy);

  CApplication* app = nullptr;
  CLog* log = nullptr;
  int proxyEnabled = 0;
  char proxyHost[128] = {};
  int proxyPort = 0;
  int pageDone = 0;

  // The proxy's resolved address (network order) and port (host order),
  // filled by ConnectProxy.
  struct Address {
    uint32_t addr = 0;
    uint16_t port = 0;
  };
  Address proxyAddr;
  // The latest proxy connection (a netio::Socket); -1 when none is open.
  intptr_t sock = -1;
  int socketsStarted = 0;  // Init's WSAStartup succeeded and Stop has not undone it

  // Opens the connection that an exchange with the update server runs on:
  // straight to the update host, or to the proxy. Logs like RequestVersion.
  // 1 with the connected socket in *out, or 0.
  int ConnectUpdateHost(intptr_t* out);
};

// How long the whole version reply may take to arrive, at most.
inline constexpr int kReplyBudgetMs = 5000;
// Receives one reply into `buffer` until it is whole (net::IsReplyComplete),
// the peer closes, `capacity` bytes arrived or the time budget (the smaller
// of the socket time-out and kReplyBudgetMs) is spent. The byte count, or
// the last receive's 0 (closed) or -1 (error, time-out) when none arrived.
int ReceiveReply(intptr_t socket, char* buffer, int capacity);

// First-run detection of a direct or proxied connection (settings not yet written).
void DetectConnection(CApplication* app);
// The browser's proxy taken as it stands, when well formed, with no connection tried.
void TakeBrowserProxy(CApplication* app);
