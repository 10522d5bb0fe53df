#pragma once
// What the POSIX window layers (app/x11, app/wayland) share: the run around
// the render loop, the queue of posted requests, the window procedure that
// posts into it, and SIGTERM, SIGINT and SIGHUP turned into end requests.
#include "app/RenderLoop.h"
#include "app/WindowProc.h"

CWindowProcLogic& PosixWindowProc();

// The destroy request for the main window: the ordinary shutdown follows.
void PostEndRequest();
// One posted request, taken before any display event, as Windows takes
// posted messages before input: Quit with its exit code, Dispatched, or
// Empty when none is queued. An end signal counts as a posted end request.
IRenderLoopPort::Pump TakePostedRequest(int* exitCode);

// With the display open: the end signals taken, the render host and the
// GL window created, and the loop run over port; its exit code, 1 when no
// window came.
int RunGLWindowLoop(IRenderLoopPort& port);
// Whether a posted request or an end signal waits to be taken.
bool RequestPending();
// Becomes readable when an end signal came: a loop waiting in poll wakes.
int EndSignalFd();
