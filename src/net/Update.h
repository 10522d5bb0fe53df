#pragma once
// The update thread: date gate, version check and the hand-over at the end of a run.
class CApplication;

// Starts the update thread (AutoUpdate on, settings file existed).
void StartUpdateThread(CApplication* app);
int IsUpdateDue(CApplication* app);
int CheckVersion(CApplication* app);
// Starts the downloaded updater with a request for administrator rights;
// true when it was handed to the system (the user may still decline).
bool LaunchUpdater();
// True while the update thread may still touch the application's objects;
// the teardown leaves them to the process exit in that case.
bool UpdateThreadBusy(CApplication* app);
