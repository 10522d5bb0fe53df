// Updates on Linux come from the package manager: a newer version on the
// server is only reported. Nothing is fetched, so nothing is ever started,
// least of all with more rights than the user has.
#include "hub/Application.h"
#include "net/NetInterface.h"
#include "net/NetLog.h"
#include "net/UpdateBackend.h"
#include "settings/VersionInfo.h"

bool TakeNewerVersion(CApplication* app, const char16_t*) {
  if (const VersionInfo* v = app->serverVersion.load())
    netlog::A(app->log, "Version %d.%d.%d.%d is available; the package manager provides updates",
              static_cast<int>(v->version[0]), static_cast<int>(v->version[1]), static_cast<int>(v->version[2]),
              static_cast<int>(v->version[3]));
  return false;
}

// Never reached: no updater is ever left to start.
bool StartElevated(CApplication*, const char16_t*) { return false; }

// Debian turns off the update checks of the programs it packages: apt brings
// the updates. Nothing is contacted unless the user switches the check on;
// the proxy variable is taken as it stands for that day.
void ChooseFirstRunConnection(CApplication* app) {
  app->autoUpdate = 0;
  TakeBrowserProxy(app);
}
