#pragma once
// The narrow layer between the portable core and the operating system.
// One implementation per backend: platform/win32 (Win32 services) and
// platform/posix (environment, own INI engine, POSIX locale, stderr).
// Core code includes this header, never <windows.h> or X11 headers.

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <string>

namespace plat {

// Path separator of the platform's file names.
#ifdef _WIN32
inline constexpr char16_t kPathSep = u'\\';
#else
inline constexpr char16_t kPathSep = u'/';
#endif

// ---- registry-like values ---------------------------------------------
// Win32: RegOpenKeyExW(HKEY_CURRENT_USER, subkey, KEY_READ) + RegQueryValueExW.
// POSIX: the program key maps to environment variables (LUMISAVER_PROGRAM_DIR
// for the default value, LUMISAVER_APPDATA_DIR for "AppDataDir"); without
// them an installed program uses <prefix>/share/lumiscript and
// $XDG_CONFIG_HOME/lumiscript (~/.config/lumiscript), a build-tree program the
// configure-time defaults. The browser's Internet Settings key maps to
// http_proxy / HTTP_PROXY. capacityBytes counts bytes, as RegQueryValueExW does.
bool ReadRegistryString(const char16_t* subkey, const char16_t* valueName,
                        char16_t* buffer, uint32_t capacityBytes);
bool ReadRegistryDword(const char16_t* subkey, const char16_t* valueName, int32_t* value);
// Whether the account has the key at all, with or without values. POSIX:
// the program key always (the environment or the defaults stand for it).
bool RegistryKeyExists(const char16_t* subkey);
// The machine-wide value (Win32: HKEY_LOCAL_MACHINE, the program's own
// registry view), which the setup writes for every account. POSIX: none.
bool ReadMachineRegistryString(const char16_t* subkey, const char16_t* valueName,
                               char16_t* buffer, uint32_t capacityBytes);
// The account's own folder `name` in its roaming application data (Win32:
// %APPDATA%\\name), not created here. POSIX: none (the data directory comes
// from the program key's values).
bool UserDataFolder(const char16_t* name, char16_t* out, uint32_t capacityUnits);

// ---- private-profile (INI) calls --------------------------------------
// Win32: GetPrivateProfileIntW / GetPrivateProfileStringW /
// WritePrivateProfileStringW. POSIX: settings/IniFile (UTF-8, atomic save).
// Implemented by the settings subsystem's backends (settings/win32,
// settings/posix), the only code that touches the settings file.
int32_t ProfileGetInt(const char16_t* section, const char16_t* key, int32_t def, const char16_t* path);
// Copies at most capacity-1 units and a terminator; returns units copied.
uint32_t ProfileGetString(const char16_t* section, const char16_t* key, const char16_t* def,
                          char16_t* out, uint32_t capacity, const char16_t* path);
bool ProfileWriteString(const char16_t* section, const char16_t* key, const char16_t* value,
                        const char16_t* path);
// False when the file exists but cannot be opened for writing (read-only,
// or not a file). A write then leaves it alone: the Win32 call fails on it,
// and the POSIX engine, which renames a new file over the old, refuses.
bool ProfileFileWritable(const char16_t* path);
// Why the profile calls must not write the file, or nullptr when they may.
// Win32: a UTF-16 big-endian file, which the system reads and rewrites as
// ANSI, losing every line. POSIX: always nullptr.
const char16_t* ProfileWriteRisk(const char16_t* path);

// ---- files --------------------------------------------------------------
// True when the file exists and opens for reading and writing.
bool FileOpensReadWrite(const char16_t* path);
// Creates the folder that holds filePath and its missing parents (POSIX: mode
// 0700, as a per-user configuration folder wants). Win32: that folder alone;
// the installer creates an own key's data directory, the application data
// folder exists.
void CreateParentDirectory(const char16_t* filePath);
// Appends bytes, creating the file when missing. False when it cannot be opened.
bool AppendToFile(const char16_t* path, const void* data, size_t bytes);
// fopen of a UTF-16 name (Win32: _wfopen; POSIX: the UTF-8 name); null on failure.
std::FILE* OpenFile(const char16_t* path, const char* mode);

// ---- locale ----------------------------------------------------------------
// LOCALE_SLANGUAGE / LOCALE_SLONGDATE of the user. POSIX: from LC_ALL,
// LC_MESSAGES, LANG (LC_TIME for the date): "Русский" for Russian, else the
// English name of the language; the date pattern in Windows style.
void LocaleLanguageName(char16_t* out, uint32_t capacity);
void LocaleLongDateFormat(char16_t* out, uint32_t capacity);

// ---- text conversion -------------------------------------------------------
// The system "ANSI" code page (Win32: CP_ACP; POSIX: the locale's charset).
std::u16string AnsiToUtf16(const char* text);
std::string Utf16ToAnsi(const char16_t* text);

// ---- time ----------------------------------------------------------------
struct LocalTime {
  int year, month, day, hour, minute, second;
};
LocalTime GetLocalTimeNow();
uint32_t TickCountMs();                 // monotonic milliseconds; wraps after 49.7 days
void SleepMs(uint32_t ms);              // to the millisecond, not to the system tick
int64_t PerfCounter();                  // QueryPerformanceCounter / CLOCK_MONOTONIC ns
int64_t PerfFrequency();                // QueryPerformanceFrequency / 1e9

// ---- memory ----------------------------------------------------------------
// Every entry switch frees a model's buffers (mesh, file bytes, image, the
// texture's levels) and allocates about the same sizes again. Called once at
// the start, this keeps freed memory in the process for reuse instead of
// handing it back to the system, where each fresh page costs a fault and a
// cleared page in the switch frame. POSIX: glibc's mmap and trim thresholds;
// Win32: nothing.
void RetainFreedMemory();

// ---- user messages -------------------------------------------------------
// Win32: MessageBoxW(owner, text, caption, MB_OK | flags). POSIX: one line on
// standard error, "caption: text".
enum class BoxIcon { None, Error };
void ShowMessage(const char16_t* text, const char16_t* caption, BoxIcon icon, bool ownerIsFocus);

// First-run wait box (dialog 104 on Win32; a small X window when a display is
// present on POSIX, else nothing). Hide must be called with what Show returned.
void* ShowWaitBox();
void HideWaitBox(void* box);

// ---- version resource ------------------------------------------------------
// The product's FileVersion and ProductName strings and the language name of
// the first translation. Win32: GetFileVersionInfoW / VerQueryValueW on the own
// module. POSIX: the same strings compiled in. False when unavailable.
struct VersionStrings {
  std::u16string fileVersion;
  std::u16string productName;
  std::u16string languageName;
};
bool ReadOwnVersionStrings(VersionStrings* out);

}  // namespace plat
