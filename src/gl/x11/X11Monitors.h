#pragma once
#include <X11/Xlib.h>

#include <vector>

#include "gl/MonitorLayout.h"

// The screen's monitors: RandR's (1.5 and up), else Xinerama's screens;
// empty when the server has neither, or reports none.
std::vector<MonitorRect> QueryMonitors(Display* display, Window root);

// Asks for RandR's news of changed outputs, CRTCs and screen size on the
// root; nothing happens without RandR.
void SelectMonitorChanges(Display* display, Window root);
// Whether `event` is that news; keeps Xlib's idea of the screen's size.
bool IsMonitorChange(XEvent* event);
