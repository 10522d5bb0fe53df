#include "net/Update.h"

#include <atomic>
#include <system_error>
#include <thread>

#include "hub/Application.h"
#include "net/NetDetail.h"
#include "net/NetInterface.h"
#include "net/UpdateBackend.h"
#include "platform/Platform.h"
#include "settings/DataPaths.h"
#include "settings/VersionInfo.h"

namespace {

// Everything the update thread shares with the main thread outside the
// application object. Only trivially destructible state: the thread may
// still run while the process's static objects are destroyed.
struct UpdateThreadState {
  std::atomic<int> busy{0};       // set before the thread starts, cleared as its last act
  std::atomic<int> fileReady{0};  // a download completed in this run, not yet launched
  char16_t readyPath[kPathCapacity] = {};
};
UpdateThreadState g_state;

unsigned UpdateThreadProc(CApplication* app) {
  if (IsUpdateDue(app) && CheckVersion(app) == 1 && app->updateAvailable.load() == 1) {
    const char16_t* path = app->paths->updaterPath;
    if (TakeNewerVersion(app, path)) {
      int i = 0;
      for (; i + 1 < kPathCapacity && path[i]; ++i) g_state.readyPath[i] = path[i];
      g_state.readyPath[i] = u'\0';
      g_state.fileReady.store(1);
      app->updateDownloaded.store(1);
    }
  }
  g_state.busy.store(0);
  return 0;
}

}  // namespace

void StartUpdateThread(CApplication* app) {
  app->updateThread = nullptr;
  if (!app->autoUpdate || !app->net || !app->paths) return;
  int idle = 0;
  if (!g_state.busy.compare_exchange_strong(idle, 1)) return;  // one update thread per run
  try {
    std::thread(UpdateThreadProc, app).detach();
    app->updateThread = &g_state;
  } catch (const std::system_error&) {
    g_state.busy.store(0);  // no thread: the run goes on without updates
  }
}

int IsUpdateDue(CApplication* app) {
  const plat::LocalTime now = plat::GetLocalTimeNow();
  app->todayDate.store(net::DateNumber(now.year, now.month, now.day));
  return app->lastUpdateDate < app->todayDate.load() ? 1 : 0;
}

int CheckVersion(CApplication* app) {
  char buffer[1024] = {};
  const int received = app->net->RequestVersion(buffer);
  if (received <= 0) return 0;
  const net::VersionReply reply = net::ParseVersionReply(buffer, received);
  // Without a blank line there is no body, hence no server version to
  // compare with: a reply arrived, but nothing is concluded from it.
  if (!reply.headerEnd) return 1;
  VersionInfo* server = new VersionInfo;
  for (int i = 0; i < 4; ++i) server->version[i] = reply.version[i];
  delete app->serverVersion.exchange(server);
  if (app->localVersion &&
      net::PackVersion(app->localVersion->version) < net::PackVersion(server->version))
    app->updateAvailable.store(1);
  return 1;
}

bool LaunchUpdater() {
  // Only a file this run completed, and only once.
  if (g_state.fileReady.exchange(0) != 1) return false;
  return StartElevated(g_application, g_state.readyPath);
}

bool UpdateThreadBusy(CApplication*) { return g_state.busy.load() != 0; }
