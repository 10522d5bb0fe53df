// The private-profile calls of the system.
#include <windows.h>

#include <iterator>
#include <string>

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

bool BigEndianMark(const std::string& bytes) {
  return bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFE && uint8_t(bytes[1]) == 0xFF;
}

// The whole file, empty when there is none. False when it cannot be read
// whole. *target becomes the file a link names, so that a link stays a link.
bool ReadWhole(const wchar_t* path, std::string* bytes, std::wstring* target, bool* exists) {
  const HANDLE in =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  *target = path;
  *exists = in != INVALID_HANDLE_VALUE;
  if (!*exists) return GetLastError() == ERROR_FILE_NOT_FOUND;
  const DWORD size = GetFileSize(in, nullptr);
  bool whole = size != INVALID_FILE_SIZE && size <= kLargestConverted;
  if (whole && size > 0) {
    bytes->resize(size);
    DWORD read = 0;
    whole = ReadFile(in, bytes->data(), size, &read, nullptr) && read == size;
  }
  wchar_t resolved[MAX_PATH * 4];
  const DWORD units = GetFinalPathNameByHandleW(in, resolved, DWORD(std::size(resolved)), FILE_NAME_NORMALIZED);
  if (units > 0 && units < std::size(resolved)) *target = resolved;
  CloseHandle(in);
  return whole;
}

// The profile calls write a file without a byte-order mark in the ANSI code
// page, where a value outside it (Russian on a Western system) turns into
// question marks. Rewritten as UTF-16 with its mark, the file keeps every
// line, and the calls keep that encoding from then on. False when the file
// could not be converted; a big-endian one never is (the calls would not
// keep it, see ProfileWriteRisk).
bool MakeUnicode(const char16_t* path) {
  std::string bytes;
  std::wstring target;
  bool exists = false;
  if (!ReadWhole(W(path), &bytes, &target, &exists) || BigEndianMark(bytes)) return false;
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
  // Complete beside the old file before it takes its place; ReplaceFileW
  // keeps the old file's attributes and security.
  const DWORD attributes = exists ? GetFileAttributesW(target.c_str()) : INVALID_FILE_ATTRIBUTES;
  const std::wstring fresh = target + L".new";
  const HANDLE out = CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  const DWORD length = DWORD(wide.size() * sizeof(wchar_t));
  DWORD written = 0;
  bool ok = WriteFile(out, wide.data(), length, &written, nullptr) && written == length;
  CloseHandle(out);
  if (ok && exists) {
    ok = ReplaceFileW(target.c_str(), fresh.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    // Wine's ReplaceFileW drops them (the hidden one among them).
    if (ok && attributes != INVALID_FILE_ATTRIBUTES && GetFileAttributesW(target.c_str()) != attributes)
      SetFileAttributesW(target.c_str(), attributes);
  } else if (ok) {
    ok = MoveFileExW(fresh.c_str(), target.c_str(), 0);
  }
  if (!ok) DeleteFileW(fresh.c_str());
  return ok;
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
  std::u16string oneLine;
  if (value) {
    oneLine = text::OneLine(std::u16string(value));
    if (!FitsAnsiCodePage(oneLine) && !MakeUnicode(path)) return false;
  }
  return WritePrivateProfileStringW(W(section), W(key), value ? W(oneLine.c_str()) : nullptr, W(path)) != 0;
}

const char16_t* ProfileWriteRisk(const char16_t* path) {
  if (!path) return nullptr;
  const HANDLE in = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in == INVALID_HANDLE_VALUE) return nullptr;
  std::string mark(2, '\0');
  DWORD read = 0;
  const bool got = ReadFile(in, mark.data(), 2, &read, nullptr) && read == 2;
  CloseHandle(in);
  return got && BigEndianMark(mark) ? u"UTF-16 big-endian, which the system's profile calls read and rewrite as ANSI"
                                    : nullptr;
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
