// WinSock 2 behind netio.
#include <winsock2.h>

#include <cstring>

#include "net/Socket.h"

namespace netio {

bool Startup() {
  WSADATA data;
  return WSAStartup(0x0202, &data) == 0;
}

void Cleanup() { WSACleanup(); }

Socket OpenTcp() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return s == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(s);
}

void Close(Socket s) {
  if (s != kNoSocket) closesocket(static_cast<SOCKET>(s));
}

// WinSock keeps gethostbyname's result per thread, so the update thread and
// the main thread do not share it.
bool Resolve(const char* name, uint32_t* addr) {
  if (!name) return false;
  const hostent* h = gethostbyname(name);
  if (!h || h->h_addrtype != AF_INET || h->h_length != 4 || !h->h_addr_list || !h->h_addr_list[0])
    return false;
  std::memcpy(addr, h->h_addr_list[0], 4);
  return true;
}

bool ParseDotted(const char* text, uint32_t* addr) {
  if (!text) return false;
  const unsigned long a = inet_addr(text);
  if (a == INADDR_NONE) return false;
  *addr = static_cast<uint32_t>(a);
  return true;
}

bool ReverseLookup(uint32_t addr) {
  return gethostbyaddr(reinterpret_cast<const char*>(&addr), 4, AF_INET) != nullptr;
}

void FormatDotted(uint32_t addr, char out[16]) {
  in_addr a{};
  a.s_addr = addr;
  const char* t = inet_ntoa(a);
  out[0] = '\0';
  if (t) {
    std::strncpy(out, t, 15);
    out[15] = '\0';
  }
}

static bool SetBlocking(SOCKET s, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

bool Connect(Socket sock, uint32_t addr, uint16_t port) {
  if (sock == kNoSocket) return false;
  const SOCKET s = static_cast<SOCKET>(sock);
  const int timeoutMs = IoTimeoutMs();
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = addr;

  if (!SetBlocking(s, false)) return false;
  bool ok = connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  if (!ok && WSAGetLastError() == WSAEWOULDBLOCK) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{};
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = (timeoutMs % 1000) * 1000;
    const int r = select(0, nullptr, &writable, &failed, &tv);
    int err = 0;
    int len = sizeof err;
    ok = r > 0 && FD_ISSET(s, &writable) &&
         getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) == 0 && err == 0;
  }
  if (!SetBlocking(s, true)) return false;
  if (ok) {
    const DWORD ms = static_cast<DWORD>(timeoutMs);
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
  }
  return ok;
}

int Send(Socket s, const void* data, int len) {
  const int n = send(static_cast<SOCKET>(s), static_cast<const char*>(data), len, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

bool WaitReadable(Socket sock, int ms) {
  const SOCKET s = static_cast<SOCKET>(sock);
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval tv{};
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  return select(0, &readable, nullptr, nullptr, &tv) > 0;
}

int Recv(Socket s, void* buffer, int len) {
  const int n = recv(static_cast<SOCKET>(s), static_cast<char*>(buffer), len, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

}  // namespace netio
