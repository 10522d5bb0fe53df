#include "platform/posix/SessionLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

std::string SessionDisplayName(bool waylandOnly, const char* fallback) {
  std::string name = fallback;
  for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      name = value;
      break;
    }
    if (waylandOnly) break;
  }
  return name.substr(name.find_last_of('/') + 1);
}

bool TakeSessionLock(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime == '\0') return true;
  const std::string path = std::string(runtime) + "/lumisaver-" + name + ".lock";
  // Never closed: the lock is the process's until it ends.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  close(fd);
  return false;
}
