// libFuzzer target: the update server's version reply as one receive hands
// it over (at most 1024 bytes, not terminated).
#include <cstring>
#include <memory>

#include "net/NetDetail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1024) return 0;  // one receive never holds more
  // An exact-size copy, so a read past the reply shows up under ASan.
  std::unique_ptr<char[]> reply(new char[size ? size : 1]);
  if (size) std::memcpy(reply.get(), data, size);
  const net::VersionReply r = net::ParseVersionReply(reply.get(), int(size));
  if (r.numbers < 0 || r.numbers > 4) __builtin_trap();
  if (!r.headerEnd && r.numbers != 0) __builtin_trap();
  for (int i = r.numbers; i < 4; ++i)
    if (r.version[i] != 0) __builtin_trap();  // numbers the body did not supply stay 0
  net::PackVersion(r.version);
  return 0;
}
