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
#include "net/win32/UpdaterTrust.h"
#include "res/Version.h"

static const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

void (*g_betweenCheckAndStart)(const wchar_t* path) = nullptr;

// The updater open for reading for as long as this lives, without write or
// delete sharing: no other process can change, replace or delete the file
// meanwhile, and the system's own start, which opens it for reading, can.
class HeldFile {
 public:
  explicit HeldFile(const std::wstring& path)
      : handle_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)),
        error_(GetLastError()) {}
  ~HeldFile() {
    if (open()) CloseHandle(handle_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool open() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  DWORD openError() const { return error_; }

 private:
  HANDLE handle_;
  DWORD error_;
};

// URLDownloadToFileW reports success for a server's error page and for a
// transfer cut short (as seen under Wine); what it left must at least be a
// whole Windows program before it may take the updater's place.
static bool HoldsCompleteProgram(HANDLE file) {
  LARGE_INTEGER size{};
  std::vector<uint8_t> head(64 * 1024);
  DWORD got = 0;
  const bool read = GetFileSizeEx(file, &size) && SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) &&
                    ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &got, nullptr);
  return read && net::IsCompleteWindowsProgram(head.data(), got, static_cast<uint64_t>(size.QuadPart));
}

// Whether one of the subject's attributes of this kind is exactly the vendor.
static bool SubjectNamesVendor(PCCERT_CONTEXT cert, const char* attribute) {
  wchar_t name[256] = {};
  CertGetNameStringW(cert, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(attribute), name, 256);
  return std::wstring(name) == W(u"" LUMI_VER_COMPANYNAME);
}

const char* TrustRefusal(LONG status, DWORD chainErrors) {
  constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
  constexpr const char* kRevoked = "its certificate is revoked";
  constexpr const char* kUnknown = "whether its certificate is revoked cannot be learned";
  switch (status) {
    case ERROR_SUCCESS: break;
    case TRUST_E_NOSIGNATURE:
    case TRUST_E_SUBJECT_FORM_UNKNOWN: return "it is not signed";
    case CERT_E_REVOKED: return kRevoked;
    case CERT_E_REVOCATION_FAILURE:
    case CRYPT_E_REVOCATION_OFFLINE:
    case CRYPT_E_NO_REVOCATION_CHECK: return kUnknown;
    default: return "its signature is not trusted";
  }
  // Wine's provider lets an unknown root pass: any flaw of the chain refuses.
  if ((chainErrors & ~(kRevocationUnknown | CERT_TRUST_IS_REVOKED)) != 0)
    return "its certificate does not lead to a trusted root";
  if ((chainErrors & CERT_TRUST_IS_REVOKED) != 0) return kRevoked;
  if ((chainErrors & kRevocationUnknown) != 0) return kUnknown;
  return nullptr;
}

// The signer's chain built again with revocation fetched online for every
// certificate below the root (a root is withdrawn from the store, not
// revoked): Wine's trust provider ignores the revocation it is asked for.
static DWORD ChainErrorsWithRevocation(const CRYPT_PROVIDER_SGNR* signer, PCCERT_CONTEXT cert) {
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  FILETIME asOf = signer->sftVerifyAsOf;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(nullptr, cert, &asOf, cert->hCertStore, &para,
                               CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT, nullptr, &chain))
    return CERT_TRUST_REVOCATION_STATUS_UNKNOWN;
  const DWORD errors = chain->TrustStatus.dwErrorStatus;
  CertFreeCertificateChain(chain);
  return errors;
}

// The file came over plain HTTP and is started with administrator rights:
// only a valid Authenticode signature of the vendor's, on a chain that is
// not revoked, lets it run. Read through `file`, the handle held until the
// start. Returns why it may not run, or nullptr. *status: WinVerifyTrust's
// answer, or the chain's error flags.
static const char* UpdaterRefusal(const std::wstring& path, HANDLE file, LONG* status) {
  WINTRUST_FILE_INFO info{};
  info.cbStruct = sizeof info;
  info.pcwszFilePath = path.c_str();
  info.hFile = file;
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &info;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  *status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  const char* refusal = TrustRefusal(*status, 0);
  if (refusal == nullptr) {
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    const PCCERT_CONTEXT cert = signer && signer->csCertChain > 0 ? signer->pasCertChain[0].pCert : nullptr;
    const DWORD chainErrors = cert ? ChainErrorsWithRevocation(signer, cert) : CERT_TRUST_IS_PARTIAL_CHAIN;
    refusal = TrustRefusal(ERROR_SUCCESS, chainErrors);
    if (refusal != nullptr) {
      *status = static_cast<LONG>(chainErrors);
    } else if (!(SubjectNamesVendor(cert, szOID_ORGANIZATION_NAME) || SubjectNamesVendor(cert, szOID_COMMON_NAME))) {
      refusal = "its signer is not " LUMI_VER_COMPANYNAME;
    }
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return refusal;
}

// An updater that may not run is deleted (once no longer held), with the
// reason in the log.
static void Refuse(CApplication* app, const std::wstring& path, const char* refusal, LONG status) {
  DeleteFileW(path.c_str());
  netlog::A(app ? app->log : nullptr, "Updater not started: %s (0x%08X); deleted", refusal,
            static_cast<unsigned>(status));
}

// Whether `path` still names the file `held` has open. Sharing keeps
// Windows processes from replacing it; this catches a replacement that
// bypassed sharing (a Unix process under Wine).
static bool NameLeadsTo(const std::wstring& path, HANDLE held) {
  HANDLE named = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  const bool same = GetFileInformationByHandle(held, &a) && GetFileInformationByHandle(named, &b) &&
                    a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                    a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(named);
  return same;
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
  const char* refusal = nullptr;
  LONG status = 0;
  if (ok) {
    const HeldFile held(temp);
    ok = held.open() && HoldsCompleteProgram(held.get());
    if (ok) refusal = UpdaterRefusal(temp, held.get(), &status);
  }
  if (refusal != nullptr) Refuse(app, temp, refusal, status);
  ok = ok && refusal == nullptr && MoveFileExW(temp.c_str(), finalPath.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) DeleteFileW(temp.c_str());
  if (SUCCEEDED(com)) CoUninitialize();
  return ok;
}

bool TakeNewerVersion(CApplication* app, const char16_t* path) { return DownloadUpdater(app, net::UpdateHost(), path); }

// Hands the updater to the shell with the "runas" verb.
static bool ShellStartElevated(CLog* log, const std::wstring& path) {
  // The shell may finish the start on a thread of its own, which the
  // process's exit would kill: an apartment, and no asynchronous start.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC;
  info.hwnd = nullptr;
  info.lpVerb = L"runas";
  info.lpFile = path.c_str();
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

bool StartElevated(CApplication* app, const char16_t* path16) {
  CLog* log = app ? app->log : nullptr;
  // A password-protected screensaver runs on a desktop of its own, where the
  // elevation prompt never reaches the user: the next run offers it.
  BOOL secure = FALSE;
  if (SystemParametersInfoW(SPI_GETSCREENSAVESECURE, 0, &secure, 0) && secure) {
    netlog::A(log, "Updater not started: the screensaver runs on the secure desktop");
    return false;
  }
  const std::wstring path = W(path16);
  const char* refusal = nullptr;
  LONG status = 0;
  bool started = false;
  {
    // Checked again, through the handle held until the elevated process
    // exists: the file waited in the user's folder since the download.
    const HeldFile held(path);
    if (!held.open()) {
      refusal = "it cannot be opened alone";
      status = static_cast<LONG>(held.openError());
    } else {
      refusal = UpdaterRefusal(path, held.get(), &status);
    }
    if (refusal == nullptr) {
      if (g_betweenCheckAndStart) g_betweenCheckAndStart(path.c_str());
      if (!NameLeadsTo(path, held.get())) refusal = "it was replaced after its check";
    }
    if (refusal == nullptr) started = ShellStartElevated(log, path);
  }
  if (refusal != nullptr) Refuse(app, path, refusal, status);
  return started;
}

// The check stays on as the file's default; the probe decides about the proxy.
void ChooseFirstRunConnection(CApplication* app) { DetectConnection(app); }
