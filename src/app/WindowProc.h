#pragma once
// What the screensaver window does with input and with its destroy request,
// shared by the Win32 window procedure and the X11 event dispatch.
#include "app/Application.h"

inline constexpr int kMouseMoveLimit = 5;

enum class WindowEvent {
  Destroy,     // WM_DESTROY, or the destroy request posted by the input handlers
  KeyDown,     // any key, system keys included
  ButtonDown,  // left, right or middle button
  Close,       // WM_CLOSE, SC_CLOSE: another program or the user closing the window
  EndSession,  // WM_ENDSESSION: the shutdown at once, without the updater
};

class CWindowProcLogic {
 public:
  virtual ~CWindowProcLogic() = default;

  // Input posts a destroy request to the window; the request, when it is
  // dispatched with windowReady set, runs the shutdown sequence once.
  void OnEvent(CApplication* app, NativeHandle window, WindowEvent event);
  // A pointer move to screen position (x, y). The sixth move and every later
  // one post the destroy request.
  void OnMouseMove(NativeHandle window, int x, int y);
  // Where the pointer rests before the window appears. Windows reports a
  // move without motion when a window appears under the pointer or the
  // cursor is hidden; only moves away from the last position count.
  void SetPointerPosition(int x, int y);

  int mouseMoves() const { return mouseMoves_; }
  bool shutDown() const { return shutDown_; }

 protected:
  virtual void PostDestroy(NativeHandle window) = 0;
  virtual void PostQuit(NativeHandle window) = 0;
  // The shutdown's calls out; tests replace them. LaunchUpdater is true
  // when the updater was handed to the system.
  virtual bool LaunchUpdater();
  virtual void DisableOpenGL();
  virtual void SaveSettings(CApplication* app);

 private:
  void Shutdown(CApplication* app, NativeHandle window, bool offerUpdate);

  // Never reset: moves seen by a replaced window count too.
  int mouseMoves_ = 0;
  bool pointerKnown_ = false;
  int pointerX_ = 0;
  int pointerY_ = 0;
  bool shutDown_ = false;
};
