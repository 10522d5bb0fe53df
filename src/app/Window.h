#pragma once
// The window layer the program entry drives (app/win32, app/x11).
#include "app/Application.h"

bool RegisterWindowClass();
void UnregisterWindowClass();
// Creates the render host, the GL window and runs the render loop until the
// quit message; returns the loop's exit code (non-zero when no window).
int RunRenderLoop();

// The two guests of the system's screensaver dialog, where the platform has
// them (app/win32); each returns the exit code.
struct SaverDialogModes {
  // The scene in a child of parent, until parent goes away; 0 at once when
  // parent is not a window.
  int (*preview)(NativeHandle parent);
  // The modal settings dialog, owned by owner when that is a window.
  int (*settings)(NativeHandle owner);
};
