#pragma once
// The platform half of the update: what becomes of a newer version on the
// server (net/posix, net/win32).
class CApplication;

// Runs on the update thread once the server offers a newer version. True
// when an updater now waits at `path`, to be started at the end of the run.
bool TakeNewerVersion(CApplication* app, const char16_t* path);

// Starts the updater TakeNewerVersion left, with a request for
// administrator rights; true when handed to the system. A refusal is logged.
bool StartElevated(CApplication* app, const char16_t* path);

// The first run's network choices, made before its settings file is
// written: the proxy, and whether later runs check for a new version.
void ChooseFirstRunConnection(CApplication* app);
