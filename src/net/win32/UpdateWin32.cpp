// The updater on Windows: the system's URL download service, the
// signature check and the shell's elevated start.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <softpub.h>
#include <urlmon.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hub/Application.h"
#include "net/NetDetail.h"
#include "net/NetInterface.h"
#include "net/NetLog.h"
#include "net/UpdateBackend.h"
#include "res/Version.h"

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

// Whether one of the subject's attributes of this kind is exactly the vendor.
static bool SubjectNamesVendor(PCCERT_CONTEXT cert, const char* attribute) {
  wchar_t name[256] = {};
  CertGetNameStringW(cert, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(attribute), name, 256);
  return std::wstring(name) == W(u"" LUMI_VER_COMPANYNAME);
}

// The file came over plain HTTP and is started with administrator rights:
// only a valid Authenticode signature of the vendor's lets it run. Returns
// why it may not run, or nullptr. *status: WinVerifyTrust's answer, or the
// chain's error flags.
static const char* UpdaterRefusal(const std::wstring& path, LONG* status) {
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  *status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  const char* refusal = nullptr;
  if (*status == TRUST_E_NOSIGNATURE || *status == TRUST_E_SUBJECT_FORM_UNKNOWN) {
    refusal = "it is not signed";
  } else if (*status != ERROR_SUCCESS) {
    refusal = "its signature is not trusted";
  } else {
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    const PCCERT_CONTEXT cert = signer && signer->csCertChain > 0 ? signer->pasCertChain[0].pCert : nullptr;
    // Revocation is not asked for; any other flaw of the chain (Wine's
    // provider lets an unknown root pass) refuses the file.
    constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    const PCCERT_CHAIN_CONTEXT chain = signer ? signer->pChainContext : nullptr;
    if (chain == nullptr || (chain->TrustStatus.dwErrorStatus & ~kRevocationUnknown) != 0) {
      refusal = "its certificate does not lead to a trusted root";
      if (chain != nullptr) *status = static_cast<LONG>(chain->TrustStatus.dwErrorStatus);
    } else if (cert == nullptr || !(SubjectNamesVendor(cert, szOID_ORGANIZATION_NAME) ||
                                    SubjectNamesVendor(cert, szOID_COMMON_NAME))) {
      refusal = "its signer is not " LUMI_VER_COMPANYNAME;
    }
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return refusal;
}

// An updater that may not run is deleted, with the reason in the log.
static bool SignedByVendor(CApplication* app, const std::wstring& path) {
  LONG status = 0;
  const char* refusal = UpdaterRefusal(path, &status);
  if (refusal == nullptr) return true;
  DeleteFileW(path.c_str());
  netlog::A(app ? app->log : nullptr, "Updater not started: %s (0x%08X); deleted", refusal,
            static_cast<unsigned>(status));
  return false;
}

// Fetches the updater into a temporary file beside `path` and moves it into
// place only once it is complete and signed, so a failed, cut or foreign
// download never replaces a good file.
static bool DownloadUpdater(CApplication* app, const net::HostAndPort& host, const char16_t* path) {
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
  ok = ok && HoldsCompleteProgram(temp) && SignedByVendor(app, temp);
  ok = ok && MoveFileExW(temp.c_str(), finalPath.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) DeleteFileW(temp.c_str());
  if (SUCCEEDED(com)) CoUninitialize();
  return ok;
}

bool TakeNewerVersion(CApplication* app, const char16_t* path) { return DownloadUpdater(app, net::UpdateHost(), path); }

bool StartElevated(CApplication* app, const char16_t* path) {
  CLog* log = app ? app->log : nullptr;
  // A password-protected screensaver runs on a desktop of its own, where the
  // elevation prompt never reaches the user: the next run offers it.
  BOOL secure = FALSE;
  if (SystemParametersInfoW(SPI_GETSCREENSAVESECURE, 0, &secure, 0) && secure) {
    netlog::A(log, "Updater not started: the screensaver runs on the secure desktop");
    return false;
  }
  // Checked again: the file waited in the user's folder since the download.
  if (!SignedByVendor(app, W(path))) return false;
  // The shell may finish the start on a thread of its own, which the
  // process's exit would kill: an apartment, and no asynchronous start.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC;
  info.hwnd = nullptr;
  info.lpVerb = L"runas";
  info.lpFile = W(path);
  info.lpParameters = L"";
  info.lpDirectory = L"";
  info.nShow = SW_SHOWNORMAL;
  bool started = ShellExecuteExW(&info) != FALSE;
  // Declined at the prompt: offered all the same, not again today.
  if (!started && GetLastError() == ERROR_CANCELLED) started = true;
  if (!started) netlog::A(log, "Updater not started: error %d", static_cast<int>(GetLastError()));
  if (SUCCEEDED(com)) CoUninitialize();
  return started;
}

// The check stays on as the file's default; the probe decides about the proxy.
void ChooseFirstRunConnection(CApplication* app) { DetectConnection(app); }
