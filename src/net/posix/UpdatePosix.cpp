// The updater on POSIX: fetched with the program's own HTTP client through
// the same direct or proxied connection as the version check, started through
// pkexec (or the command named by LUMISAVER_ELEVATE).
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "net/HttpGet.h"
#include "net/NetInterface.h"
#include "net/UpdateBackend.h"
#include "platform/Text.h"

extern char** environ;

namespace {

// Updaters are a few megabytes; anything far beyond is not one.
constexpr uint64_t kMaxUpdaterBytes = 256ull * 1024 * 1024;

class FileSink : public net::ByteSink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}
  bool Write(const char* data, size_t size) override {
    while (size > 0) {
      const ssize_t n = write(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
};

}  // namespace

bool DownloadUpdater(NetInterface* net, const net::HostAndPort& host, const char16_t* path) {
  const std::string finalPath = text::ToUtf8(path);
  // One temporary name: a download cut short by the end of a run leaves at
  // most this file, which the next attempt starts over. The lock keeps a
  // second instance from writing into it at the same time.
  const std::string temp = finalPath + ".part";
  const int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }

  bool ok = ftruncate(fd, 0) == 0 && fchmod(fd, 0600) == 0;
  intptr_t s = netio::kNoSocket;
  if (ok && net->ConnectUpdateHost(&s)) {
    FileSink sink(fd);
    const std::string request = net::BuildGetRequest(host, net::kUpdaterPath, net->proxyEnabled != 0);
    ok = net::HttpGet(s, request, &sink, kMaxUpdaterBytes) == net::GetResult::Complete;
    netio::Close(s);
  } else {
    ok = false;
  }
  ok = ok && fsync(fd) == 0 && fchmod(fd, 0700) == 0;
  // Renamed or removed while still locked, then closed.
  ok = ok && rename(temp.c_str(), finalPath.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  close(fd);
  return ok;
}

bool StartElevated(const char16_t* path) {
  std::string file = text::ToUtf8(path);
  // pkexec wants an absolute program path.
  char resolved[PATH_MAX];
  if (realpath(file.c_str(), resolved)) file = resolved;
  const char* elevate = std::getenv("LUMISAVER_ELEVATE");
  std::string command = elevate && *elevate ? elevate : "pkexec";

  // pkexec refuses to run for a parent that has gone (it would be adopted by
  // init), and the screensaver ends right after this call: a shell that
  // waits for the command stays behind as its parent. The trailing ":" keeps
  // the shell from replacing itself with the command.
  std::string shell = "/bin/sh", dashC = "-c", script = "\"$0\" \"$1\"; :";
  char* argv[] = {shell.data(), dashC.data(), script.data(), command.data(), file.data(), nullptr};

  posix_spawnattr_t attr;
  if (posix_spawnattr_init(&attr) != 0) return false;
  // Its own session: the updater outlives the screensaver and its signals.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, shell.c_str(), nullptr, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  return rc == 0;
}
