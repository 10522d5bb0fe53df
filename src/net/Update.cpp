// TEMPORARY placeholder until the update thread lands (net owner replaces this file).
#include "net/Update.h"
void StartUpdateThread(CApplication*) {}
int IsUpdateDue(CApplication*) { return 0; }
int CheckVersion(CApplication*) { return 0; }
void LaunchUpdater() {}
bool UpdateThreadBusy(CApplication*) { return false; }
