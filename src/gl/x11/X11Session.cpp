// The process's X connection: opened and closed once, its protocol errors
// recorded rather than fatal.
#include "gl/x11/X11Session.h"

#include <cstdio>
#include <cstdlib>

namespace {

X11Session g_session;

int RecordXError(Display*, XErrorEvent* event) {
  g_session.lastXError = event->error_code;
  return 0;
}

}  // namespace

X11Session& TheX11Session() { return g_session; }

int SyncXError() {
  XSync(g_session.display, False);
  return g_session.lastXError;
}

bool OpenX11Session(X11Session::Target target, unsigned long foreignWindow) {
  X11Session& s = g_session;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
      std::fprintf(stderr, "lumisaver: no X display (DISPLAY is not set)\n");
    } else {
      std::fprintf(stderr, "lumisaver: cannot open X display \"%s\"\n", name);
    }
    return false;
  }
  XSetErrorHandler(RecordXError);
  s.display = display;
  s.screen = DefaultScreen(display);
  s.root = RootWindow(display, s.screen);
  s.target = target;
  s.foreign = foreignWindow;
  s.wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
  s.wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  static const char kNoBits[1] = {0};
  const Pixmap empty = XCreateBitmapFromData(display, s.root, kNoBits, 1, 1);
  XColor black{};
  s.blankCursor = XCreatePixmapCursor(display, empty, empty, &black, &black, 0, 0);
  XFreePixmap(display, empty);
  return true;
}

void CloseX11Session() {
  X11Session& s = g_session;
  if (s.display == nullptr) return;
  XCloseDisplay(s.display);
  s = X11Session{};
}
