#pragma once
// Where one program carries more than one display system (the Linux one:
// X11 and Wayland), the calls of gl/GLWindow.h go to the one chosen at start.
struct GLPlatformCalls {
  bool (*createGLWindow)();
  bool (*enableOpenGL)(int format);
  bool (*disableOpenGL)();
  bool (*setFullScreenMode)(int width, int height);
  bool (*hasMultisampleExtension)();
  int (*initMultisample)(int sampleCount);
  void (*setSwapIntervalZero)();
};

// Before the first call of gl/GLWindow.h.
void UseGLPlatform(const GLPlatformCalls& calls);

// The ones there are (gl/x11, gl/wayland).
const GLPlatformCalls& GlxCalls();
const GLPlatformCalls& EglWaylandCalls();
