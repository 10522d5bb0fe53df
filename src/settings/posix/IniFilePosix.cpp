// Reading and the atomic save of an initialisation file with POSIX calls.
#include "settings/IniFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace ini {

namespace {

bool WriteAll(int fd, const std::string& data) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= size_t(n);
  }
  return true;
}

// Removes the files of saves killed between naming their file and the
// rename: those whose lock went with their process.
void SweepCutSaves(const std::string& folder, const std::string& base) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::string prefix = base + IniFile::kSavingMark;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0) continue;
    const std::string path = folder + "/" + e->d_name;
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(path.c_str(), O_RDONLY | kFlags);
    if (fd < 0) fd = ::open(path.c_str(), O_WRONLY | kFlags);  // a write-only settings file's mode
    if (fd < 0) continue;
    struct stat held, named;
    // Still the file that was locked: a save may have renamed it meanwhile.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        ::lstat(path.c_str(), &named) == 0 && named.st_ino == held.st_ino && named.st_dev == held.st_dev)
      ::unlink(path.c_str());
    ::close(fd);
  }
  ::closedir(dir);
}

}  // namespace

bool IniFile::Load(const std::string& path) {
  lines_.clear();
  finalNewline_ = true;
  utf8Bom_ = utf16_ = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || size_t(st.st_size) > kMaxFileBytes) {
    ::close(fd);
    return false;
  }
  std::string content;
  content.reserve(size_t(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    content.append(buf, size_t(n));
    if (content.size() > kMaxFileBytes) {
      ::close(fd);
      return false;
    }
  }
  ::close(fd);
  Parse(content);
  return true;
}

bool IniFile::Writable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno == ENOENT;
  struct stat st;
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return regular;
}

bool IniFile::Save(const std::string& path) const {
  // Replace the file a symbolic link points at, not the link.
  std::string target = path;
  char resolved[PATH_MAX];
  struct stat lst;
  if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode) && ::realpath(path.c_str(), resolved))
    target = resolved;
  if (!Writable(target)) return false;

  struct stat st;
  const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  const std::string data = Serialize();

  // Preferably an unnamed file in the same folder, given a name only once
  // it is whole and on disk: a kill or a crash while it is written leaves
  // nothing behind. Only a kill between naming it and the rename can, and
  // the next save removes that file.
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  SweepCutSaves(folder, target.substr(slash == std::string::npos ? 0 : slash + 1));
  const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (unnamed >= 0) {
    // Held until the rename: tells a sweep that the name is in use.
    ::flock(unnamed, LOCK_EX);
    ::fchmod(unnamed, mode);
    const bool written = WriteAll(unnamed, data) && ::fsync(unnamed) == 0;
    std::string tmp;
    if (written) {
      char self[40];
      std::snprintf(self, sizeof self, "/proc/self/fd/%d", unnamed);
      // The process id keeps concurrent saves apart; a name a dead process
      // left and no sweep removed is skipped.
      for (int attempt = 0; attempt < 8 && tmp.empty(); ++attempt) {
        const std::string name = target + IniFile::kSavingMark + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        if (::linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) tmp = name;
        else if (errno != EEXIST) break;
      }
    }
    // Renamed before the close, so that nothing comes between the two.
    const bool renamed = !tmp.empty() && ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!tmp.empty() && !renamed) ::unlink(tmp.c_str());
    const bool closed = ::close(unnamed) == 0;
    if (!tmp.empty()) return renamed && closed;
    if (!written) return false;
    // No way to name it (no /proc): write a named temporary file instead.
  }

  std::string tmp = target + ".XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) return false;
  ::fchmod(fd, mode);
  bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

}  // namespace ini
