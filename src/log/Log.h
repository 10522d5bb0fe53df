#pragma once
// Timestamped UTF-16LE log, appended one line per write, off unless the
// "Log" setting is 1 or 3. Writes from the main and the update thread are
// serialised by a lock around the whole write.
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>

class CLog {
 public:
  explicit CLog(const char16_t* path);  // path is not owned (CDataPaths::logPath)
  ~CLog();
  CLog(const CLog&) = delete;
  CLog& operator=(const CLog&) = delete;

  // Wide printf-style message (%s takes const char16_t*).
  void Write(const char16_t* fmt, ...);
  // 8-bit message in the system ANSI code page.
  void WriteA(const char* fmt, ...);
  // 8-bit message whose literal text is Windows-1251 (the network Parts'
  // Russian messages); widened with that code page on every platform so the
  // Cyrillic reads correctly whatever the system code page is. Arguments
  // (host names) are ASCII.
  void WriteCyr(const char* fmt, ...);

  // 0 off; 1 and 3 write; other values format only. Atomic: a run's
  // override changes it around each save while the update thread writes.
  std::atomic<int> level{0};

 private:
  void WriteNarrow(std::u16string (*widen)(const char*), const char* fmt, va_list args);
  void WriteLine(const char16_t* message);  // caller holds the lock
  char16_t* messageBuffer_;  // 1024 units (2048 bytes)
  char16_t* lineBuffer_;     // 2048 units, 1024 used
  const char16_t* path_;
  std::mutex lock_;
};
