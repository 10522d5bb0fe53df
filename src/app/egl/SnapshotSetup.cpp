#include "app/egl/SnapshotSetup.h"

#include <cstdio>

#include "app/Application.h"
#include "content/ContentList.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "settings/DataPaths.h"

namespace {

// The start-up sequence writes the first settings file on a first run,
// starts the update thread when AutoUpdate is on and appends to the log when
// Log is 1 or 3. A snapshot does none of these, so it builds the application
// only from a settings file that asks for none of them.
bool StartUpWritesNothing() {
  CDataPaths paths;
  const std::string where = text::ToUtf8(paths.settingsPath);
  if (!paths.settingsExists) {
    std::fprintf(stderr, "lumisaver: snapshot: %s is missing; a first start would create it\n", where.c_str());
    return false;
  }
  const int autoUpdate = plat::ProfileGetInt(u"SYSTEM", u"AutoUpdate", 0, paths.settingsPath);
  const int logLevel = plat::ProfileGetInt(u"SYSTEM", u"Log", 0, paths.settingsPath);
  if (autoUpdate != 0 || logLevel == 1 || logLevel == 3) {
    std::fprintf(stderr, "lumisaver: snapshot: %s asks for AutoUpdate or Log; set both to 0 for a snapshot\n",
                 where.c_str());
    return false;
  }
  return true;
}

}  // namespace

CApplication* CreateSnapshotApplication(int entry) {
  if (!StartUpWritesNothing()) return nullptr;
  auto* app = new CApplication(ModeInitOnly, 0);
  if (entry >= 0 && app->contentList != nullptr) app->lastNum = app->contentList->SetStart(entry);
  return app;
}

void DestroySnapshotApplication(CApplication* app) { DestroyApplication(app); }
