#include "net/NetDetail.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "lumi_config.h"
#include "platform/Text.h"

namespace net {

static bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

bool ParseHostAndPort(const char* text, HostAndPort* out) {
  if (!text) return false;
  const char* colon = std::strchr(text, ':');
  const size_t nameLen = colon ? static_cast<size_t>(colon - text) : std::strlen(text);
  if (nameLen == 0 || nameLen >= sizeof out->name) return false;
  for (size_t i = 0; i < nameLen; ++i)
    if (!IsHostChar(text[i])) return false;
  uint32_t port = 80;
  if (colon) {
    const char* p = colon + 1;
    if (!*p || std::strlen(p) > 5) return false;
    port = 0;
    for (; *p; ++p) {
      if (*p < '0' || *p > '9') return false;
      port = port * 10 + static_cast<uint32_t>(*p - '0');
    }
    if (port == 0 || port > 65535) return false;
  }
  HostAndPort host;
  std::memcpy(host.name, text, nameLen);
  std::memcpy(host.text, text, std::strlen(text));  // fits: name < 256, ":65535" adds 6
  host.port = static_cast<uint16_t>(port);
  *out = host;
  return true;
}

static HostAndPort HostFrom(const char* envName, const char* builtIn) {
  HostAndPort host;
  const char* override = std::getenv(envName);
  if (override && *override && ParseHostAndPort(override, &host)) return host;
  ParseHostAndPort(builtIn, &host);
  return host;
}

HostAndPort UpdateHost() { return HostFrom("LUMISAVER_UPDATE_HOST", LUMI_UPDATE_HOST); }
HostAndPort ProbeHost() { return HostFrom("LUMISAVER_PROBE_HOST", LUMI_PROBE_HOST); }

std::string BuildVersionRequest(const char* updateHost) {
  std::string r;
  r.reserve(256);
  r += "GET http://";
  r += updateHost;
  r += kVersionPath;
  r += " HTTP/1.1\r\n";
  r += "Accept: text/*\r\n";
  r += "Referer: http://";
  r += updateHost;
  r += kVersionPath;
  r += "\r\n";
  r += "Proxy-Connection: Keep-Alive\r\n";
  r += "User-Agent: ";
  r += kUserAgent;
  r += "\r\n";
  r += "Host: ";
  r += updateHost;
  r += "\r\n\r\n";
  return r;
}

// Length of the header block up to and with its blank line; -1 when the
// blank line is not within `length`.
static int HeaderLength(const char* reply, int length) {
  for (int i = 0; i + 3 < length; ++i)
    if (reply[i] == '\r' && reply[i + 1] == '\n' && reply[i + 2] == '\r' && reply[i + 3] == '\n') return i + 4;
  return -1;
}

static bool StartsWithNoCase(const char* text, int length, const char* prefix) {
  int i = 0;
  for (; prefix[i]; ++i) {
    if (i >= length) return false;
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsReplyComplete(const char* reply, int length) {
  const int headerLen = HeaderLength(reply, length);
  if (headerLen < 0) return false;
  static constexpr char kName[] = "content-length:";
  for (int i = 0; i < headerLen; ++i) {
    if (i > 0 && reply[i - 1] != '\n') continue;
    if (!StartsWithNoCase(reply + i, headerLen - i, kName)) continue;
    int p = i + static_cast<int>(sizeof kName) - 1;
    while (p < headerLen && (reply[p] == ' ' || reply[p] == '\t')) ++p;
    // Ten digits exceed any buffer here; further ones change nothing.
    int64_t announced = 0;
    int digits = 0;
    for (; p < headerLen && reply[p] >= '0' && reply[p] <= '9' && digits < 10; ++p, ++digits)
      announced = announced * 10 + (reply[p] - '0');
    if (digits == 0) return false;
    return length - headerLen >= announced;
  }
  return false;
}

VersionReply ParseVersionReply(const char* reply, int length) {
  VersionReply result;
  const int headerLen = HeaderLength(reply, length);
  if (headerLen < 0) return result;
  result.headerEnd = true;

  const char* body = reply + headerLen;
  const int bodyLen = length - headerLen;
  if (bodyLen <= 0) return result;
  // The walk looks at body[1..]; the end of the text counts as one examined
  // character. It stops after as many characters as the header block is
  // long, dropping a number still open then.
  int start = 0;
  for (int i = 1; i <= headerLen && result.numbers < 4; ++i) {
    const bool end = i >= bodyLen;
    if (end || body[i] == '.') {
      result.version[result.numbers++] = text::ParseIntA(body + start, size_t(i - start));
      if (end) break;
      start = i + 1;
    }
  }
  return result;
}

int32_t PackVersion(const int32_t v[4]) {
  uint32_t packed = static_cast<uint32_t>(v[0]);
  for (int i = 1; i < 4; ++i) packed = packed * 256u + static_cast<uint32_t>(v[i]);
  return static_cast<int32_t>(packed);
}

bool ParseProxyValue(const char16_t* value, char16_t server[128], int* port) {
  server[0] = u'\0';
  *port = 0;
  if (!value || !*value) return false;
  int colon = -1;
  for (int i = 0; value[i] && i < 127; ++i) {
    if (value[i] == u':') {
      colon = i;
      break;
    }
  }
  if (colon < 0) return false;
  for (int i = 0; i < colon; ++i) server[i] = value[i];
  server[colon] = u'\0';
  // atoi of the rest; the digits are ASCII, so narrow them unit by unit.
  char digits[64] = {};
  int n = 0;
  for (const char16_t* p = value + colon + 1; *p && n < 63; ++p)
    digits[n++] = *p < 0x80 ? static_cast<char>(*p) : '?';
  *port = text::ParseIntA(digits, size_t(n));
  return true;
}

int DateNumber(int year, int month, int day) { return (year * 100 + month) * 100 + day; }

namespace {

// Little-endian reads that fail instead of reading past the head.
struct Head {
  const uint8_t* data;
  size_t size;
  bool U16(uint64_t at, uint32_t* v) const {
    if (at + 2 > size) return false;
    *v = data[at] | (uint32_t(data[at + 1]) << 8);
    return true;
  }
  bool U32(uint64_t at, uint32_t* v) const {
    if (at + 4 > size) return false;
    *v = data[at] | (uint32_t(data[at + 1]) << 8) | (uint32_t(data[at + 2]) << 16) | (uint32_t(data[at + 3]) << 24);
    return true;
  }
};

}  // namespace

bool IsCompleteWindowsProgram(const uint8_t* head, size_t headSize, uint64_t fileSize) {
  const Head h{head, headSize < fileSize ? headSize : static_cast<size_t>(fileSize)};
  uint32_t mz = 0, peOffset = 0, pe = 0;
  if (!h.U16(0, &mz) || mz != 0x5A4D || !h.U32(0x3C, &peOffset) || !h.U32(peOffset, &pe) || pe != 0x00004550)
    return false;
  const uint64_t coff = uint64_t(peOffset) + 4;
  uint32_t sections = 0, optionalSize = 0, magic = 0, headersSize = 0, symbols = 0, symbolCount = 0;
  if (!h.U16(coff + 2, &sections) || !h.U16(coff + 16, &optionalSize) || sections == 0 || sections > 96 ||
      !h.U32(coff + 8, &symbols) || !h.U32(coff + 12, &symbolCount))
    return false;
  const uint64_t optional = coff + 20;
  if (!h.U16(optional, &magic) || (magic != 0x10B && magic != 0x20B)) return false;
  if (!h.U32(optional + 60, &headersSize)) return false;
  uint64_t end = headersSize;
  // A COFF symbol table (unstripped builds) and its string table's length.
  if (symbols != 0) end = std::max<uint64_t>(end, uint64_t(symbols) + uint64_t(symbolCount) * 18 + 4);

  // The security directory (index 4) holds a file offset, not an address.
  const uint64_t dirCountAt = optional + (magic == 0x10B ? 92 : 108);
  uint32_t dirCount = 0;
  if (!h.U32(dirCountAt, &dirCount)) return false;
  if (dirCount > 4) {
    uint32_t secOffset = 0, secSize = 0;
    if (!h.U32(dirCountAt + 4 + 4 * 8, &secOffset) || !h.U32(dirCountAt + 8 + 4 * 8, &secSize)) return false;
    if (secSize != 0 && uint64_t(secOffset) + secSize > end) end = uint64_t(secOffset) + secSize;
  }

  const uint64_t table = optional + optionalSize;
  for (uint32_t i = 0; i < sections; ++i) {
    uint32_t rawSize = 0, rawOffset = 0;
    if (!h.U32(table + i * 40 + 16, &rawSize) || !h.U32(table + i * 40 + 20, &rawOffset)) return false;
    if (rawSize != 0 && uint64_t(rawOffset) + rawSize > end) end = uint64_t(rawOffset) + rawSize;
  }
  return end <= fileSize;
}

}  // namespace net
