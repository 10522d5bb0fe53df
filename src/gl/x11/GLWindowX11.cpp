// Display, window and GL context with Xlib and GLX.
//
// The sequence is the Win32 one; the X equivalents:
// - bits per pixel are those of the default visual's pixmap format (32 for
//   the usual depth 24). A running X server cannot change them, so a
//   32-bit request at another depth fails, and multisampling is off then.
// - a pixel format index is a GLXFBConfig's GLX_FBCONFIG_ID. The visual of
//   an X window is fixed at creation, so a window is created for the
//   configuration it will use, and the multisampled one replaces it.
// - the "device context" is the Display connection; the error codes logged
//   are those of the last X protocol error (0 when there was none).
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "hub/RenderHost.h"
#include "gl/ExtensionSearch.h"
#include "gl/GLPlatform.h"
#include "gl/GLWindowSequence.h"
#include "gl/MultisampleChoice.h"
#include "gl/x11/GLXConfigs.h"
#include "gl/x11/X11Monitors.h"
#include "gl/x11/X11Session.h"
#include "log/Log.h"
#include "platform/Text.h"
#include "scene/Scene.h"
#include "settings/Settings.h"

// The calls of gl/GLWindow.h, reached through GlxCalls().
namespace glx {
bool EnableOpenGL(int format);
int InitMultisample(int sampleCount);
}  // namespace glx

namespace {

constexpr int kWindowedWidth = 1280;
constexpr int kWindowedHeight = 720;

X11Session& g_session = TheX11Session();

CApplication* App() { return WindowApp(); }

void SetTitle(Window window) {
  X11Session& s = g_session;
  CApplication* app = App();
  const std::string title = app != nullptr && app->title != nullptr ? text::ToUtf8(app->title) : "lumisaver";
  const Atom utf8 = XInternAtom(s.display, "UTF8_STRING", False);
  XChangeProperty(s.display, window, XInternAtom(s.display, "_NET_WM_NAME", False), utf8, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                  static_cast<int>(title.size()));
  XStoreName(s.display, window, title.c_str());
  XClassHint hint;
  hint.res_name = const_cast<char*>("lumisaver");
  hint.res_class = const_cast<char*>("Lumisaver");
  XSetClassHint(s.display, window, &hint);
}

void TakeKeyboardAndPointer(Window window) {
  X11Session& s = g_session;
  const unsigned pointerEvents = ButtonPressMask | PointerMotionMask;
  // An override-redirect window is viewable once mapped, but a busy server
  // may take a moment; the grabs are what keeps input with a window manager.
  for (int attempt = 0; attempt < 20; ++attempt) {
    const int keyboard = XGrabKeyboard(s.display, window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    const int pointer = XGrabPointer(s.display, window, True, pointerEvents, GrabModeAsync, GrabModeAsync,
                                     None, s.blankCursor, CurrentTime);
    if (keyboard == GrabSuccess && pointer == GrabSuccess) break;
    if (keyboard == GrabSuccess) XUngrabKeyboard(s.display, CurrentTime);
    if (pointer == GrabSuccess) XUngrabPointer(s.display, CurrentTime);
    struct timespec pause = {0, 10 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  XSetInputFocus(s.display, window, RevertToParent, CurrentTime);
}

// Full screen: a black override-redirect window over the whole screen takes
// the input; the drawing window, a child of it as large, holds a view per
// monitor, so no picture is ever split across a seam.
bool CreateCoverWindow() {
  X11Session& s = g_session;
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(s.display, s.screen);
  attributes.override_redirect = True;
  attributes.cursor = s.blankCursor;
  attributes.event_mask = KeyPressMask | ButtonPressMask | PointerMotionMask;
  s.lastXError = 0;
  s.cover = XCreateWindow(s.display, s.root, 0, 0, static_cast<unsigned>(DisplayWidth(s.display, s.screen)),
                          static_cast<unsigned>(DisplayHeight(s.display, s.screen)), 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect | CWCursor | CWEventMask,
                          &attributes);
  if (s.cover == 0 || SyncXError() != 0) {
    std::fprintf(stderr, "lumisaver: cannot create a window (X error %d)\n", s.lastXError);
    return false;
  }
  XMapRaised(s.display, s.cover);
  XSync(s.display, False);
  TakeKeyboardAndPointer(s.cover);
  return true;
}

// Creates and maps the window GL draws into, with the configuration's
// visual; on the root there is nothing to create. Sets mainWindow.
bool CreateDrawingWindow(GLXFBConfig config, bool bringToFront) {
  X11Session& s = g_session;
  CApplication* app = App();
  if (s.target == X11Session::Target::Root) {
    s.window = s.root;
    s.config = config;
    app->mainWindow = s.root;
    return true;
  }
  Visual* visual = DefaultVisual(s.display, s.screen);
  int depth = DefaultDepth(s.display, s.screen);
  if (config != nullptr) {
    if (XVisualInfo* info = glXGetVisualFromFBConfig(s.display, config)) {
      visual = info->visual;
      depth = info->depth;
      XFree(info);
    }
  }
  const Window parent = s.target == X11Session::Target::ForeignWindow ? s.foreign
                        : s.target == X11Session::Target::FullScreen  ? s.cover
                                                                       : s.root;
  XSetWindowAttributes attributes{};
  unsigned long mask = CWBackPixel | CWBorderPixel | CWColormap | CWEventMask;
  attributes.colormap = XCreateColormap(s.display, s.root, visual, AllocNone);
  attributes.background_pixel = 0;
  attributes.border_pixel = 0;
  // No input here: full screen, the cover window above takes it.
  attributes.event_mask = StructureNotifyMask | ExposureMask;
  s.lastXError = 0;
  const Window window = XCreateWindow(s.display, parent, s.drawX, s.drawY, static_cast<unsigned>(app->screenWidth),
                                      static_cast<unsigned>(app->screenHeight), 0, depth, InputOutput,
                                      visual, mask, &attributes);
  if (window == 0 || SyncXError() != 0) {
    std::fprintf(stderr, "lumisaver: cannot create a window (X error %d)\n", s.lastXError);
    if (window != 0) XDestroyWindow(s.display, window);
    XFreeColormap(s.display, attributes.colormap);
    app->mainWindow = 0;
    return false;
  }
  s.colormap = attributes.colormap;
  if (s.target == X11Session::Target::Window) {
    SetTitle(window);
    XSetWMProtocols(s.display, window, &s.wmDeleteWindow, 1);
  }
  XMapRaised(s.display, window);
  XSync(s.display, False);
  if (bringToFront) {
    XRaiseWindow(s.display, window);
  }
  s.window = window;
  s.config = config;
  app->mainWindow = window;
  return true;
}

void DestroyDrawingWindow() {
  X11Session& s = g_session;
  if (s.window == 0 || s.window == s.root) return;
  XDestroyWindow(s.display, s.window);
  XFreeColormap(s.display, s.colormap);
  s.window = 0;
  s.colormap = 0;
}

// Releases the first context before its window goes; the multisampled pair
// replaces both.
void ReleaseContext() {
  X11Session& s = g_session;
  glXMakeCurrent(s.display, None, nullptr);
  if (g_renderHost->glContext != 0) {
    glXDestroyContext(s.display, reinterpret_cast<GLXContext>(g_renderHost->glContext));
    g_renderHost->glContext = 0;
  }
}

// There is no "generic" pixel format on X. Software rendering is what the
// Win32 generic formats stand for, so it is named here when Mesa's software
// rasterisers draw or when the context is indirect (drawn by the X server,
// in software on every server in use); anything else is a driver's
// hardware. Nothing corresponds to the mixed (generic accelerated) kind.
// The first context answers before any multisampled visual is chosen: it is
// made on the same screen, so the same driver draws the window that may
// replace it.
bool RendersInSoftware() {
  X11Session& s = g_session;
  // Test hook: LUMISAVER_TEST_GL_RENDERER stands in for the driver's name.
  const char* renderer = std::getenv("LUMISAVER_TEST_GL_RENDERER");
  if (renderer == nullptr) {
    const GLubyte* name = glGetString(GL_RENDERER);
    renderer = name != nullptr ? reinterpret_cast<const char*>(name) : "";
  }
  if (IsSoftwareRendererName(renderer)) return true;
  return g_renderHost->glContext != 0 &&
         !glXIsDirect(s.display, reinterpret_cast<GLXContext>(g_renderHost->glContext));
}

void LogRenderingKind() { WindowLogA(RendersInSoftware() ? "Software rendering" : "Hardware rendering"); }

// A window's visual is fixed at creation, so the multisampled configuration
// needs a window of its own (and the single-sample one, to fall back on).
bool RecreateWithFormat(int format) {
  ReleaseContext();
  DestroyDrawingWindow();
  if (!CreateDrawingWindow(format == 0 ? ChooseDefaultConfig() : ConfigById(format), true)) return false;
  glx::EnableOpenGL(format);  // logs a failure; CompleteGLWindow checks the context
  return true;
}

bool HasCurrentContext() { return glXGetCurrentContext() != nullptr; }

}  // namespace

void ResizeDrawingArea(int width, int height) {
  X11Session& s = g_session;
  CApplication* app = App();
  if (width <= 0 || height <= 0 || app == nullptr) return;
  if (width == app->screenWidth && height == app->screenHeight) return;
  app->screenWidth = width;
  app->screenHeight = height;
  if (s.target == X11Session::Target::ForeignWindow && s.window != 0) {
    XResizeWindow(s.display, s.window, static_cast<unsigned>(width), static_cast<unsigned>(height));
  }
  if (g_renderHost != nullptr && g_renderHost->glContext != 0 && g_renderHost->scene != nullptr) {
    g_renderHost->scene->SetProjection(width, height);
  }
}

namespace {

// The cover and the drawing window over the screen, a view on each monitor.
// At set-up the drawing window does not exist yet; CreateDrawingWindow
// places it, and CreateGLWindow lays the views once the scene is made.
void LayOutFullScreen() {
  X11Session& s = g_session;
  CApplication* app = App();
  if (app == nullptr) return;
  Window root = 0;
  int x = 0, y = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  if (!XGetGeometry(s.display, s.root, &root, &x, &y, &width, &height, &border, &depth)) return;
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  const std::vector<MonitorRect> monitors = SceneMonitors(QueryMonitors(s.display, s.root), w, h, s.sceneMonitor);
  if (s.cover != 0) {
    XMoveResizeWindow(s.display, s.cover, 0, 0, width, height);
    XRaiseWindow(s.display, s.cover);
  }
  s.drawX = 0;
  s.drawY = 0;
  app->screenWidth = w;
  app->screenHeight = h;
  if (s.window == 0) return;
  XMoveResizeWindow(s.display, s.window, 0, 0, width, height);
  if (g_renderHost == nullptr || g_renderHost->glContext == 0 || g_renderHost->scene == nullptr) return;
  // Mesa's software rasteriser reads the window's size again only at a
  // swap, and copy_sub_buffer presents never swap: one swap of the picture
  // shown anyway, and the next frame, drawn whole, has the new size.
  XSync(s.display, False);
  glXSwapBuffers(s.display, s.window);
  g_renderHost->scene->MainTarget().Lay(w, h, ScreenViews(monitors, h));
  for (const MonitorRect& m : monitors)
    WindowLogA("Scene on monitor %s at %d,%d, %dx%d", m.name.c_str(), m.x, m.y, m.width, m.height);
}

}  // namespace

void FollowMonitorChange(XEvent* event) {
  if (IsMonitorChange(event) && g_session.target == X11Session::Target::FullScreen) LayOutFullScreen();
}

namespace glx {

bool SetFullScreenMode(int width, int height) {
  X11Session& s = g_session;
  return PixmapBitsPerPixel(s.display, DefaultDepth(s.display, s.screen)) == 32 &&
         width == DisplayWidth(s.display, s.screen) && height == DisplayHeight(s.display, s.screen);
}

bool CreateGLWindow() {
  X11Session& s = g_session;
  CRenderHost* host = g_renderHost;
  CApplication* app = host->application;
  app->screenWidth = DisplayWidth(s.display, s.screen);
  app->screenHeight = DisplayHeight(s.display, s.screen);
  app->screenBits = PixmapBitsPerPixel(s.display, DefaultDepth(s.display, s.screen));
  SwitchToThirtyTwoBits(host);

  // The drawing area: the screen, or the window we were given or open.
  switch (s.target) {
    case X11Session::Target::Window:
      app->screenWidth = kWindowedWidth;
      app->screenHeight = kWindowedHeight;
      break;
    case X11Session::Target::ForeignWindow: {
      XWindowAttributes attributes;
      s.lastXError = 0;
      if (XGetWindowAttributes(s.display, s.foreign, &attributes) == 0 || SyncXError() != 0) {
        std::fprintf(stderr, "lumisaver: no window 0x%lx on this display\n", s.foreign);
        app->mainWindow = 0;
        return false;
      }
      app->screenWidth = attributes.width;
      app->screenHeight = attributes.height;
      // Its destruction ends the run; its size changes are followed.
      XSelectInput(s.display, s.foreign, StructureNotifyMask);
      break;
    }
    case X11Session::Target::Root:
      // The root's visual cannot be chosen, so a multisampled one is not
      // to be had.
      host->sampleCount = 0;
      break;
    case X11Session::Target::FullScreen:
      if (!CreateCoverWindow()) {
        app->mainWindow = 0;
        return false;
      }
      // Selected before the layout is read, so no change falls between.
      SelectMonitorChanges(s.display, s.root);
      LayOutFullScreen();
      break;
  }

  if (!CreateDrawingWindow(ChooseDefaultConfig(), false)) return false;
  EnableOpenGL(0);
  struct Port final : IGLWindowPort {
    bool RecreateWithFormat(int format) override { return ::RecreateWithFormat(format); }
    void LogRenderingKind() override { ::LogRenderingKind(); }
    bool RendersInSoftware() override { return ::RendersInSoftware(); }
    bool HasCurrentContext() override { return ::HasCurrentContext(); }
    int MultisampleFormat(int sampleCount) override { return InitMultisample(sampleCount); }
  } port;
  if (!CompleteGLWindow(port)) return false;
  if (s.target == X11Session::Target::FullScreen) LayOutFullScreen();
  return true;
}

bool EnableOpenGL(int format) {
  X11Session& s = g_session;
  CRenderHost* host = g_renderHost;
  CApplication* app = host->application;
  app->deviceContext = reinterpret_cast<NativeHandle>(s.display);
  s.lastXError = 0;
  GLXFBConfig config = nullptr;
  if (format == 0) {
    config = ChooseDefaultConfig();
    if (config == nullptr) {
      WindowLogA("EnableOpenGL %d: ChoosePixelFormat error %d", format, SyncXError());
      return false;
    }
    if (!VisualMatches(config, s.window)) {
      WindowLogA("EnableOpenGL %d: SetPixelFormat error %d", 0, BadMatch);
      return false;
    }
  } else {
    // A configuration that is gone shows up as the context error below.
    config = ConfigById(format);
  }
  GLXContext context = nullptr;
  if (config != nullptr) context = glXCreateNewContext(s.display, config, GLX_RGBA_TYPE, nullptr, True);
  const int createError = SyncXError();
  if (context == nullptr) {
    WindowLogA("EnableOpenGL %d: wglCreateContext error %d", format, createError);
    return false;
  }
  host->glContext = reinterpret_cast<NativeHandle>(context);
  if (!glXMakeCurrent(s.display, s.window, context)) {
    WindowLogA("EnableOpenGL %d: wglMakeCurrent error %d", format, SyncXError());
    return false;
  }
  return true;
}

bool DisableOpenGL() {
  X11Session& s = g_session;
  if (s.display == nullptr || g_renderHost == nullptr) return true;
  ReleaseContext();
  XSync(s.display, False);
  return true;
}

bool HasMultisampleExtension() {
  X11Session& s = g_session;
  // Test hook: LUMISAVER_TEST_GL_EXTENSIONS stands in for the driver's list.
  const char* list = std::getenv("LUMISAVER_TEST_GL_EXTENSIONS");
  if (list == nullptr) list = glXQueryExtensionsString(s.display, s.screen);
  return HasWholeWord(list, "GLX_ARB_multisample");
}

int InitMultisample(int sampleCount) {
  X11Session& s = g_session;
  CApplication* app = App();
  if (!MultisampleExtensionOrOff(sampleCount)) return -1;
  if (sampleCount < 0) return -1;
  app->deviceContext = reinterpret_cast<NativeHandle>(s.display);
  // GLX_CONFIG_CAVEAT none excludes the configurations GLX marks slow,
  // which is as close as GLX comes to asking for full acceleration.
  const int attributes[] = {GLX_X_RENDERABLE, True,
                            GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                            GLX_RENDER_TYPE, GLX_RGBA_BIT,
                            GLX_CONFIG_CAVEAT, GLX_NONE,
                            GLX_RED_SIZE, 8,
                            GLX_GREEN_SIZE, 8,
                            GLX_BLUE_SIZE, 8,
                            GLX_ALPHA_SIZE, 8,
                            GLX_DEPTH_SIZE, 16,
                            GLX_STENCIL_SIZE, 0,
                            GLX_DOUBLEBUFFER, True,
                            GLX_SAMPLE_BUFFERS, 1,
                            GLX_SAMPLES, sampleCount,
                            None};
  GLXFBConfig config = PickConfig(attributes, false, 0);
  return config != nullptr ? ConfigAttrib(config, GLX_FBCONFIG_ID) : -1;
}

void SetSwapIntervalZero() {
  X11Session& s = g_session;
  const char* extensions = glXQueryExtensionsString(s.display, s.screen);
  using SwapIntervalExt = void (*)(Display*, GLXDrawable, int);
  using SwapIntervalInt = int (*)(int);
  auto lookUp = [](const char* name) { return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)); };
  if (HasWholeWord(extensions, "GLX_EXT_swap_control")) {
    if (auto fn = reinterpret_cast<SwapIntervalExt>(lookUp("glXSwapIntervalEXT"))) fn(s.display, s.window, 0);
  } else if (HasWholeWord(extensions, "GLX_MESA_swap_control")) {
    if (auto fn = reinterpret_cast<SwapIntervalInt>(lookUp("glXSwapIntervalMESA"))) fn(0);
  } else if (HasWholeWord(extensions, "GLX_SGI_swap_control")) {
    if (auto fn = reinterpret_cast<SwapIntervalInt>(lookUp("glXSwapIntervalSGI"))) fn(0);
  }
}

}  // namespace glx

const GLPlatformCalls& GlxCalls() {
  static const GLPlatformCalls calls = {glx::CreateGLWindow,          glx::EnableOpenGL,
                                        glx::DisableOpenGL,           glx::SetFullScreenMode,
                                        glx::HasMultisampleExtension, glx::InitMultisample,
                                        glx::SetSwapIntervalZero};
  return calls;
}
