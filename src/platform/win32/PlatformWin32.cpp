// Win32 services behind Platform.h.
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/Text.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide text is UTF-16");

namespace plat {

namespace {
inline const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* W(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }

bool ReadStringUnder(HKEY root, const char16_t* subkey, const char16_t* valueName, char16_t* buffer,
                     uint32_t capacityBytes) {
  if (!subkey || !valueName || !buffer || capacityBytes < sizeof(char16_t)) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, W(subkey), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD size = capacityBytes;
  const LONG r = RegQueryValueExW(key, W(valueName), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  // A stored string need not carry its terminator; one that fills the buffer
  // exactly has no room for it and counts as too long.
  const DWORD units = size / sizeof(char16_t);
  if (units > 0 && buffer[units - 1] == 0) return true;
  if ((units + 1) * sizeof(char16_t) > capacityBytes) return false;
  buffer[units] = 0;
  return true;
}
}  // namespace

bool ReadRegistryString(const char16_t* subkey, const char16_t* valueName, char16_t* buffer,
                        uint32_t capacityBytes) {
  return ReadStringUnder(HKEY_CURRENT_USER, subkey, valueName, buffer, capacityBytes);
}

bool ReadMachineRegistryString(const char16_t* subkey, const char16_t* valueName, char16_t* buffer,
                               uint32_t capacityBytes) {
  return ReadStringUnder(HKEY_LOCAL_MACHINE, subkey, valueName, buffer, capacityBytes);
}

bool RegistryKeyExists(const char16_t* subkey) {
  HKEY key = nullptr;
  if (!subkey || RegOpenKeyExW(HKEY_CURRENT_USER, W(subkey), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool UserDataFolder(const char16_t* name, char16_t* out, uint32_t capacityUnits) {
  wchar_t base[MAX_PATH] = {};
  if (!name || !out || SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base) != S_OK)
    return false;
  const size_t baseLen = wcslen(base), nameLen = text::Len(name);
  if (baseLen + 1 + nameLen + 1 > capacityUnits) return false;
  text::Format(out, capacityUnits, u"%s\\%s", reinterpret_cast<const char16_t*>(base), name);
  return true;
}

bool ReadRegistryDword(const char16_t* subkey, const char16_t* valueName, int32_t* value) {
  if (!subkey || !valueName || !value) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, W(subkey), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0, data = 0, size = sizeof data;
  const LONG r = RegQueryValueExW(key, W(valueName), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS || type != REG_DWORD) return false;
  *value = int32_t(data);
  return true;
}

void CreateParentDirectory(const char16_t* filePath) {
  if (!filePath) return;
  std::wstring dir(W(filePath));
  const size_t slash = dir.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash == 0) return;
  dir.erase(slash);
  // One that exists already, or cannot be made, leaves it to the first
  // write, which then fails and says so.
  CreateDirectoryW(dir.c_str(), nullptr);
}

bool FileOpensReadWrite(const char16_t* path) {
  if (!path || !path[0]) return false;
  HANDLE h = CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::FILE* OpenFile(const char16_t* path, const char* mode) {
  if (path == nullptr) return nullptr;
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(W(path), wideMode.c_str());
}

bool AppendToFile(const char16_t* path, const void* data, size_t bytes) {
  if (!path || !path[0]) return false;
  HANDLE h = CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  SetFilePointer(h, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(h, data, DWORD(bytes), &written, nullptr);
  CloseHandle(h);
  return true;
}

void LocaleLanguageName(char16_t* out, uint32_t capacity) {
  if (!out || capacity == 0) return;
  out[0] = 0;
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLANGUAGE, W(out), int(capacity))) out[0] = 0;
}

void LocaleLongDateFormat(char16_t* out, uint32_t capacity) {
  if (!out || capacity == 0) return;
  out[0] = 0;
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, W(out), int(capacity))) out[0] = 0;
}

std::u16string AnsiToUtf16(const char* s) {
  if (!s || !*s) return std::u16string();
  const int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  if (n <= 0) return std::u16string();
  std::u16string out(size_t(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, s, -1, W(out.data()), n);
  out.resize(size_t(n - 1));
  return out;
}

std::string Utf16ToAnsi(const char16_t* s) {
  if (!s || !*s) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, W(s), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, W(s), -1, out.data(), n, nullptr, nullptr);
  out.resize(size_t(n - 1));
  return out;
}

LocalTime GetLocalTimeNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

// GetTickCount moves in steps of the system tick, 10-16 ms: the counter
// keeps frame times to the millisecond.
uint32_t TickCountMs() {
  const int64_t count = PerfCounter();
  const int64_t frequency = PerfFrequency();
  return static_cast<uint32_t>(count / frequency * 1000 + count % frequency * 1000 / frequency);
}

namespace {

// Missing before Windows 10 1803, where creating it fails.
constexpr DWORD kHighResolutionTimer = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

// Sleep waits whole system ticks unless the process asks for a finer one;
// a high-resolution waitable timer needs no such process-wide request.
class FineSleep {
 public:
  FineSleep() {
    using CreateTimerEx = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
    if (const HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
      const auto create = reinterpret_cast<CreateTimerEx>(
          reinterpret_cast<void (*)()>(GetProcAddress(kernel, "CreateWaitableTimerExW")));
      if (create != nullptr) timer_ = create(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    }
    if (timer_ == nullptr) periodSet_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  }
  ~FineSleep() {
    if (timer_ != nullptr) CloseHandle(timer_);
    if (periodSet_) timeEndPeriod(1);
  }
  FineSleep(const FineSleep&) = delete;
  FineSleep& operator=(const FineSleep&) = delete;

  void Wait(uint32_t ms) {
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;  // relative, in 100 ns
    if (timer_ != nullptr && SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE) &&
        WaitForSingleObject(timer_, INFINITE) == WAIT_OBJECT_0)
      return;
    Sleep(ms);
  }

 private:
  HANDLE timer_ = nullptr;
  bool periodSet_ = false;
};

}  // namespace

void SleepMs(uint32_t ms) {
  // One timer per thread: a waitable timer is not shared between waiters.
  thread_local FineSleep sleeper;
  sleeper.Wait(ms);
}

void RetainFreedMemory() {}

int64_t PerfCounter() {
  LARGE_INTEGER v;
  QueryPerformanceCounter(&v);
  return v.QuadPart;
}

int64_t PerfFrequency() {
  LARGE_INTEGER v;
  QueryPerformanceFrequency(&v);
  return v.QuadPart;
}

void ShowMessage(const char16_t* text, const char16_t* caption, BoxIcon icon, bool ownerIsFocus) {
  MessageBoxW(ownerIsFocus ? GetFocus() : nullptr, W(text), W(caption),
              MB_OK | (icon == BoxIcon::Error ? MB_ICONERROR : 0));
}

void* ShowWaitBox() {
  InitCommonControls();
  HWND box = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(104), nullptr, nullptr, 0);
  if (!box) return nullptr;
  ShowWindow(box, SW_SHOW);
  // No message loop runs while the box is up; paint it once so it is not blank.
  UpdateWindow(box);
  return box;
}

void HideWaitBox(void* box) {
  if (box) DestroyWindow(static_cast<HWND>(box));
}

bool ReadOwnVersionStrings(VersionStrings* out) {
  if (!out) return false;
  wchar_t path[MAX_PATH] = {};
  if (!GetModuleFileNameW(nullptr, path, MAX_PATH)) return false;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &handle);
  if (size == 0) return false;
  std::vector<BYTE> block(size, 0);
  if (!GetFileVersionInfoW(path, 0, size, block.data())) return false;

  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* tr = nullptr;
  UINT trBytes = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr), &trBytes) ||
      !tr || trBytes < sizeof(Translation))
    return false;

  wchar_t language[1024] = {};
  VerLanguageNameW(tr->language, language, 1024);
  out->languageName = reinterpret_cast<const char16_t*>(language);

  auto query = [&](const char16_t* name, std::u16string* value) {
    char16_t q[128];
    text::Format(q, 128, u"\\StringFileInfo\\%04X%04X\\%s", unsigned(tr->language), unsigned(tr->codePage), name);
    wchar_t* v = nullptr;
    UINT units = 0;
    if (!VerQueryValueW(block.data(), W(q), reinterpret_cast<void**>(&v), &units) || !v) return false;
    // The reported length may include the terminator; stop at the first one.
    std::u16string s(reinterpret_cast<const char16_t*>(v), units);
    const size_t nul = s.find(u'\0');
    if (nul != std::u16string::npos) s.resize(nul);
    *value = s;
    return true;
  };
  if (!query(u"FileVersion", &out->fileVersion)) return false;
  if (!query(u"ProductName", &out->productName)) out->productName.clear();
  return true;
}

}  // namespace plat
