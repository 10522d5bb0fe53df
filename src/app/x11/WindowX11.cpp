// The X11 window layer: the render loop over the X event queue, after the
// posted requests and the end signals.
// Before the X headers, whose None macro would clash with its names.
#include "platform/Platform.h"

#include "hub/RenderHost.h"
#include "app/DisplayPower.h"
#include "app/RenderLoop.h"
#include "app/x11/DisplayPowerX11.h"
#include "app/Window.h"
#include "app/WindowProc.h"
#include "app/posix/WindowLoop.h"
#include "app/x11/WindowX11.h"
#include "app/x11/Options.h"
#include "gl/GLWindow.h"
#include "gl/x11/GLXPresenter.h"
#include "gl/x11/X11Session.h"
#include "log/Log.h"
#include "scene/Scene.h"
#include "settings/Overrides.h"

namespace {

CWindowProcLogic& g_windowProc = PosixWindowProc();

void DispatchXEvent(XEvent& event) {
  X11Session& s = TheX11Session();
  CApplication* app = g_application;
  switch (event.type) {
    case KeyPress:
      if (s.TakesInput()) g_windowProc.OnEvent(app, event.xkey.window, WindowEvent::KeyDown);
      break;
    case ButtonPress:
      // Buttons 4 to 7 are the wheel, 8 and up extra buttons: none ends the run.
      if (s.TakesInput() && event.xbutton.button >= Button1 && event.xbutton.button <= Button3) {
        g_windowProc.OnEvent(app, event.xbutton.window, WindowEvent::ButtonDown);
      }
      break;
    case MotionNotify:
      if (s.TakesInput()) {
        g_windowProc.OnMouseMove(event.xmotion.window, event.xmotion.x_root, event.xmotion.y_root);
      }
      break;
    case ClientMessage:
      if (event.xclient.message_type == s.wmProtocols &&
          static_cast<Atom>(event.xclient.data.l[0]) == s.wmDeleteWindow) {
        PostEndRequest();
      }
      break;
    case DestroyNotify:
      // The window we were given, or the one we draw into, closed by someone
      // else. The first window, replaced by the multisampled one, is no
      // longer s.window when its notification arrives: it ends nothing.
      if ((s.target == X11Session::Target::ForeignWindow && event.xdestroywindow.window == s.foreign) ||
          (s.window != s.root && event.xdestroywindow.window == s.window)) {
        PostEndRequest();
      }
      break;
    case Expose:
      // The server lost part of the picture: the next frame draws it all.
      if (g_renderHost != nullptr && g_renderHost->scene != nullptr) g_renderHost->scene->RequestFullFrame();
      break;
    case ConfigureNotify:
      if ((s.target == X11Session::Target::ForeignWindow && event.xconfigure.window == s.foreign) ||
          (s.target == X11Session::Target::Window && event.xconfigure.window == s.window)) {
        ResizeDrawingArea(event.xconfigure.width, event.xconfigure.height);
      }
      break;
    default:
      FollowMonitorChange(&event);
      break;
  }
}

class X11LoopPort final : public IRenderLoopPort {
 public:
  Pump PumpOneMessage(int* exitCode) override {
    const Pump posted = TakePostedRequest(exitCode);
    if (posted != Pump::Empty) return posted;
    Display* display = TheX11Session().display;
    if (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      DispatchXEvent(event);
      return Pump::Dispatched;
    }
    return Pump::Empty;
  }

  void DrawFrame() override {
    // No scene: the GL context could not be made, and nothing is shown.
    if (g_renderHost->scene == nullptr) return;
    CScene& scene = *g_renderHost->scene;
    if (AdmitFrame(gate_, power_, plat::TickCountMs(), scene)) DrawAndPresent(scene, presenter_);
  }

  uint32_t TickCount() override { return plat::TickCountMs(); }
  void Sleep(uint32_t ms) override { plat::SleepMs(ms); }

 private:
  GLXPresenter presenter_;
  X11DisplayPower power_;
  // DPMSInfo is a round trip: asked once a second while the monitor is lit.
  CDisplayGate gate_{1000};
};

void SeedPointerPosition() {
  X11Session& s = TheX11Session();
  Window root = 0, child = 0;
  int x = 0, y = 0, windowX = 0, windowY = 0;
  unsigned mask = 0;
  if (XQueryPointer(s.display, s.root, &root, &child, &x, &y, &windowX, &windowY, &mask)) {
    g_windowProc.SetPointerPosition(x, y);
  }
}

X11Session::Target SessionTarget(X11Options::Target target) {
  switch (target) {
    case X11Options::Target::Window: return X11Session::Target::Window;
    case X11Options::Target::Root: return X11Session::Target::Root;
    case X11Options::Target::ForeignWindow: return X11Session::Target::ForeignWindow;
    case X11Options::Target::FullScreen: break;
  }
  return X11Session::Target::FullScreen;
}

}  // namespace

void CloseX11Window() { CloseX11Session(); }

int RunX11RenderLoop() {
  const X11Options& options = CurrentX11Options();
  if (!OpenX11Session(SessionTarget(options.target), options.windowId)) return 1;
  TheX11Session().sceneMonitor = CurrentDisplayOptions().output;
  SeedPointerPosition();
  X11LoopPort port;
  return RunGLWindowLoop(port);
}
