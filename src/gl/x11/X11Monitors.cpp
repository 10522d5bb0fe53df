#include "gl/x11/X11Monitors.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

namespace {

int g_randrEventBase = -1;  // -1: no RandR news selected

std::vector<MonitorRect> RandRMonitors(Display* display, Window root) {
  std::vector<MonitorRect> monitors;
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
      major < 1 || (major == 1 && minor < 5)) {
    return monitors;
  }
  int count = 0;
  XRRMonitorInfo* info = XRRGetMonitors(display, root, True, &count);
  for (int i = 0; i < count; ++i) {
    char* name = info[i].name != 0 ? XGetAtomName(display, info[i].name) : nullptr;
    monitors.push_back({info[i].x, info[i].y, info[i].width, info[i].height, info[i].primary != 0,
                        name != nullptr ? name : ""});
    if (name != nullptr) XFree(name);
  }
  if (info != nullptr) XRRFreeMonitors(info);
  return monitors;
}

// Xinerama has no primary; its first screen is the usual stand-in, which
// the choice of the origin's monitor covers well enough.
std::vector<MonitorRect> XineramaMonitors(Display* display) {
  std::vector<MonitorRect> monitors;
  int eventBase = 0, errorBase = 0;
  if (!XineramaQueryExtension(display, &eventBase, &errorBase) || !XineramaIsActive(display)) return monitors;
  int count = 0;
  XineramaScreenInfo* info = XineramaQueryScreens(display, &count);
  for (int i = 0; i < count; ++i) {
    monitors.push_back({info[i].x_org, info[i].y_org, info[i].width, info[i].height, false, ""});
  }
  if (info != nullptr) XFree(info);
  return monitors;
}

}  // namespace

std::vector<MonitorRect> QueryMonitors(Display* display, Window root) {
  std::vector<MonitorRect> monitors = RandRMonitors(display, root);
  if (monitors.empty()) monitors = XineramaMonitors(display);
  return monitors;
}

void SelectMonitorChanges(Display* display, Window root) {
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor)) return;
  int mask = RRScreenChangeNotifyMask;
  if (major > 1 || minor >= 2) mask |= RRCrtcChangeNotifyMask | RROutputChangeNotifyMask;
  XRRSelectInput(display, root, mask);
  g_randrEventBase = eventBase;
}

bool IsMonitorChange(XEvent* event) {
  if (g_randrEventBase < 0) return false;
  if (event->type == g_randrEventBase + RRScreenChangeNotify) {
    XRRUpdateConfiguration(event);
    return true;
  }
  return event->type == g_randrEventBase + RRNotify;
}
