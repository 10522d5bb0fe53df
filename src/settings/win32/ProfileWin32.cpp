// The private-profile calls of the system.
#include <windows.h>

#include "platform/Platform.h"
#include "platform/Text.h"

namespace plat {

namespace {
inline const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
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
