// libFuzzer target: the proxy value on its way from the environment (the
// stand-in for the browser setting) through the registry read to the server
// and port the first run stores, and the host[:port] overrides of the update
// and probe hosts.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "net/NetDetail.h"
#include "platform/Platform.h"

namespace {

const char16_t kInternetSettings[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The first run's steps: the value as read into 64 units, then split.
void CheckProxyValue(const char16_t* value) {
  char16_t server[128];
  std::memset(server, 0xAB, sizeof server);
  int port = -1;
  const bool split = net::ParseProxyValue(value, server, &port);
  size_t n = 0;
  while (n < 128 && server[n]) ++n;
  if (n == 128) __builtin_trap();  // always terminated inside the field
  if (!split) {
    if (n != 0 || port != 0) __builtin_trap();
    return;
  }
  // The server is the text before the first colon, the colon follows it.
  for (size_t i = 0; i < n; ++i)
    if (server[i] != value[i] || value[i] == u':') __builtin_trap();
  if (value[n] != u':') __builtin_trap();
}

void CheckHost(const std::string& text) {
  net::HostAndPort host;
  if (!net::ParseHostAndPort(text.c_str(), &host)) return;
  const size_t nameLen = strnlen(host.name, sizeof host.name);
  const size_t textLen = strnlen(host.text, sizeof host.text);
  if (nameLen == 0 || nameLen == sizeof host.name || textLen == sizeof host.text) __builtin_trap();
  if (host.port == 0 || std::strncmp(host.name, host.text, nameLen) != 0) __builtin_trap();
  if (std::strcmp(text.c_str(), host.text) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string hostText = in.ConsumeRandomLengthString(300);
  CheckHost(hostText);

  // The value as the program reads it: a 64-unit buffer, cut at its end.
  const std::string variable = in.ConsumeRandomLengthString(200);
  setenv("http_proxy", variable.c_str(), 1);
  int32_t enable = 0;
  if (!plat::ReadRegistryDword(kInternetSettings, u"ProxyEnable", &enable) || enable != 1) __builtin_trap();
  char16_t value[64];
  std::memset(value, 0, sizeof value);
  if (plat::ReadRegistryString(kInternetSettings, u"ProxyServer", value, sizeof value)) {
    value[63] = u'\0';
    CheckProxyValue(value);
  }

  // And any wide text, as the Windows registry may hold it.
  std::u16string wide;
  while (in.remaining_bytes() >= 2 && wide.size() < 200) wide.push_back(in.ConsumeIntegral<char16_t>());
  CheckProxyValue(wide.c_str());
  return 0;
}
