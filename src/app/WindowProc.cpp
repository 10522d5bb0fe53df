#include "app/WindowProc.h"

#include "gl/GLWindow.h"
#include "net/Update.h"
#include "settings/Settings.h"

void CWindowProcLogic::OnEvent(CApplication* app, NativeHandle window, WindowEvent event) {
  switch (event) {
    case WindowEvent::Destroy:
      // Zero while the first window is replaced by the multisampled one:
      // that window's destroy must not end the run.
      if (app != nullptr && app->windowReady != 0) Shutdown(app, window, true);
      return;
    case WindowEvent::EndSession:
      // The session may end as soon as this returns; an elevation prompt
      // then would only hold up the logoff.
      if (app != nullptr && app->windowReady != 0) Shutdown(app, window, false);
      return;
    case WindowEvent::KeyDown:
    case WindowEvent::ButtonDown:
    case WindowEvent::Close:
      PostDestroy(window);
      return;
  }
}

void CWindowProcLogic::OnMouseMove(NativeHandle window, int x, int y) {
  if (pointerKnown_ && x == pointerX_ && y == pointerY_) return;
  SetPointerPosition(x, y);
  if (++mouseMoves_ > kMouseMoveLimit) PostDestroy(window);
}

void CWindowProcLogic::SetPointerPosition(int x, int y) {
  pointerKnown_ = true;
  pointerX_ = x;
  pointerY_ = y;
}

void CWindowProcLogic::Shutdown(CApplication* app, NativeHandle window, bool offerUpdate) {
  // Several end requests can be queued before the first is handled (a key
  // and a move in the same burst); the context and the settings are
  // released and written once.
  if (shutDown_) return;
  shutDown_ = true;
  // A preview is a guest in another program's dialog: it leaves the
  // settings, LastNum included, and the updater to the real runs.
  if (app->runMode == ModePreview) {
    DisableOpenGL();
    PostQuit(window);
    return;
  }
  // The date marks an update offered: one refused or put off is tried
  // again on the next run.
  if (offerUpdate && app->updateDownloaded != 0 && LaunchUpdater()) app->lastUpdateDate = app->todayDate;
  DisableOpenGL();
  SaveSettings(app);
  PostQuit(window);
}

bool CWindowProcLogic::LaunchUpdater() { return ::LaunchUpdater(); }
void CWindowProcLogic::DisableOpenGL() { ::DisableOpenGL(); }
void CWindowProcLogic::SaveSettings(CApplication* app) { ::SaveSettings(app); }
