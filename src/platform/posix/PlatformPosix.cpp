// POSIX services behind Platform.h: environment instead of the registry,
// the locale's character set as the "ANSI" code page, stderr for message
// boxes, the version strings compiled in.
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <malloc.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lumi_config.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "res/Version.h"

namespace plat {

namespace {

constexpr char16_t kProgramKeyName[] = u"Software\\Veltrane Software\\Lumiscript";
constexpr char16_t kInternetSettingsKey[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// An empty variable names no directory: treating it as "/" or as the current
// directory would silently scatter the user's files.
const char* NonEmptyEnv(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? v : nullptr;
}

// The proxy variable as the browser setting would hold it; null when unset.
const char* ProxyVariable() {
  const char* v = std::getenv("http_proxy");
  if (!v) v = std::getenv("HTTP_PROXY");
  return v;
}

std::u16string ProxyServerValue(const char* raw) {
  std::string v = raw;
  if (v.size() >= 7 && strncasecmp(v.c_str(), "http://", 7) == 0) v.erase(0, 7);
  while (!v.empty() && v.back() == '/') v.pop_back();
  return text::FromUtf8(v);
}

bool StoreString(const std::u16string& value, char16_t* buffer, uint32_t capacityBytes) {
  // RegQueryValueExW fails with ERROR_MORE_DATA when the value and its
  // terminator do not fit; the buffer is then not used.
  const uint64_t need = (uint64_t(value.size()) + 1) * sizeof(char16_t);
  if (!buffer || need > capacityBytes) return false;
  value.copy(buffer, value.size());
  buffer[value.size()] = 0;
  return true;
}

std::string PathToNative(const char16_t* path) { return text::ToUtf8(path); }

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// An installed program sits in <prefix>/libexec/xscreensaver with its content
// in <prefix>/share/lumiscript, wherever the prefix is (DESTDIR, a copy); a
// build-tree program has no such folder beside it. Empty when not installed.
const std::string& InstalledContentDir() {
  static const std::string dir = [] {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return std::string();
    self[n] = 0;
    std::string candidate(self);
    candidate.erase(candidate.rfind('/') + 1);
    candidate += LUMI_CONTENT_FROM_PROGRAM;
    char resolved[PATH_MAX];
    if (!IsDirectory(candidate) || ::realpath(candidate.c_str(), resolved) == nullptr) return std::string();
    return std::string(resolved);
  }();
  return dir;
}

// $XDG_CONFIG_HOME/lumiscript, or ~/.config/lumiscript; empty without a home.
std::string UserConfigDir() {
  const char* config = NonEmptyEnv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/lumiscript";
  const char* home = NonEmptyEnv("HOME");
  if (home == nullptr) {
    const struct passwd* user = ::getpwuid(::getuid());
    if (user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] == '/') home = user->pw_dir;
  }
  return home != nullptr ? std::string(home) + "/.config/lumiscript" : std::string();
}

}  // namespace

bool ReadRegistryString(const char16_t* subkey, const char16_t* valueName, char16_t* buffer,
                        uint32_t capacityBytes) {
  if (!subkey || !valueName) return false;
  if (text::EqualsNoCase(subkey, kProgramKeyName)) {
    // The environment first, then the installed layout, then the build's
    // own defaults.
    const bool installed = !InstalledContentDir().empty();
    std::string dir;
    if (valueName[0] == 0) {
      const char* v = NonEmptyEnv("LUMISAVER_PROGRAM_DIR");
      dir = v ? v : installed ? InstalledContentDir() : LUMI_DEFAULT_PROGRAM_DIR;
    } else if (text::EqualsNoCase(valueName, u"AppDataDir")) {
      const char* v = NonEmptyEnv("LUMISAVER_APPDATA_DIR");
      dir = v ? v : installed ? UserConfigDir() : LUMI_DEFAULT_APPDATA_DIR;
    }
    return !dir.empty() && StoreString(text::FromUtf8(dir), buffer, capacityBytes);
  }
  if (text::EqualsNoCase(subkey, kInternetSettingsKey) &&
      text::EqualsNoCase(valueName, u"ProxyServer")) {
    const char* v = ProxyVariable();
    return v && StoreString(ProxyServerValue(v), buffer, capacityBytes);
  }
  return false;
}

bool ReadMachineRegistryString(const char16_t*, const char16_t*, char16_t*, uint32_t) { return false; }

bool UserDataFolder(const char16_t*, char16_t*, uint32_t) { return false; }

bool RegistryKeyExists(const char16_t* subkey) { return subkey && text::EqualsNoCase(subkey, kProgramKeyName); }

bool ReadRegistryDword(const char16_t* subkey, const char16_t* valueName, int32_t* value) {
  if (!subkey || !valueName || !value) return false;
  if (text::EqualsNoCase(subkey, kInternetSettingsKey) &&
      text::EqualsNoCase(valueName, u"ProxyEnable")) {
    *value = ProxyVariable() ? 1 : 0;
    return true;
  }
  return false;
}

bool FileOpensReadWrite(const char16_t* path) {
  if (!path || !path[0]) return false;
  const int fd = ::open(PathToNative(path).c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return regular;
}

void CreateParentDirectory(const char16_t* filePath) {
  if (!filePath || !filePath[0]) return;
  std::string dir = PathToNative(filePath);
  const size_t slash = dir.rfind('/');
  if (slash == std::string::npos || slash == 0) return;
  dir.erase(slash);
  // Each missing level in turn; one that exists already (or cannot be made)
  // leaves the rest to the first write, which then fails and says so. The
  // search starts past the first character: an absolute path's root is no
  // level, a relative path's first level may be one character long.
  for (size_t at = 0; at != std::string::npos;) {
    at = dir.find('/', at + 1);
    const std::string level = dir.substr(0, at);
    if (!IsDirectory(level) && ::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return;
  }
}

std::FILE* OpenFile(const char16_t* path, const char* mode) {
  return path != nullptr ? std::fopen(PathToNative(path).c_str(), mode) : nullptr;
}

bool AppendToFile(const char16_t* path, const void* data, size_t bytes) {
  if (!path || !path[0]) return false;
  const int fd = ::open(PathToNative(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const char* p = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t n = ::write(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // a failed write after the open is not reported
    p += n;
    bytes -= size_t(n);
  }
  ::close(fd);
  return true;
}

// ---- text conversion -------------------------------------------------------

namespace {

// The locale's character set, or empty when it is UTF-8 or plain ASCII (both
// decoded as UTF-8: the C locale on a modern system carries UTF-8 bytes).
const std::string& LegacyCharset() {
  static const std::string charset = [] {
    std::string cs;
    locale_t loc = newlocale(LC_CTYPE_MASK, "", locale_t(0));
    if (loc) {
      cs = nl_langinfo_l(CODESET, loc);
      freelocale(loc);
    }
    std::string upper;
    for (char c : cs) upper.push_back(char(c >= 'a' && c <= 'z' ? c - 32 : c));
    if (upper.empty() || upper == "UTF-8" || upper == "UTF8" || upper == "ANSI_X3.4-1968" ||
        upper == "ASCII" || upper == "US-ASCII")
      return std::string();
    return cs;
  }();
  return charset;
}

// Converts with iconv, replacing what cannot be converted; false when the
// converter is unavailable.
bool IconvAll(const char* from, const char* to, const char* in, size_t inBytes, size_t unit,
              const char* replacement, size_t replacementBytes, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == iconv_t(-1)) return false;
  out->clear();
  char buf[1024];
  char* src = const_cast<char*>(in);
  size_t left = inBytes;
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    const size_t r = iconv(cd, &src, &left, &dst, &room);
    out->append(buf, size_t(dst - buf));
    if (r == size_t(-1)) {
      if (errno == E2BIG) continue;
      // Invalid or incomplete input: replace one unit and go on.
      out->append(replacement, replacementBytes);
      const size_t skip = left < unit ? left : unit;
      src += skip;
      left -= skip;
    }
  }
  char* dst = buf;
  size_t room = sizeof buf;
  iconv(cd, nullptr, nullptr, &dst, &room);
  out->append(buf, size_t(dst - buf));
  iconv_close(cd);
  return true;
}

}  // namespace

std::u16string AnsiToUtf16(const char* s) {
  if (!s) return std::u16string();
  const std::string& cs = LegacyCharset();
  if (!cs.empty()) {
    std::string bytes;
    static const char kReplacement[2] = {char(0xFD), char(0xFF)};  // U+FFFD, little-endian
    if (IconvAll(cs.c_str(), "UTF-16LE", s, std::strlen(s), 1, kReplacement, 2, &bytes)) {
      std::u16string out(bytes.size() / 2, u'\0');
      for (size_t i = 0; i < out.size(); ++i)
        out[i] = char16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
      return out;
    }
  }
  return text::FromUtf8(s);
}

std::string Utf16ToAnsi(const char16_t* s) {
  if (!s) return std::string();
  const std::string& cs = LegacyCharset();
  if (!cs.empty()) {
    const size_t n = text::Len(s);
    std::string le(n * 2, '\0');
    for (size_t i = 0; i < n; ++i) {
      le[2 * i] = char(s[i] & 0xFF);
      le[2 * i + 1] = char(s[i] >> 8);
    }
    std::string out;
    if (IconvAll("UTF-16LE", cs.c_str(), le.data(), le.size(), 2, "?", 1, &out)) return out;
  }
  return text::ToUtf8(s);
}

// ---- time --------------------------------------------------------------------

LocalTime GetLocalTimeNow() {
  const time_t now = ::time(nullptr);
  struct tm tm {};
  localtime_r(&now, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

uint32_t TickCountMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint32_t(uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u);
}

void SleepMs(uint32_t ms) {
  struct timespec ts;
  ts.tv_sec = time_t(ms / 1000);
  ts.tv_nsec = long(ms % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

void RetainFreedMemory() {
#ifdef M_MMAP_THRESHOLD
  // Below 32 MiB (glibc's ceiling for this value) blocks come from the heap,
  // and a heap is trimmed only past 512 MiB of free space at its top.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}

int64_t PerfCounter() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

int64_t PerfFrequency() { return 1000000000LL; }

// ---- messages ----------------------------------------------------------------

void ShowMessage(const char16_t* msg, const char16_t* caption, BoxIcon, bool) {
  std::fprintf(stderr, "%s: %s\n", text::ToUtf8(caption).c_str(), text::ToUtf8(msg).c_str());
  std::fflush(stderr);
}

// ---- version -----------------------------------------------------------------

bool ReadOwnVersionStrings(VersionStrings* out) {
  if (!out) return false;
  out->fileVersion = u"" LUMI_VER_FILEVERSION_STR;
  out->productName = u"" LUMI_VER_PRODUCTNAME;
  out->languageName = u"" LUMI_VER_LANGUAGENAME;
  return true;
}

}  // namespace plat
