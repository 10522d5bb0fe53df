// The updater on Windows: the system's URL download service and the shell's
// elevated start.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <urlmon.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hub/Application.h"
#include "net/NetDetail.h"
#include "net/NetInterface.h"
#include "net/UpdateBackend.h"

static const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

// URLDownloadToFileW reports success for a server's error page and for a
// transfer cut short (as seen under Wine); what it left must at least be a
// whole Windows program before it may take the updater's place.
static bool HoldsCompleteProgram(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  std::vector<uint8_t> head(64 * 1024);
  DWORD got = 0;
  const bool read = GetFileSizeEx(file, &size) &&
                    ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &got, nullptr);
  CloseHandle(file);
  return read && net::IsCompleteWindowsProgram(head.data(), got, static_cast<uint64_t>(size.QuadPart));
}

// Fetches the updater into a temporary file beside `path` and moves it into
// place only once it is complete, so a failed or cut download never replaces
// a good file.
static bool DownloadUpdater(const net::HostAndPort& host, const char16_t* path) {
  std::wstring url = L"http://";
  for (const char* p = host.text; *p; ++p) url += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  for (const char* p = net::kUpdaterPath; *p; ++p) url += static_cast<wchar_t>(*p);

  const std::wstring finalPath = W(path);
  // One temporary name: a download cut short by the end of a run leaves at
  // most this file, which the next attempt overwrites.
  const std::wstring temp = finalPath + L".part";

  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // Into a temporary name first: a cut download must not replace a good file.
  bool ok = URLDownloadToFileW(nullptr, url.c_str(), temp.c_str(), 0, nullptr) == S_OK;
  ok = ok && HoldsCompleteProgram(temp);
  ok = ok && MoveFileExW(temp.c_str(), finalPath.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) DeleteFileW(temp.c_str());
  if (SUCCEEDED(com)) CoUninitialize();
  return ok;
}

bool TakeNewerVersion(CApplication*, const char16_t* path) { return DownloadUpdater(net::UpdateHost(), path); }

bool StartElevated(const char16_t* path) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = 0;
  info.hwnd = nullptr;
  info.lpVerb = L"runas";
  info.lpFile = W(path);
  info.lpParameters = L"";
  info.lpDirectory = L"";
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) != FALSE;
}

// The check stays on as the file's default; the probe decides about the proxy.
void ChooseFirstRunConnection(CApplication* app) { DetectConnection(app); }
