// The Wayland window layer: the render loop over the compositor's events,
// after the posted requests and the end signals.
#include "app/wayland/WindowWayland.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "hub/RenderHost.h"
#include "app/posix/WindowLoop.h"
#include "app/x11/Options.h"
#include "gl/FramePresenter.h"
#include "gl/wayland/WaylandSession.h"
#include "log/Log.h"
#include "platform/Platform.h"
#include "platform/posix/SessionLock.h"
#include "scene/Scene.h"

namespace {

CWindowProcLogic& g_windowProc = PosixWindowProc();

class WaylandInput final : public IWaylandInput {
 public:
  void OnKey() override {
    if (TheWaylandSession().TakesInput()) g_windowProc.OnEvent(g_application, Window(), WindowEvent::KeyDown);
  }
  void OnButton() override {
    if (TheWaylandSession().TakesInput()) g_windowProc.OnEvent(g_application, Window(), WindowEvent::ButtonDown);
  }
  // The first entry only tells where the pointer rests: a saver appearing
  // under it must not end at once. The compositor sends at most one motion
  // per frame, so a quick sweep may come as a single event: besides the
  // count of moves, travel beyond a few pixels from the rest ends the run.
  void OnPointer(int x, int y, bool entered) override {
    if (!TheWaylandSession().TakesInput()) return;
    if (entered && !seen_) {
      seen_ = true;
      restX_ = x;
      restY_ = y;
      g_windowProc.SetPointerPosition(x, y);
      return;
    }
    if (!seen_) {
      seen_ = true;
      restX_ = x;
      restY_ = y;
    }
    g_windowProc.OnMouseMove(Window(), x, y);
    if (std::abs(x - restX_) > kTravel || std::abs(y - restY_) > kTravel) {
      g_windowProc.OnEvent(g_application, Window(), WindowEvent::ButtonDown);
    }
  }
  void OnClose() override { PostEndRequest(); }

 private:
  static NativeHandle Window() { return g_application->mainWindow; }
  static constexpr int kTravel = 8;
  bool seen_ = false;
  int restX_ = 0;
  int restY_ = 0;
};
WaylandInput g_input;

class WaylandLoopPort final : public IRenderLoopPort {
 public:
  Pump PumpOneMessage(int* exitCode) override {
    const Pump posted = TakePostedRequest(exitCode);
    if (posted != Pump::Empty) return posted;
    if (!TakeEvents(0)) return Pump::Dispatched;
    return Pump::Empty;
  }

  void DrawFrame() override {
    // No scene (no GL context) draws nothing; a surface whose last frame
    // the compositor has not shown yet waits for a later pass.
    CScene* scene = g_renderHost->scene;
    if (scene == nullptr) return;
    const std::vector<WaylandSurface*> due = WaylandScenesDue();
    if (due.empty()) return;
    scene->BeginFrame();  // one moment for every output
    for (WaylandSurface* surface : due) {
      if (MakeSceneCurrent(*surface)) DrawAndPresent(*scene, surface->target, *surface->presenter);
    }
  }

  uint32_t TickCount() override { return plat::TickCountMs(); }

  // Input and frame callbacks are taken while the pass sleeps, so the pace
  // holds however often the compositor writes; an end signal or a compositor
  // gone cuts the sleep short.
  void Sleep(uint32_t ms) override {
    const uint32_t start = plat::TickCountMs();
    for (uint32_t elapsed = 0; elapsed < ms; elapsed = plat::TickCountMs() - start) {
      if (lostReported_) {
        plat::SleepMs(ms - elapsed);
        return;
      }
      if (!TakeEvents(static_cast<int>(ms - elapsed))) return;
    }
  }

 private:
  // False when the loop should look at its queue now: an end request
  // came, or the compositor is gone (then one end request is posted).
  bool TakeEvents(int timeoutMs) {
    if (lostReported_) return true;
    if (!DispatchWaylandEvents(timeoutMs, EndSignalFd())) {
      lostReported_ = true;
      if (g_application->log != nullptr) g_application->log->Write(u"The Wayland compositor is gone");
      PostEndRequest();
      return false;
    }
    return !RequestPending();
  }
  bool lostReported_ = false;
};

}  // namespace

void CloseWaylandWindow() { CloseWaylandSession(); }

int RunWaylandRenderLoop() {
  WaylandSession& s = TheWaylandSession();
  const bool window = CurrentX11Options().target == X11Options::Target::Window;
  if (!OpenWaylandSession(true)) return 1;
  if (window && s.wmBase == nullptr) {
    std::fprintf(stderr, "lumisaver: -window needs a compositor with xdg-shell; this one has none\n");
    CloseWaylandSession();
    return 2;
  }
  // One full-screen run per compositor: idle daemons start the saver again
  // after every resume.
  if (!window && !TakeSessionLock(SessionDisplayName(true, "wayland-0"))) {
    if (g_application->log != nullptr) g_application->log->Write(u"Already running on this display");
    return 0;
  }
  s.target = window ? WaylandSession::Target::Window : WaylandSession::Target::FullScreen;
  s.sceneOutputName = CurrentDisplayOptions().output;
  s.input = &g_input;
  WaylandLoopPort port;
  return RunGLWindowLoop(port);
}
