#pragma once
// The Windows updater's verdict and the moment between its check and its
// start, open to tests/windows/updater_start.cpp.
#include <windows.h>

// Why an updater may not run, or nullptr: `status` is WinVerifyTrust's
// answer, `chainErrors` the error flags of the signer's chain built with
// revocation checked (0 where WinVerifyTrust already refused).
const char* TrustRefusal(LONG status, DWORD chainErrors);

// Called after the updater at `path` was checked and before it is started,
// while the checked file is held open. Null in the program; a test acts
// there as another process would.
extern void (*g_betweenCheckAndStart)(const wchar_t* path);
