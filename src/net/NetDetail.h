#pragma once
// The network subsystem's pure pieces: host settings, the version request
// and its reply, the browser proxy value, the date number. Kept apart from
// the sockets so that each can be checked on its own.
#include <cstdint>
#include <string>

namespace net {

// A server as "host" or "host:port". `text` is what goes into URLs and the
// Host header; `name` is what gets resolved.
struct HostAndPort {
  char text[264] = {};
  char name[256] = {};
  uint16_t port = 80;
};

// Accepts a DNS name or dotted address, optionally ":port" (1..65535).
bool ParseHostAndPort(const char* text, HostAndPort* out);
// LUMISAVER_UPDATE_HOST / LUMISAVER_PROBE_HOST when set and well formed,
// otherwise the built-in hosts.
HostAndPort UpdateHost();
HostAndPort ProbeHost();

inline constexpr char kVersionPath[] = "/version/vorl.txt";
inline constexpr char kUpdaterPath[] = "/updates/vorl_update.exe";
inline constexpr char kUserAgent[] = "Mozilla/5.0 (compatible; MSIE 6.0; SV1; MRA 4.8 (build 01705))";

// The fixed version request for the given host text.
std::string BuildVersionRequest(const char* updateHost);

// What one receive of the version reply yields.
struct VersionReply {
  bool headerEnd = false;          // a "\r\n\r\n" was found
  int numbers = 0;                 // how many of version[] the body supplied
  int32_t version[4] = {0, 0, 0, 0};
};
// Reads the body after the first blank line as dot-separated numbers; never
// looks beyond `length` bytes.
VersionReply ParseVersionReply(const char* reply, int length);
// Whether `length` bytes hold a whole reply: the header block and as many
// body bytes as its Content-Length announces. Without that header only the
// peer's close ends a reply.
bool IsReplyComplete(const char* reply, int length);
// ((a*256 + b)*256 + c)*256 + d in wrapping 32-bit arithmetic.
int32_t PackVersion(const int32_t version[4]);

// The browser's "ProxyServer" value: text before the first colon and the
// number after it. False (server empty, port 0) when there is no colon.
bool ParseProxyValue(const char16_t* value, char16_t server[128], int* port);

// yyyymmdd of a local calendar date.
int DateNumber(int year, int month, int day);

// Whether a file of `fileSize` bytes starting with `head` is a whole Windows
// program: MZ and PE headers, and every section and the signature block
// (which signed installers append after their payload) inside the file. An
// error page or a cut-off transfer fails.
bool IsCompleteWindowsProgram(const uint8_t* head, size_t headSize, uint64_t fileSize);

}  // namespace net
