// The scene's surface and GL context on Wayland: EGL with desktop OpenGL
// over wayland-egl, so the scene's GL 1.x code draws as it does over GLX.
//
// The sequence is the X11 one; the differences:
// - a pixel format index is an EGLConfig's EGL_CONFIG_ID. The wl_surface
//   stays; a multisampled configuration gets a new EGL surface on it.
// - buffers are always 32 bits: there is no mode to switch.
// - the configurations have alpha (a compositor's screenshot of one
//   without comes out empty), kept opaque by WaylandPresenter.
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "hub/RenderHost.h"
#include "gl/ExtensionSearch.h"
#include "gl/FramePresenter.h"
#include "gl/GLPlatform.h"
#include "gl/GLWindowSequence.h"
#include "gl/MultisampleChoice.h"
#include "gl/wayland/WaylandPresenter.h"
#include "gl/wayland/WaylandSession.h"
#include "platform/GLHeaders.h"
#include "scene/Scene.h"

namespace eglwl {
bool EnableOpenGL(int format);
int InitMultisample(int sampleCount);
}  // namespace eglwl

namespace {

WaylandSession& g_session = TheWaylandSession();

bool InitEgl() {
  WaylandSession& s = g_session;
  if (s.egl != EGL_NO_DISPLAY) return true;
  s.egl = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, s.display, nullptr);
  EGLint major = 0, minor = 0;
  if (s.egl == EGL_NO_DISPLAY || !eglInitialize(s.egl, &major, &minor) || !eglBindAPI(EGL_OPENGL_API)) {
    std::fprintf(stderr, "lumisaver: no desktop OpenGL through EGL on this compositor (EGL error 0x%x)\n",
                 eglGetError());
    s.egl = EGL_NO_DISPLAY;
    return false;
  }
  return true;
}

EGLConfig ChooseConfig(EGLint samples) {
  const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT,
                               EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                               EGL_RED_SIZE, 8,
                               EGL_GREEN_SIZE, 8,
                               EGL_BLUE_SIZE, 8,
                               EGL_ALPHA_SIZE, 8,
                               EGL_DEPTH_SIZE, 16,
                               EGL_SAMPLE_BUFFERS, samples > 0 ? 1 : 0,
                               EGL_SAMPLES, samples > 0 ? samples : 0,
                               EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(g_session.egl, attributes, &config, 1, &count) || count < 1) return nullptr;
  return config;
}

EGLConfig ConfigFor(int format) {
  if (format == 0) return ChooseConfig(0);
  const EGLint attributes[] = {EGL_CONFIG_ID, format, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(g_session.egl, attributes, &config, 1, &count) || count < 1) return nullptr;
  return config;
}

// A surface bound anew gets the run's swap interval: it belongs to the
// surface, not the context.
bool MakeCurrent(WaylandSurface& surface) {
  WaylandSession& s = g_session;
  if (s.context == EGL_NO_CONTEXT || surface.eglSurface == EGL_NO_SURFACE) return false;
  if (eglGetCurrentContext() == s.context && eglGetCurrentSurface(EGL_DRAW) == surface.eglSurface) return true;
  if (!eglMakeCurrent(s.egl, surface.eglSurface, surface.eglSurface, s.context)) return false;
  if (s.swapInterval >= 0) eglSwapInterval(s.egl, s.swapInterval);
  return true;
}

void ReleaseContext() {
  WaylandSession& s = g_session;
  if (s.egl == EGL_NO_DISPLAY) return;
  eglMakeCurrent(s.egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (s.context != EGL_NO_CONTEXT) eglDestroyContext(s.egl, s.context);
  s.context = EGL_NO_CONTEXT;
  if (g_renderHost != nullptr) g_renderHost->glContext = 0;
}

bool RendersInSoftware() {
  // Test hook: LUMISAVER_TEST_GL_RENDERER stands in for the driver's name.
  const char* renderer = std::getenv("LUMISAVER_TEST_GL_RENDERER");
  if (renderer == nullptr) {
    const GLubyte* name = glGetString(GL_RENDERER);
    renderer = name != nullptr ? reinterpret_cast<const char*>(name) : "";
  }
  return IsSoftwareRendererName(renderer);
}

void FrameDone(void* data, wl_callback* callback, uint32_t) {
  wl_callback_destroy(callback);
  static_cast<WaylandSurface*>(data)->frame = nullptr;
}

const wl_callback_listener kFrameListener = {FrameDone};

}  // namespace

void SceneSurfaceConfigured(WaylandSurface& surface) {
  surface.target.Lay(surface.pixelWidth, surface.pixelHeight,
                     {PixelRect{0, 0, surface.pixelWidth, surface.pixelHeight}});
  CApplication* app = WindowApp();
  if (&surface != g_session.scene || app == nullptr) return;
  app->screenWidth = surface.pixelWidth;
  app->screenHeight = surface.pixelHeight;
  app->mainWindow = reinterpret_cast<NativeHandle>(surface.surface);
}

std::vector<WaylandSurface*> WaylandScenesDue() {
  std::vector<WaylandSurface*> due;
  const WaylandSession& s = g_session;
  if (s.context == EGL_NO_CONTEXT) return due;
  for (WaylandSurface* surface : WaylandSurfaces()) {
    if (surface->presenter != nullptr && surface->eglSurface != EGL_NO_SURFACE && surface->frame == nullptr) {
      due.push_back(surface);
    }
  }
  return due;
}

bool MakeSceneCurrent(WaylandSurface& surface) { return MakeCurrent(surface); }

namespace {

// A scene surface's side of its WaylandPresenter.
class EglSwapPort final : public IWaylandSwapPort {
 public:
  explicit EglSwapPort(WaylandSurface& surface) : surface_(surface) {}
  int BufferAge() override {
    Resolve();
    EGLint age = 0;
    if (!bufferAge_ || !eglQuerySurface(g_session.egl, Scene().eglSurface, EGL_BUFFER_AGE_EXT, &age)) return 0;
    return age;
  }
  bool SwapsWithDamage() override {
    Resolve();
    return swapWithDamage_ != nullptr;
  }
  void AskForFrame() override {
    WaylandSurface& scene = Scene();
    scene.frame = wl_surface_frame(scene.surface);
    wl_callback_add_listener(scene.frame, &kFrameListener, &scene);
  }
  void DropFrameRequest() override {
    WaylandSurface& scene = Scene();
    if (scene.frame != nullptr) wl_callback_destroy(scene.frame);
    scene.frame = nullptr;
  }
  void MakeAlphaOpaque() override {
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    KeepAlphaOnWrites();
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    if (scissor) glEnable(GL_SCISSOR_TEST);
  }
  bool Swap(const std::vector<int>& damage) override {
    const EGLSurface surface = Scene().eglSurface;
    if (damage.empty()) return eglSwapBuffers(g_session.egl, surface) == EGL_TRUE;
    return swapWithDamage_(g_session.egl, surface, damage.data(),
                           static_cast<EGLint>(damage.size() / 4)) == EGL_TRUE;
  }
  void LogSwapFailure() override {
    WindowLogA("eglSwapBuffers error 0x%x: the next frame is drawn whole", eglGetError());
  }

 private:
  WaylandSurface& Scene() { return surface_; }
  WaylandSurface& surface_;
  // The extensions belong to the EGL display, which a new session replaces.
  void Resolve() {
    if (display_ == g_session.egl) return;
    display_ = g_session.egl;
    const char* extensions = eglQueryString(display_, EGL_EXTENSIONS);
    bufferAge_ = HasWholeWord(extensions, "EGL_EXT_buffer_age");
    swapWithDamage_ = nullptr;
    if (HasWholeWord(extensions, "EGL_KHR_swap_buffers_with_damage")) {
      swapWithDamage_ = reinterpret_cast<PFNEGLSWAPBUFFERSWITHDAMAGEKHRPROC>(
          eglGetProcAddress("eglSwapBuffersWithDamageKHR"));
    } else if (HasWholeWord(extensions, "EGL_EXT_swap_buffers_with_damage")) {
      swapWithDamage_ = reinterpret_cast<PFNEGLSWAPBUFFERSWITHDAMAGEEXTPROC>(
          eglGetProcAddress("eglSwapBuffersWithDamageEXT"));
    }
  }
  EGLDisplay display_ = EGL_NO_DISPLAY;
  bool bufferAge_ = false;
  PFNEGLSWAPBUFFERSWITHDAMAGEKHRPROC swapWithDamage_ = nullptr;
};

}  // namespace

std::unique_ptr<IFramePresenter> CreateScenePresenter(WaylandSurface& surface) {
  return std::make_unique<WaylandPresenter>(std::make_unique<EglSwapPort>(surface));
}

// The calls of gl/GLWindow.h, reached through EglWaylandCalls().
namespace eglwl {

bool SetFullScreenMode(int, int) { return true; }

bool CreateGLWindow() {
  WaylandSession& s = g_session;
  CRenderHost* host = g_renderHost;
  CApplication* app = host->application;
  app->screenBits = 32;
  app->mainWindow = 0;
  if (!InitEgl()) return false;
  s.config = ChooseConfig(0);
  if (s.config == nullptr) {
    std::fprintf(stderr, "lumisaver: no EGL configuration for desktop OpenGL (EGL error 0x%x)\n", eglGetError());
    return false;
  }
  if (!StartWaylandSurfaces()) {
    std::fprintf(stderr, "lumisaver: the Wayland compositor gave no surface to draw on\n");
    return false;
  }
  SwitchToThirtyTwoBits(host);  // logs the size; there is nothing to switch
  EnableOpenGL(0);
  struct Port final : IGLWindowPort {
    bool RecreateWithFormat(int format) override {
      ReleaseContext();
      EnableOpenGL(format);  // logs a failure; CompleteGLWindow checks the context
      return g_session.scene != nullptr;
    }
    void LogRenderingKind() override { WindowLogA(::RendersInSoftware() ? "Software rendering" : "Hardware rendering"); }
    bool RendersInSoftware() override { return ::RendersInSoftware(); }
    bool HasCurrentContext() override { return eglGetCurrentContext() != EGL_NO_CONTEXT; }
    int MultisampleFormat(int sampleCount) override { return InitMultisample(sampleCount); }
  } port;
  return CompleteGLWindow(port);
}

bool EnableOpenGL(int format) {
  WaylandSession& s = g_session;
  CRenderHost* host = g_renderHost;
  const EGLConfig config = ConfigFor(format);
  if (config == nullptr || s.scene == nullptr) {
    WindowLogA("EnableOpenGL %d: eglChooseConfig error 0x%x", format, eglGetError());
    return false;
  }
  if (config != s.config) {
    s.config = config;
    RemakeSceneEglSurface();
  }
  s.context = eglCreateContext(s.egl, config, EGL_NO_CONTEXT, nullptr);
  if (s.context == EGL_NO_CONTEXT) {
    WindowLogA("EnableOpenGL %d: eglCreateContext error 0x%x", format, eglGetError());
    return false;
  }
  host->glContext = reinterpret_cast<NativeHandle>(s.context);
  if (s.scene->eglSurface == EGL_NO_SURFACE ||
      !eglMakeCurrent(s.egl, s.scene->eglSurface, s.scene->eglSurface, s.context)) {
    WindowLogA("EnableOpenGL %d: eglMakeCurrent error 0x%x", format, eglGetError());
    return false;
  }
  KeepAlphaOnWrites();
  return true;
}

bool DisableOpenGL() {
  if (g_renderHost == nullptr) return true;
  ReleaseContext();
  return true;
}

// Multisampling is core EGL: every configuration says its samples.
bool HasMultisampleExtension() { return true; }

int InitMultisample(int sampleCount) {
  if (!MultisampleExtensionOrOff(sampleCount) || sampleCount < 0) return -1;
  const EGLConfig config = ChooseConfig(sampleCount);
  EGLint id = -1;
  if (config == nullptr || !eglGetConfigAttrib(g_session.egl, config, EGL_CONFIG_ID, &id)) return -1;
  return id;
}

// Frames are paced by the render loop and the frame callbacks; a swap
// never waits.
void SetSwapIntervalZero() {
  g_session.swapInterval = 0;
  eglSwapInterval(g_session.egl, 0);
}

}  // namespace eglwl

const GLPlatformCalls& EglWaylandCalls() {
  static const GLPlatformCalls calls = {eglwl::CreateGLWindow,          eglwl::EnableOpenGL,
                                        eglwl::DisableOpenGL,           eglwl::SetFullScreenMode,
                                        eglwl::HasMultisampleExtension, eglwl::InitMultisample,
                                        eglwl::SetSwapIntervalZero};
  return calls;
}

void CloseWaylandGL() {
  WaylandSession& s = g_session;
  if (s.egl == EGL_NO_DISPLAY) return;
  ReleaseContext();
  DropEglSurfaces();
  eglTerminate(s.egl);
  s.egl = EGL_NO_DISPLAY;
}
