// lumifloor: what any full-screen GL program costs before it draws anything.
// A window over the whole screen, cleared and swapped every 50 ms (the
// saver's pace) until SIGTERM or SIGINT; scripts/bench-cpu measures it.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <time.h>

#include <cstdio>

namespace {

volatile sig_atomic_t g_stop = 0;
void OnStop(int) { g_stop = 1; }

double NowSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("lumifloor: cannot open the display\n", stderr);
    return 1;
  }
  const int screen = DefaultScreen(display);
  int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                      GLX_DEPTH_SIZE, 16, None};
  XVisualInfo* visual = glXChooseVisual(display, screen, attributes);
  if (visual == nullptr) {
    std::fputs("lumifloor: no double-buffered visual\n", stderr);
    return 1;
  }
  const Window root = RootWindow(display, screen);
  XSetWindowAttributes set{};
  set.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  set.override_redirect = True;
  set.background_pixel = 0;
  const Window window =
      XCreateWindow(display, root, 0, 0, static_cast<unsigned>(DisplayWidth(display, screen)),
                    static_cast<unsigned>(DisplayHeight(display, screen)), 0, visual->depth, InputOutput,
                    visual->visual, CWColormap | CWOverrideRedirect | CWBackPixel, &set);
  XMapRaised(display, window);
  GLXContext context = glXCreateContext(display, visual, nullptr, True);
  if (context == nullptr || !glXMakeCurrent(display, window, context)) {
    std::fputs("lumifloor: cannot make a GL context\n", stderr);
    return 1;
  }
  signal(SIGTERM, OnStop);
  signal(SIGINT, OnStop);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  while (!g_stop) {
    const double start = NowSeconds();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glXSwapBuffers(display, window);
    const double rest = 0.05 - (NowSeconds() - start);
    if (rest > 0) {
      const timespec pause{0, static_cast<long>(rest * 1e9)};
      nanosleep(&pause, nullptr);
    }
  }
  glXMakeCurrent(display, None, nullptr);
  glXDestroyContext(display, context);
  XDestroyWindow(display, window);
  XFree(visual);
  XCloseDisplay(display);
  return 0;
}
