#include "net/HttpGet.h"

#include <cstring>
#include <vector>

namespace net {

namespace {

constexpr size_t kMaxLine = 8192;
constexpr int kMaxHeaderLines = 100;

enum class LineResult { Ok, TooLong, Ended };

// Buffered reading from the socket; every receive is bounded by the socket's
// time-out, and nothing is kept beyond one buffer.
class Reader {
 public:
  explicit Reader(netio::Socket s) : s_(s), buf_(64 * 1024) {}

  // A line without its line end (LF, with or without CR before it).
  LineResult ReadLine(std::string* line) {
    for (;;) {
      const char* start = buf_.data() + pos_;
      const void* nl = std::memchr(start, '\n', end_ - pos_);
      if (nl) {
        size_t len = static_cast<size_t>(static_cast<const char*>(nl) - start);
        pos_ += len + 1;
        if (len > 0 && start[len - 1] == '\r') --len;
        if (len > kMaxLine) return LineResult::TooLong;
        line->assign(start, len);
        return LineResult::Ok;
      }
      if (end_ - pos_ > kMaxLine) return LineResult::TooLong;
      if (!Fill()) return LineResult::Ended;
    }
  }

  GetResult Copy(uint64_t count, ByteSink* sink) {
    while (count > 0) {
      if (pos_ == end_ && !Fill()) return GetResult::Truncated;
      const size_t have = end_ - pos_;
      const size_t take = count < have ? static_cast<size_t>(count) : have;
      if (!sink->Write(buf_.data() + pos_, take)) return GetResult::SinkFailed;
      pos_ += take;
      count -= take;
    }
    return GetResult::Complete;
  }

 private:
  bool Fill() {
    if (pos_ > 0) {
      std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
      end_ -= pos_;
      pos_ = 0;
    }
    if (end_ == buf_.size()) return false;
    const int n = netio::Recv(s_, buf_.data() + end_, static_cast<int>(buf_.size() - end_));
    if (n <= 0) return false;
    end_ += static_cast<size_t>(n);
    return true;
  }

  netio::Socket s_;
  std::vector<char> buf_;
  size_t pos_ = 0;
  size_t end_ = 0;
};

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return s.substr(a, b - a);
}

// Decimal digits only, at most 18 of them (no overflow).
bool ParseLength(const std::string& s, uint64_t* out) {
  if (s.empty() || s.size() > 18) return false;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  *out = v;
  return true;
}

// Hex chunk size, chunk extensions after ';' ignored; at most 15 digits.
bool ParseChunkSize(const std::string& line, uint64_t* out) {
  uint64_t v = 0;
  size_t i = 0;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else break;
    if (i >= 15) return false;
    v = v * 16 + static_cast<uint64_t>(d);
  }
  if (i == 0) return false;
  const std::string rest = Trim(line.substr(i));
  if (!rest.empty() && rest[0] != ';') return false;
  *out = v;
  return true;
}

GetResult LineFailure(LineResult r) {
  return r == LineResult::TooLong ? GetResult::Malformed : GetResult::Truncated;
}

GetResult ReadChunked(Reader& reader, ByteSink* sink, uint64_t maxBody) {
  uint64_t total = 0;
  std::string line;
  for (;;) {
    LineResult r = reader.ReadLine(&line);
    if (r != LineResult::Ok) return LineFailure(r);
    uint64_t size = 0;
    if (!ParseChunkSize(line, &size)) return GetResult::Malformed;
    if (size == 0) break;
    if (size > maxBody - total) return GetResult::TooLarge;
    total += size;
    const GetResult copied = reader.Copy(size, sink);
    if (copied != GetResult::Complete) return copied;
    r = reader.ReadLine(&line);
    if (r != LineResult::Ok) return LineFailure(r);
    if (!line.empty()) return GetResult::Malformed;
  }
  // Trailer fields up to the closing blank line.
  for (int n = 0; n < kMaxHeaderLines; ++n) {
    const LineResult r = reader.ReadLine(&line);
    if (r != LineResult::Ok) return LineFailure(r);
    if (line.empty()) return GetResult::Complete;
  }
  return GetResult::Malformed;
}

}  // namespace

std::string BuildGetRequest(const HostAndPort& host, const char* path, bool viaProxy) {
  std::string r = "GET ";
  if (viaProxy) {
    r += "http://";
    r += host.text;
  }
  r += path;
  r += " HTTP/1.1\r\nHost: ";
  r += host.text;
  r += "\r\nUser-Agent: ";
  r += kUserAgent;
  r += "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
  return r;
}

GetResult HttpGet(netio::Socket s, const std::string& request, ByteSink* sink, uint64_t maxBody) {
  for (size_t sent = 0; sent < request.size();) {
    const int n = netio::Send(s, request.data() + sent, static_cast<int>(request.size() - sent));
    if (n <= 0) return GetResult::SendFailed;
    sent += static_cast<size_t>(n);
  }

  Reader reader(s);
  std::string line;
  LineResult r = reader.ReadLine(&line);
  if (r != LineResult::Ok) return LineFailure(r);
  // "HTTP/1.x 200 ..."
  if (line.size() < 12 || line.compare(0, 7, "HTTP/1.") != 0 || line[8] != ' ' ||
      line.compare(9, 3, "200") != 0 || (line.size() > 12 && line[12] != ' '))
    return GetResult::BadStatus;

  bool chunked = false;
  bool haveLength = false;
  uint64_t length = 0;
  for (int n = 0;; ++n) {
    if (n == kMaxHeaderLines) return GetResult::Malformed;
    r = reader.ReadLine(&line);
    if (r != LineResult::Ok) return LineFailure(r);
    if (line.empty()) break;
    const size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return GetResult::Malformed;
    const std::string name = Lower(line.substr(0, colon));
    const std::string value = Trim(line.substr(colon + 1));
    if (name == "content-length") {
      uint64_t v = 0;
      if (!ParseLength(value, &v) || (haveLength && v != length)) return GetResult::Malformed;
      haveLength = true;
      length = v;
    } else if (name == "transfer-encoding") {
      // Only plain chunked framing: a compressed body is not the file.
      if (Lower(value) != "chunked") return GetResult::Malformed;
      chunked = true;
    }
  }

  if (chunked) return ReadChunked(reader, sink, maxBody);
  if (!haveLength) return GetResult::NoLength;
  if (length > maxBody) return GetResult::TooLarge;
  return reader.Copy(length, sink);
}

}  // namespace net
