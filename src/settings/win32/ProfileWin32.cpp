// The private-profile calls of the system.
#include <windows.h>

#include "platform/Platform.h"
#include "platform/Text.h"

namespace plat {

namespace {
inline const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

// Larger settings files are left in their encoding.
constexpr DWORD kLargestConverted = 64u << 20;

bool FitsAnsiCodePage(const std::u16string& value) {
  if (GetACP() == CP_UTF8) return true;
  BOOL lost = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, W(value.c_str()), -1, nullptr, 0, nullptr, &lost);
  return !lost;
}

// The profile calls write a file without a byte-order mark in the ANSI code
// page, where a value outside it (Russian on a Western system) turns into
// question marks. Rewritten as UTF-16 with its mark, the file keeps every
// line, and the calls keep that encoding from then on. False when the file
// could not be converted.
bool MakeUnicode(const char16_t* path) {
  const HANDLE in = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  std::string bytes;
  if (in != INVALID_HANDLE_VALUE) {
    const DWORD size = GetFileSize(in, nullptr);
    bool whole = size != INVALID_FILE_SIZE && size <= kLargestConverted;
    if (whole && size > 0) {
      bytes.resize(size);
      DWORD read = 0;
      whole = ReadFile(in, bytes.data(), size, &read, nullptr) && read == size;
    }
    CloseHandle(in);
    if (!whole) return false;
  } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    return false;
  }
  if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) return true;
  UINT codePage = CP_ACP;
  size_t skip = 0;
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    codePage = CP_UTF8;
    skip = 3;
  }
  std::wstring wide(1, L'\xFEFF');
  const int units = int(bytes.size() - skip);
  if (units > 0) {
    const int n = MultiByteToWideChar(codePage, 0, bytes.data() + skip, units, nullptr, 0);
    if (n <= 0) return false;
    wide.resize(1 + size_t(n));
    MultiByteToWideChar(codePage, 0, bytes.data() + skip, units, wide.data() + 1, n);
  }
  // Complete beside the old file before it takes its place.
  const std::wstring fresh = std::wstring(W(path)) + L".new";
  const HANDLE out = CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  const DWORD length = DWORD(wide.size() * sizeof(wchar_t));
  DWORD written = 0;
  const bool ok = WriteFile(out, wide.data(), length, &written, nullptr) && written == length;
  CloseHandle(out);
  if (ok && MoveFileExW(fresh.c_str(), W(path), MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileW(fresh.c_str());
  return false;
}

}  // namespace

int32_t ProfileGetInt(const char16_t* section, const char16_t* key, int32_t def, const char16_t* path) {
  return int32_t(GetPrivateProfileIntW(W(section), W(key), def, W(path)));
}

uint32_t ProfileGetString(const char16_t* section, const char16_t* key, const char16_t* def, char16_t* out,
                          uint32_t capacity, const char16_t* path) {
  if (!out || capacity == 0) return 0;
  return GetPrivateProfileStringW(W(section), W(key), W(def), reinterpret_cast<wchar_t*>(out), capacity,
                                  W(path));
}

bool ProfileWriteString(const char16_t* section, const char16_t* key, const char16_t* value,
                        const char16_t* path) {
  // A value must stay on its line: a line break inside it would plant keys
  // or sections of its own in the file.
  std::u16string oneLine;
  if (value) {
    oneLine = value;
    for (char16_t& c : oneLine)
      if (c == u'\r' || c == u'\n') c = u' ';
    if (!FitsAnsiCodePage(oneLine) && !MakeUnicode(path)) return false;
  }
  return WritePrivateProfileStringW(W(section), W(key), value ? W(oneLine.c_str()) : nullptr, W(path)) != 0;
}

bool ProfileFileWritable(const char16_t* path) {
  if (!path || !path[0]) return false;
  HANDLE h = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  CloseHandle(h);
  return true;
}

}  // namespace plat
