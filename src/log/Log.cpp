#include "log/Log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/Platform.h"
#include "platform/Text.h"

namespace {
constexpr size_t kMessageUnits = 1024;  // 2048 bytes
constexpr size_t kLineUnits = 2048;
constexpr size_t kLineUsed = 1024;      // terminator included
constexpr size_t kNarrowBytes = 2048;

bool Writes(int level) { return level == 1 || level == 3; }
}  // namespace

CLog::CLog(const char16_t* path)
    : messageBuffer_(new char16_t[kMessageUnits]()), lineBuffer_(new char16_t[kLineUnits]()), path_(path) {
  // A run's separator line; dropped while the level is still 0.
  Write(u"------------------------------------------------------");
}

CLog::~CLog() {
  delete[] messageBuffer_;
  delete[] lineBuffer_;
}

void CLog::Write(const char16_t* fmt, ...) {
  if (level == 0) return;
  std::unique_lock<std::mutex> guard(lock_);
  va_list args;
  va_start(args, fmt);
  text::VFormat(messageBuffer_, kMessageUnits, fmt, args);
  va_end(args);
  WriteLine(messageBuffer_);
}

void CLog::WriteA(const char* fmt, ...) {
  if (level == 0) return;
  va_list args;
  va_start(args, fmt);
  WriteNarrow(plat::AnsiToUtf16, fmt, args);
  va_end(args);
}

void CLog::WriteCyr(const char* fmt, ...) {
  if (level == 0) return;
  va_list args;
  va_start(args, fmt);
  WriteNarrow(text::FromCp1251, fmt, args);
  va_end(args);
}

void CLog::WriteNarrow(std::u16string (*widen)(const char*), const char* fmt, va_list args) {
  char narrow[kNarrowBytes];
  std::vsnprintf(narrow, sizeof narrow, fmt ? fmt : "", args);
  // The widened text is taken verbatim: its '%' signs are not formatted again.
  const std::u16string wide = widen(narrow);
  std::unique_lock<std::mutex> guard(lock_);
  text::Copy(messageBuffer_, kMessageUnits, wide.c_str());
  WriteLine(messageBuffer_);
}

void CLog::WriteLine(const char16_t* message) {
  const plat::LocalTime t = plat::GetLocalTimeNow();
  size_t n = text::Format(lineBuffer_, kLineUsed, u"%04d.%02d.%02d %02d:%02d:%02d %s\r\n", t.year, t.month,
                          t.day, t.hour, t.minute, t.second, message);
  if (n == kLineUsed - 1 && !(lineBuffer_[n - 2] == u'\r' && lineBuffer_[n - 1] == u'\n')) {
    // Cut to fit: keep the line break so the next line starts on its own,
    // and do not leave half of a surrogate pair in front of it.
    n -= 2;
    if (lineBuffer_[n - 1] >= 0xD800 && lineBuffer_[n - 1] <= 0xDBFF) --n;
    lineBuffer_[n++] = u'\r';
    lineBuffer_[n++] = u'\n';
    lineBuffer_[n] = 0;
  }
  if (!Writes(level)) return;

  // The file holds UTF-16LE whatever the host's byte order.
  unsigned char bytes[kLineUsed * 2];
  for (size_t i = 0; i < n; ++i) {
    bytes[2 * i] = static_cast<unsigned char>(lineBuffer_[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<unsigned char>(lineBuffer_[i] >> 8);
  }
  if (!plat::AppendToFile(path_, bytes, n * 2)) {
    plat::ShowMessage(u"Log file not created", u"Error", plat::BoxIcon::Error, false);
  }
}
