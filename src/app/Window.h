#pragma once
// The window layer the program entry drives (app/win32, app/x11).
bool RegisterWindowClass();
void UnregisterWindowClass();
// Creates the render host, the GL window and runs the render loop until the
// quit message; returns the loop's exit code (non-zero when no window).
int RunRenderLoop();
