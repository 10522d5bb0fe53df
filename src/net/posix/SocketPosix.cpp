// BSD sockets behind netio.
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "net/Socket.h"

namespace netio {

bool Startup() { return true; }
void Cleanup() {}

Socket OpenTcp() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return fd < 0 ? kNoSocket : static_cast<Socket>(fd);
}

void Close(Socket s) {
  if (s != kNoSocket) close(static_cast<int>(s));
}

// getaddrinfo rather than gethostbyname: the update thread and the main
// thread may resolve at the same time, and gethostbyname shares one buffer.
bool Resolve(const char* name, uint32_t* addr) {
  if (!name || !*name) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &list) != 0 || !list) return false;
  bool found = false;
  for (addrinfo* it = list; it; it = it->ai_next) {
    if (it->ai_family == AF_INET && it->ai_addrlen >= sizeof(sockaddr_in)) {
      *addr = reinterpret_cast<const sockaddr_in*>(it->ai_addr)->sin_addr.s_addr;
      found = true;
      break;
    }
  }
  freeaddrinfo(list);
  return found;
}

bool ParseDotted(const char* text, uint32_t* addr) {
  in_addr a{};
  if (!text || inet_aton(text, &a) == 0) return false;
  *addr = a.s_addr;
  return true;
}

bool ReverseLookup(uint32_t addr) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = addr;
  char host[NI_MAXHOST];
  return getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                     NI_NAMEREQD) == 0;
}

void FormatDotted(uint32_t addr, char out[16]) {
  in_addr a{};
  a.s_addr = addr;
  if (!inet_ntop(AF_INET, &a, out, 16)) out[0] = '\0';
}

static void SetTimeouts(int fd, int ms) {
  timeval tv{};
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool Connect(Socket s, uint32_t addr, uint16_t port) {
  if (s == kNoSocket) return false;
  const int fd = static_cast<int>(s);
  const int timeoutMs = IoTimeoutMs();
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = addr;

  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  if (!ok && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    int r;
    do {
      r = poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    int err = 0;
    socklen_t len = sizeof err;
    ok = r == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
  }
  if (fcntl(fd, F_SETFL, flags) < 0) return false;
  if (ok) SetTimeouts(fd, timeoutMs);
  return ok;
}

int Send(Socket s, const void* data, int len) {
  ssize_t n;
  do {
    n = send(static_cast<int>(s), data, static_cast<size_t>(len), MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<int>(n);
}

bool WaitReadable(Socket s, int ms) {
  pollfd p{static_cast<int>(s), POLLIN, 0};
  int r;
  do {
    r = poll(&p, 1, ms);
  } while (r < 0 && errno == EINTR);
  return r == 1;
}

int Recv(Socket s, void* buffer, int len) {
  ssize_t n;
  do {
    n = recv(static_cast<int>(s), buffer, static_cast<size_t>(len), 0);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<int>(n);
}

}  // namespace netio
