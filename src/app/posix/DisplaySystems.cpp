// The display systems of the Linux program, tried in order at start for the
// window and GL layer (app/Window.h, gl/GLWindow.h); all else is chosen when
// the program is built.
#include <cstdlib>

#include "app/Window.h"
#include "app/wayland/WindowWayland.h"
#include "app/x11/Options.h"
#include "app/x11/WindowX11.h"
#include "gl/GLPlatform.h"
#include "gl/wayland/WaylandSession.h"

namespace {

struct DisplaySystem {
  DisplayOptions::System id;
  // Whether a run not told which system to use takes this one.
  bool (*fits)();
  int (*runRenderLoop)();
  void (*close)();
  const GLPlatformCalls& (*gl)();
};

// Wayland where a compositor is named and answers, unless an X window was
// asked for (-root, -window-id, XSCREENSAVER_WINDOW): the xscreensaver
// daemon and X tools go on finding the X11 program they know.
bool WaylandFits() {
  const X11Options::Target target = CurrentX11Options().target;
  if (target == X11Options::Target::Root || target == X11Options::Target::ForeignWindow) return false;
  const char* name = std::getenv("WAYLAND_DISPLAY");
  return name != nullptr && *name != '\0' && OpenWaylandSession(false);
}

const DisplaySystem kSystems[] = {
    {DisplayOptions::System::Wayland, WaylandFits, RunWaylandRenderLoop, CloseWaylandWindow, EglWaylandCalls},
    {DisplayOptions::System::X11, [] { return true; }, RunX11RenderLoop, CloseX11Window, GlxCalls},
};

const DisplaySystem* g_system = nullptr;

const DisplaySystem& Chosen() {
  if (g_system != nullptr) return *g_system;
  const DisplayOptions::System asked = CurrentDisplayOptions().system;
  for (const DisplaySystem& system : kSystems) {
    if (asked == DisplayOptions::System::Chosen ? system.fits() : system.id == asked) {
      g_system = &system;
      break;
    }
  }
  UseGLPlatform(g_system->gl());
  return *g_system;
}

}  // namespace

// Neither system has window classes; the choice is made here, before the
// render loop opens its display.
bool RegisterWindowClass() {
  Chosen();
  return true;
}

void UnregisterWindowClass() { Chosen().close(); }

int RunRenderLoop() { return Chosen().runRenderLoop(); }
