#pragma once
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
  void Stop();

  CApplication* app = nullptr;
  CLog* log = nullptr;
  int proxyEnabled = 0;
  char proxyHost[128] = {};
  int proxyPort = 0;
  int pageDone = 0;
  // Socket and resolved proxy address live in the implementation.
};

// First-run detection of a direct or proxied connection (settings not yet written).
void DetectConnection(CApplication* app);
