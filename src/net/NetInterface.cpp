// TEMPORARY placeholder until the network client lands (net owner replaces this file).
#include "net/NetInterface.h"
NetInterface::NetInterface(CApplication* a, CLog* l) : app(a), log(l) {}
NetInterface::~NetInterface() = default;
int NetInterface::Init() { return 1; }
int NetInterface::SetProxy(const char16_t*, int) { proxyEnabled = 1; return 1; }
int NetInterface::ConnectProxy() { return 0; }
int NetInterface::CheckConnection() { return 0; }
int NetInterface::RequestVersion(char*) { return 0; }
void NetInterface::Stop() {}
void DetectConnection(CApplication*) {}
