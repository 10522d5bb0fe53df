// The version request, the reply parse, the proxy value and host settings.
#include <algorithm>
#include <cstring>
#include <memory>

#include "NetTestSupport.h"
#include "lumi_config.h"
#include "net/NetDetail.h"

namespace {

TEST(VersionRequest, IsTheFixedTextForTheHost) {
  const char* kDefault =
      "GET http://update.veltrane-software.com/version/vorl.txt HTTP/1.1\r\n"
      "Accept: text/*\r\n"
      "Referer: http://update.veltrane-software.com/version/vorl.txt\r\n"
      "Proxy-Connection: Keep-Alive\r\n"
      "User-Agent: Mozilla/5.0 (compatible; MSIE 6.0; SV1; MRA 4.8 (build 01705))\r\n"
      "Host: update.veltrane-software.com\r\n"
      "\r\n";
  const std::string r = net::BuildVersionRequest("update.veltrane-software.com");
  EXPECT_EQ(r, kDefault);
  EXPECT_EQ(r.size(), 206u + 3u * std::strlen("update.veltrane-software.com"));

  // A port stays part of the host text in all three places.
  const std::string withPort = net::BuildVersionRequest("127.0.0.1:8080");
  EXPECT_EQ(withPort.size(), 206u + 3u * 14u);
  EXPECT_EQ(withPort.rfind("GET http://127.0.0.1:8080/version/vorl.txt HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(withPort.find("\r\nReferer: http://127.0.0.1:8080/version/vorl.txt\r\n"), std::string::npos);
  EXPECT_NE(withPort.find("\r\nHost: 127.0.0.1:8080\r\n\r\n"), std::string::npos);
}

net::VersionReply Parse(const std::string& reply) {
  // An exactly sized heap copy: a read past the reply is a real overrun.
  std::unique_ptr<char[]> copy(new char[reply.size()]);
  std::memcpy(copy.get(), reply.data(), reply.size());
  return net::ParseVersionReply(copy.get(), static_cast<int>(reply.size()));
}

const char kHeaders[] = "HTTP/1.1 200 OK\r\nServer: nginx\r\nContent-Type: text/plain\r\n\r\n";

TEST(VersionReply, BodyNumbersAndPacking) {
  net::VersionReply r = Parse(std::string(kHeaders) + "1.2.300.4\r\n");
  ASSERT_TRUE(r.headerEnd);
  ASSERT_EQ(r.numbers, 4);
  EXPECT_EQ(r.version[2], 300);
  // The 300 carries into the second position.
  EXPECT_EQ(net::PackVersion(r.version), (1 * 256 + 2) * 65536 + 300 * 256 + 4);

  r = Parse(std::string(kHeaders) + "1.0.0.11\r\n");
  EXPECT_EQ(r.numbers, 4);
  EXPECT_EQ(r.version[3], 11);
  const int32_t local[4] = {1, 0, 0, 10};
  EXPECT_LT(net::PackVersion(local), net::PackVersion(r.version));

  // Five numbers: the fifth is not stored.
  r = Parse(std::string(kHeaders) + "7.6.5.4.3");
  EXPECT_EQ(r.numbers, 4);
  EXPECT_EQ(r.version[0], 7);
  EXPECT_EQ(r.version[3], 4);

  // Three numbers: the fourth stays 0.
  r = Parse(std::string(kHeaders) + "2.5.9");
  EXPECT_EQ(r.numbers, 3);
  EXPECT_EQ(r.version[3], 0);

  // Packing wraps and compares signed: 255.0.0.0 is negative.
  const int32_t high[4] = {255, 0, 0, 0};
  EXPECT_LT(net::PackVersion(high), 0);
}

TEST(VersionReply, ErrorStatusHtmlAndMissingBlankLine) {
  net::VersionReply r =
      Parse("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html><body>1.9.9.9</body></html>");
  ASSERT_TRUE(r.headerEnd);
  EXPECT_EQ(r.version[0], 0);  // the body does not begin with digits

  r = Parse("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 10\r\n");
  EXPECT_FALSE(r.headerEnd);
  EXPECT_EQ(r.numbers, 0);

  r = Parse("HTTP/1.1 200 OK\r\n\r\n");  // blank line, empty body
  EXPECT_TRUE(r.headerEnd);
  EXPECT_EQ(r.numbers, 0);
}

TEST(VersionReply, CutReplyYieldsWhatArrived) {
  const std::string full = std::string(kHeaders) + "1.0.0.11\r\n";
  // Cut inside the header block: no body at all.
  net::VersionReply r = Parse(full.substr(0, 30));
  EXPECT_FALSE(r.headerEnd);
  // Cut inside the body: the last number is what arrived.
  r = Parse(full.substr(0, std::strlen(kHeaders) + 7));
  ASSERT_EQ(r.numbers, 4);
  EXPECT_EQ(r.version[3], 1);
  // Cut right after a dot: the open number is empty and reads as 0.
  r = Parse(full.substr(0, std::strlen(kHeaders) + 4));
  EXPECT_EQ(r.numbers, 3);
}

TEST(VersionReply, CompleteOnceTheAnnouncedBodyIsThere) {
  auto complete = [](const std::string& r) { return net::IsReplyComplete(r.data(), static_cast<int>(r.size())); };
  const std::string headers = "HTTP/1.1 200 OK\r\nX-Content-Length: 1\r\ncontent-length:  10\r\n\r\n";
  EXPECT_FALSE(complete(headers.substr(0, headers.size() - 2)));
  EXPECT_FALSE(complete(headers + "1.0.0.11\r"));
  EXPECT_TRUE(complete(headers + "1.0.0.11\r\n"));
  EXPECT_TRUE(complete(headers + "1.0.0.11\r\nmore"));
  // No length, or one no buffer holds: only the close ends it.
  EXPECT_FALSE(complete("HTTP/1.1 200 OK\r\n\r\n1.0.0.11\r\n"));
  EXPECT_FALSE(complete("HTTP/1.1 200 OK\r\nContent-Length: x\r\n\r\n"));
  EXPECT_FALSE(complete("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n1"));
  // The header's name only counts at a line start, inside the header block.
  EXPECT_FALSE(complete("HTTP/1.1 200 OK\r\n\r\nContent-Length: 0\r\n\r\n"));
}

TEST(VersionReply, WalkIsBoundedByTheHeaderLength) {
  // A four-byte header block lets the walk look at four body characters:
  // "1" closes at the first dot, "0" at the second, the third stays open.
  const net::VersionReply r = Parse("\r\n\r\n1.0.0.11");
  EXPECT_TRUE(r.headerEnd);
  EXPECT_EQ(r.numbers, 2);
  EXPECT_EQ(r.version[2], 0);
}

struct ProxyCase {
  const char16_t* value;
  bool hasColon;
  std::u16string server;
  int port;
};

TEST(ProxyValue, SplitsAtTheFirstColon) {
  const ProxyCase cases[] = {
      {u"proxy.corp.example:8080", true, u"proxy.corp.example", 8080},
      {u"10.20.30.40:3128", true, u"10.20.30.40", 3128},
      // Per-protocol value: protocol, equals sign and first host; first port.
      {u"http=proxy1.example:8080;https=proxy2.example:8443", true, u"http=proxy1.example", 8080},
      {u"proxyhost", false, u"", 0},
      {u"", false, u"", 0},
      {u"host: 81x", true, u"host", 81},
      {u"host:", true, u"host", 0},
      {u"host:70000", true, u"host", 70000},  // cut to 16 bits only when used
  };
  for (const ProxyCase& c : cases) {
    char16_t server[128];
    std::fill(std::begin(server), std::end(server), u'#');
    int port = -1;
    EXPECT_EQ(net::ParseProxyValue(c.value, server, &port), c.hasColon);
    EXPECT_EQ(std::u16string(server), c.server);
    EXPECT_EQ(port, c.port);
  }
}

TEST(HostAndPort, NameOptionalPortAndEnvironment) {
  net::HostAndPort h;
  ASSERT_TRUE(net::ParseHostAndPort("127.0.0.1:18080", &h));
  EXPECT_STREQ(h.name, "127.0.0.1");
  EXPECT_STREQ(h.text, "127.0.0.1:18080");
  EXPECT_EQ(h.port, 18080);
  for (const char* bad : {"", ":80", "host:", "host:0", "host:65536", "host:8o", "a b", "host/x", "host:80:81"})
    EXPECT_FALSE(net::ParseHostAndPort(bad, &h)) << bad;
  EXPECT_FALSE(net::ParseHostAndPort(std::string(300, 'a').c_str(), &h));
  {
    EnvGuard env("LUMISAVER_UPDATE_HOST", "localhost");
    EXPECT_STREQ(net::UpdateHost().text, "localhost");
    EXPECT_EQ(net::UpdateHost().port, 80);
  }
  EnvGuard bad("LUMISAVER_UPDATE_HOST", "bad host");
  EXPECT_STREQ(net::UpdateHost().text, LUMI_UPDATE_HOST);
  EnvGuard unset("LUMISAVER_PROBE_HOST", nullptr);
  EXPECT_STREQ(net::ProbeHost().text, LUMI_PROBE_HOST);
}

// A PE32 image: headers up to 0x200, sections at 0x200 (0x200 bytes) and
// 0x400 (0x100 bytes), optionally a signature block after them.
std::vector<uint8_t> Pe32(uint32_t signatureOffset = 0, uint32_t signatureSize = 0) {
  std::vector<uint8_t> f(0x500, 0);
  auto put16 = [&](size_t at, uint32_t v) { f[at] = uint8_t(v); f[at + 1] = uint8_t(v >> 8); };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF); put16(at + 2, v >> 16); };
  f[0] = 'M';
  f[1] = 'Z';
  put32(0x3C, 0x40);
  put32(0x40, 0x00004550);  // "PE\0\0"
  put16(0x44, 0x14C);       // i386
  put16(0x46, 2);           // sections
  put16(0x54, 0xE0);        // optional header size
  put16(0x58, 0x10B);       // PE32
  put32(0x58 + 60, 0x200);  // SizeOfHeaders
  put32(0x58 + 92, 16);     // data directories
  put32(0x58 + 96 + 4 * 8, signatureOffset);
  put32(0x58 + 100 + 4 * 8, signatureSize);
  const size_t table = 0x58 + 0xE0;
  put32(table + 16, 0x200);
  put32(table + 20, 0x200);
  put32(table + 40 + 16, 0x100);
  put32(table + 40 + 20, 0x400);
  if (signatureSize) f.resize(signatureOffset + signatureSize, 0xEE);
  return f;
}

bool Complete(const std::vector<uint8_t>& f, size_t size) {
  return net::IsCompleteWindowsProgram(f.data(), std::min(size, f.size()), size);
}

TEST(UpdaterFile, OnlyAWholeWindowsProgramCounts) {
  const std::vector<uint8_t> image = Pe32();
  EXPECT_TRUE(Complete(image, image.size()));
  EXPECT_FALSE(Complete(image, image.size() - 1));  // last section cut
  EXPECT_FALSE(Complete(image, 0x1FF));             // inside the headers

  // A signed installer: the signature block after its payload must be there.
  const std::vector<uint8_t> signedImage = Pe32(0x600, 0x80);
  EXPECT_TRUE(Complete(signedImage, signedImage.size()));
  EXPECT_FALSE(Complete(signedImage, 0x600));

  const std::string html = "<html><body>404 Not Found</body></html>";
  EXPECT_FALSE(net::IsCompleteWindowsProgram(reinterpret_cast<const uint8_t*>(html.data()), html.size(),
                                             html.size()));
  std::vector<uint8_t> bad = image;
  bad[0x3C] = 0xF0;  // PE header offset past the file
  bad[0x3D] = 0xFF;
  EXPECT_FALSE(Complete(bad, bad.size()));
  bad = image;
  bad[0x58] = 0x07;  // not a PE32 / PE32+ optional header
  EXPECT_FALSE(Complete(bad, bad.size()));
  bad = image;
  bad[0x46] = 0;  // no sections
  EXPECT_FALSE(Complete(bad, bad.size()));
}

}  // namespace
