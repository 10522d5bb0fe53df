#pragma once
// The hub record every subsystem shares: the settings held in memory, the
// handles the window layer fills in and the objects the record owns. It sits
// below every subsystem; its start-up and teardown live in app/.
#include <atomic>
#include <cstdint>

class CLog;
class CContentList;
class CDataPaths;
struct SettingOverrides;
class NetInterface;
struct VersionInfo;

// Opaque native handles: HWND/HDC/HINSTANCE/HFONT on Win32, XIDs or pointers
// on X11. The core never looks inside them.
using NativeHandle = uintptr_t;

enum RunMode : int32_t {
  ModeInitOnly = 2,
  ModeFullScreen = 3,
  // --snapshot (native only): the settings, paths and content list of a run,
  // built without the network, the log, the update thread or any file write.
  ModeSnapshot = 4,
  // Guests of the system's screensaver dialog (Win32): the preview in its
  // small monitor and the settings dialog. Like a snapshot they start
  // without the network, the update thread, the wait box or a settings
  // write; the preview logs nothing either.
  ModePreview = 5,
  ModeSettings = 6,
};

class CApplication {
 public:
  // The record alone, with the field defaults and no start-up (tests, tools).
  CApplication() = default;
  // Runs the whole start-up sequence (app/Application.cpp); cannot fail.
  CApplication(RunMode mode, NativeHandle instance);
  CApplication(const CApplication&) = delete;
  CApplication& operator=(const CApplication&) = delete;

  int numFirstQuote = -1;
  int displayMyFavorites = 1;
  int displayQoD = 1;
  int displayAll = 0;
  NativeHandle fontHandle = 0;
  int fsaaMode = 3;
  NativeHandle mainWindow = 0;
  NativeHandle instance = 0;
  RunMode runMode = ModeFullScreen;
  CLog* log = nullptr;
  CContentList* contentList = nullptr;
  CDataPaths* paths = nullptr;
  char16_t* className = nullptr;  // 8 units, "vtMain"
  char16_t* title = nullptr;      // 256 units
  NativeHandle deviceContext = 0;
  int screenWidth = 0;
  int screenHeight = 0;
  int screenBits = 0;
  NetInterface* net = nullptr;
  VersionInfo* localVersion = nullptr;
  // Shared with the update thread; each is a single word, atomics keep the
  // hand-over well defined without a lock.
  std::atomic<VersionInfo*> serverVersion{nullptr};
  std::atomic<int> updateAvailable{0};
  std::atomic<int> updateDownloaded{0};
  int proxyEnabled = 0;
  char16_t proxyServer[128] = {};
  int proxyPort = 0;
  char16_t localeName[85] = {};
  char16_t dateFormat[85] = {};
  int windowReady = 0;
  char16_t font[85] = {};
  std::atomic<int> todayDate{0};
  int lastUpdateDate = 0;
  int lastReceiveDate = 0;
  int autoUpdate = 1;
  int lastNum = 0;
  void* updateThread = nullptr;  // owned by net/UpdateThread; null when none
  SettingOverrides* overrides = nullptr;  // the command line's settings, not owned
};

extern CApplication* g_application;
