// First-run wait box: a small undecorated window with one line of text. No
// event loop runs while it is up, so it is drawn once after it is mapped.
// Platform.h first: X11 defines None, which the header uses as a name.
#include "platform/Platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/select.h>

#include <cstring>

namespace plat {

namespace {

struct WaitBox {
  Display* display;
  Window window;
  GC gc;
  XFontStruct* font;
};

constexpr char kText[] = "Initializing... Please wait...";
// 232 x 70 dialog units at the usual 8-point dialog font.
constexpr unsigned kWidth = 348;
constexpr unsigned kHeight = 114;

// Waits briefly for the window to become visible; a server that never sends
// the event must not hold up the start.
void WaitForExpose(Display* d, Window w) {
  for (int tries = 0; tries < 20; ++tries) {
    while (XPending(d)) {
      XEvent ev;
      XNextEvent(d, &ev);
      if (ev.type == Expose && ev.xexpose.window == w) return;
    }
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(ConnectionNumber(d), &fds);
    struct timeval tv = {0, 25000};
    select(ConnectionNumber(d) + 1, &fds, nullptr, nullptr, &tv);
  }
}

}  // namespace

void* ShowWaitBox() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return nullptr;
  const int screen = DefaultScreen(d);
  const int x = (DisplayWidth(d, screen) - int(kWidth)) / 2;
  const int y = (DisplayHeight(d, screen) - int(kHeight)) / 2;

  XSetWindowAttributes attrs;
  std::memset(&attrs, 0, sizeof attrs);
  attrs.override_redirect = True;
  attrs.background_pixel = WhitePixel(d, screen);
  attrs.border_pixel = BlackPixel(d, screen);
  attrs.event_mask = ExposureMask;
  const Window w = XCreateWindow(d, RootWindow(d, screen), x, y, kWidth, kHeight, 1, CopyFromParent,
                                 InputOutput, CopyFromParent,
                                 CWOverrideRedirect | CWBackPixel | CWBorderPixel | CWEventMask, &attrs);
  XStoreName(d, w, "Lumiscript");
  XMapRaised(d, w);

  auto* box = new WaitBox{d, w, XCreateGC(d, w, 0, nullptr), XLoadQueryFont(d, "fixed")};
  XSetForeground(d, box->gc, BlackPixel(d, screen));
  if (box->font) XSetFont(d, box->gc, box->font->fid);
  WaitForExpose(d, w);

  const int len = int(sizeof kText - 1);
  const int textWidth = box->font ? XTextWidth(box->font, kText, len) : len * 6;
  XDrawString(d, w, box->gc, (int(kWidth) - textWidth) / 2, int(kHeight) / 2 + 4, kText, len);
  XFlush(d);
  return box;
}

void HideWaitBox(void* handle) {
  auto* box = static_cast<WaitBox*>(handle);
  if (!box) return;
  if (box->font) XFreeFont(box->display, box->font);
  XFreeGC(box->display, box->gc);
  XDestroyWindow(box->display, box->window);
  XCloseDisplay(box->display);
  delete box;
}

}  // namespace plat
