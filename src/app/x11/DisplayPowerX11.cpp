#include "app/x11/DisplayPowerX11.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

#include "gl/x11/X11Session.h"

X11DisplayPower::X11DisplayPower() {
  Display* display = TheX11Session().display;
  int eventBase = 0, errorBase = 0;
  capable_ = display != nullptr && DPMSQueryExtension(display, &eventBase, &errorBase) && DPMSCapable(display);
}

DisplayPower X11DisplayPower::Query() {
  CARD16 level = DPMSModeOn;
  BOOL enabled = False;
  if (capable_ && !DPMSInfo(TheX11Session().display, &level, &enabled)) return DisplayPower::On;
  return FromDpms(capable_, enabled != False, level);
}
