#pragma once
// A small HTTP/1.1 GET client over netio, for fetching the updater where the
// system offers no download service of its own.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/NetDetail.h"
#include "net/Socket.h"

namespace net {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const char* data, size_t size) = 0;
};

enum class GetResult {
  Complete,     // status 200 and the whole announced body arrived
  SendFailed,
  BadStatus,    // not a 200, or no status line
  Malformed,    // oversized or broken header block or chunk framing
  NoLength,     // neither Content-Length nor chunked: completeness unknowable
  TooLarge,     // more than the allowed body size
  Truncated,    // the connection ended or timed out early
  SinkFailed,
};

// The request line takes the absolute URI through a proxy, the path otherwise.
std::string BuildGetRequest(const HostAndPort& host, const char* path, bool viaProxy);

// Sends `request` on the connected socket and streams a 200 body into sink.
GetResult HttpGet(netio::Socket s, const std::string& request, ByteSink* sink, uint64_t maxBody);

}  // namespace net
