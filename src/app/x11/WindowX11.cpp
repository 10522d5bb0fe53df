// The X11 window layer: the render loop over the X event queue, a queue of
// posted requests and the end signals.
// Before the X headers, whose None macro would clash with its names.
#include "platform/Platform.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <deque>

#include "hub/RenderHost.h"
#include "app/DisplayPower.h"
#include "app/RenderLoop.h"
#include "app/x11/DisplayPowerX11.h"
#include "app/Window.h"
#include "app/WindowProc.h"
#include "app/x11/Options.h"
#include "gl/GLWindow.h"
#include "gl/x11/GLXPresenter.h"
#include "gl/x11/X11Session.h"
#include "log/Log.h"
#include "scene/Scene.h"
#include "settings/Overrides.h"

namespace {

// Posted requests are taken before X events, as Windows takes posted
// messages before input: the destroy request runs before any further input
// and the quit request it posts ends the loop next.
struct PostedMessage {
  enum class Kind { Destroy, Quit } kind;
  NativeHandle window;
};
std::deque<PostedMessage> g_posted;

class X11WindowProcLogic final : public CWindowProcLogic {
 protected:
  void PostDestroy(NativeHandle window) override { g_posted.push_back({PostedMessage::Kind::Destroy, window}); }
  void PostQuit(NativeHandle window) override { g_posted.push_back({PostedMessage::Kind::Quit, window}); }
};
X11WindowProcLogic g_windowProc;

void PostEndRequest() {
  g_posted.push_back({PostedMessage::Kind::Destroy, g_application->mainWindow});
}

// SIGTERM, SIGINT and SIGHUP become end requests through a self-pipe: the
// handler only writes a byte, and the loop runs the ordinary shutdown.
int g_signalPipe[2] = {-1, -1};

void OnEndSignal(int) {
  const int savedErrno = errno;
  const char byte = 1;
  if (write(g_signalPipe[1], &byte, 1) < 0) {
    // Full pipe: an end request is already pending.
  }
  errno = savedErrno;
}

void InstallEndSignals() {
  if (g_signalPipe[0] < 0 && pipe2(g_signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) return;
  struct sigaction action = {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}

// Once the loop is over a further signal must end the process at once,
// whatever the teardown is waiting for.
void RestoreEndSignals() {
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) signal(signalNumber, SIG_DFL);
}

bool TakeEndSignal() {
  if (g_signalPipe[0] < 0) return false;
  char bytes[64];
  return read(g_signalPipe[0], bytes, sizeof bytes) > 0;
}

void DispatchXEvent(const XEvent& event) {
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
      break;
  }
}

class X11LoopPort final : public IRenderLoopPort {
 public:
  Pump PumpOneMessage(int* exitCode) override {
    if (!g_posted.empty()) {
      const PostedMessage message = g_posted.front();
      g_posted.pop_front();
      if (message.kind == PostedMessage::Kind::Quit) {
        *exitCode = 0;
        return Pump::Quit;
      }
      g_windowProc.OnEvent(g_application, message.window, WindowEvent::Destroy);
      return Pump::Dispatched;
    }
    if (TakeEndSignal()) {
      PostEndRequest();
      return Pump::Dispatched;
    }
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

// X has no window classes; the display is opened by the render loop, so
// the settings-only runs need none.
bool RegisterWindowClass() { return true; }

void UnregisterWindowClass() { CloseX11Session(); }

int RunRenderLoop() {
  const X11Options& options = CurrentX11Options();
  if (!OpenX11Session(SessionTarget(options.target), options.windowId)) return 1;
  InstallEndSignals();
  SeedPointerPosition();
  g_renderHost = new CRenderHost();
  // -fsaa N is already the application's count for this run (see
  // RunOverrides); asked for the run, it holds even in software.
  g_renderHost->samplesAskedForRun = RunOverrides().hasFsaa;
  if (!CreateGLWindow() || g_application->mainWindow == 0) {
    // CreateGLWindow has said why on standard error.
    RestoreEndSignals();
    if (g_application->log != nullptr) g_application->log->Write(u"CreateGLWindow() failed");
    return 1;
  }
  X11LoopPort port;
  const int exitCode = RunMessageLoop(port);
  RestoreEndSignals();
  delete g_renderHost;
  g_renderHost = nullptr;
  return exitCode;
}
