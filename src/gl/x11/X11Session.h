#pragma once
// The X connection shared by the GLX backend (windows, contexts) and the
// X11 window layer (events, signals). One per process, main thread only.
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <string>

struct X11Session {
  enum class Target { FullScreen, Window, Root, ForeignWindow };

  Display* display = nullptr;
  int screen = 0;
  Window root = 0;
  Target target = Target::FullScreen;
  Window foreign = 0;         // ForeignWindow: the window we draw into (through a child)
  Window window = 0;          // where GL draws: our window, or the root
  Window cover = 0;           // FullScreen: the black window over the whole screen
  std::string sceneMonitor;   // FullScreen: the RandR monitor alone showing the scene; empty: all
  int drawX = 0;              // where our window sits in its parent
  int drawY = 0;
  Colormap colormap = 0;      // of our window, freed with it
  Cursor blankCursor = 0;
  Atom wmProtocols = 0;
  Atom wmDeleteWindow = 0;
  GLXFBConfig config = nullptr;  // the configuration the window was created for
  int lastXError = 0;            // error code of the last X protocol error

  bool TakesInput() const { return target == Target::FullScreen; }
};

X11Session& TheX11Session();

// Makes earlier requests' errors visible and returns the last one.
int SyncXError();

// Opens the display named by DISPLAY. On failure writes one line to
// standard error and returns false.
bool OpenX11Session(X11Session::Target target, unsigned long foreignWindow);
void CloseX11Session();

// The drawing area changed size (a resized -window, a resized foreign
// window): follow it with our child window, the stored size and the viewport.
void ResizeDrawingArea(int width, int height);

// Full screen: RandR's news of changed monitors (IsMonitorChange) lays the
// cover and the drawing window over the whole screen again and the scene's
// views on the monitors there now. Any other event is left alone.
void FollowMonitorChange(XEvent* event);
