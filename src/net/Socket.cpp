#include "net/Socket.h"

#include <atomic>

namespace netio {

static std::atomic<int> g_ioTimeoutMs{kDefaultIoTimeoutMs};

void SetIoTimeoutMs(int ms) { g_ioTimeoutMs.store(ms > 0 ? ms : kDefaultIoTimeoutMs); }
int IoTimeoutMs() { return g_ioTimeoutMs.load(); }

}  // namespace netio
