#pragma once
// The part of CreateGLWindow that is the same on every platform, run once the
// first window has a current context: what the driver reports, the
// multisample decision, the swap interval, the scene and the rendering kind.
class CApplication;

struct GLWindowBackend {
  // Replaces window and context by a pair with this multisample format while
  // windowReady is 0; false when the new window could not be created.
  bool (*recreateWithFormat)(int format);
  // "Mixed-mode", "Software" or "Hardware rendering", as the platform tells.
  void (*logRenderingKind)();
  // Whether the current context renders in software, where multisampling
  // is left off unless asked for this run; null where the platform's own
  // formats already decide (Windows' generic formats offer none).
  bool (*rendersInSoftware)();
  // Whether the thread has a current GL context: false when the driver is
  // missing or refused every step of EnableOpenGL.
  bool (*hasCurrentContext)();
};

bool CompleteGLWindow(const GLWindowBackend& backend);

// The application the window layer works for, and its narrow log entry.
CApplication* WindowApp();
void WindowLogA(const char* format, ...);
