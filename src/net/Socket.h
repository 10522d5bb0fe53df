#pragma once
// Blocking IPv4 TCP sockets over WinSock 2 (net/win32) or BSD sockets
// (net/posix). Addresses are in network byte order, ports in host order.
#include <cstdint>

namespace netio {

using Socket = intptr_t;  // SOCKET is UINT_PTR; INVALID_SOCKET reads as -1
inline constexpr Socket kNoSocket = -1;

// Connect, send and receive give up after this long, so a black-holed peer
// cannot hold a caller for minutes. Tests shorten it.
inline constexpr int kDefaultIoTimeoutMs = 20000;
void SetIoTimeoutMs(int ms);
int IoTimeoutMs();

bool Startup();  // WSAStartup(0x0202); always true on POSIX
void Cleanup();  // WSACleanup

Socket OpenTcp();
void Close(Socket s);

// First IPv4 address of a host name (or dotted address).
bool Resolve(const char* name, uint32_t* addr);
// inet_addr: a dotted IPv4 text, nothing else.
bool ParseDotted(const char* text, uint32_t* addr);
// gethostbyaddr: true when the address has a host entry.
bool ReverseLookup(uint32_t addr);
// inet_ntoa into 16 bytes.
void FormatDotted(uint32_t addr, char out[16]);

// Connects within the I/O time-out and then bounds every later send and
// receive on the socket by it.
bool Connect(Socket s, uint32_t addr, uint16_t port);
// One send call: bytes sent, or -1. Never raises SIGPIPE.
int Send(Socket s, const void* data, int len);
// Whether data (or the peer's close) is there to receive within `ms`.
bool WaitReadable(Socket s, int ms);
// One receive call: bytes received, 0 when the peer closed, -1 on error or
// time-out.
int Recv(Socket s, void* buffer, int len);

}  // namespace netio
