#include "app/egl/SnapshotSetup.h"

#include "app/Application.h"
#include "content/ContentList.h"

CApplication* CreateSnapshotApplication(int entry) {
  auto* app = new CApplication(ModeSnapshot, 0);
  if (entry >= 0 && app->contentList != nullptr) app->lastNum = app->contentList->SetStart(entry);
  return app;
}

void DestroySnapshotApplication(CApplication* app) { DestroyApplication(app); }
