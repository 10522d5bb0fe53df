// The updater's start with a hand in the moment between its check and its
// start (run under Wine by tests/e2e/test_update.py), and the refusals for
// the revocation answers that Wine's trust provider never gives.
//   updater_start held|outside <updater> <foreign program> <log>
// held: every way a Windows process could change the checked file fails,
// and the checked file starts. outside: the test renames the foreign
// program over the updater from outside Wine, which sharing cannot stop;
// the start is refused.
#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "hub/Application.h"
#include "log/Log.h"
#include "net/UpdateBackend.h"
#include "net/win32/UpdaterTrust.h"

namespace {

int g_failures = 0;
std::wstring g_foreign;

void Expect(bool ok, const char* what) {
  std::printf("%s: %s\n", what, ok ? "ok" : "wrong");
  if (!ok) ++g_failures;
}

bool Denied(BOOL done) {
  const DWORD error = GetLastError();
  return !done && (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED);
}

void EveryWayFails(const wchar_t* path) {
  const std::wstring aside = std::wstring(path) + L".aside";
  Expect(Denied(MoveFileExW(g_foreign.c_str(), path, MOVEFILE_REPLACE_EXISTING)), "replaced by a move");
  const HANDLE w = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  Expect(w == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION, "opened for writing");
  if (w != INVALID_HANDLE_VALUE) CloseHandle(w);
  Expect(Denied(DeleteFileW(path)), "deleted");
  Expect(Denied(MoveFileW(path, aside.c_str())), "moved aside");
}

void WaitForOutsideSwap(const wchar_t* path) {
  const std::wstring checked = std::wstring(path) + L".checked", swapped = std::wstring(path) + L".swapped";
  CloseHandle(CreateFileW(checked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  for (int i = 0; i < 1200 && GetFileAttributesW(swapped.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
}

bool Says(const char* refusal, const char* text) { return refusal != nullptr && std::strcmp(refusal, text) == 0; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5 || (std::wcscmp(argv[1], L"held") != 0 && std::wcscmp(argv[1], L"outside") != 0)) return 2;
  const bool held = std::wcscmp(argv[1], L"held") == 0;

  constexpr const char* kRevoked = "its certificate is revoked";
  constexpr const char* kUnknown = "whether its certificate is revoked cannot be learned";
  Expect(Says(TrustRefusal(CERT_E_REVOKED, 0), kRevoked), "CERT_E_REVOKED refused");
  for (const LONG status : {CERT_E_REVOCATION_FAILURE, CRYPT_E_REVOCATION_OFFLINE, CRYPT_E_NO_REVOCATION_CHECK})
    Expect(Says(TrustRefusal(status, 0), kUnknown), "revocation failure refused");

  g_foreign = argv[3];
  CLog log(reinterpret_cast<const char16_t*>(argv[4]));
  log.level = 1;
  CApplication app;
  app.log = &log;
  g_betweenCheckAndStart = held ? EveryWayFails : WaitForOutsideSwap;
  const bool started = StartElevated(&app, reinterpret_cast<const char16_t*>(argv[2]));
  Expect(started == held, held ? "the checked updater started" : "the replaced updater refused");
  return g_failures == 0 ? 0 : 1;
}
