// lumisaver --snapshot OUT.png [--entry N] [--at SECONDS] [--size WxH]
//                             [--language L] [--font F] [--fsaa N]
//
// Renders without a window the frame a run starting at entry N shows SECONDS
// after its first frame. The scene is the running program's; only time is
// stepped: every clock reads a counter advanced in 50 ms frames from 0, so
// entry switches, reveals and fades happen on the frames of a real run.
// The GL context comes from EGL on Mesa's surfaceless platform (no display
// needed) and renders into a framebuffer object, multisampled like the
// screen when FSAAmode asks for it. Nothing is written but the picture.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/Application.h"
#include "app/Snapshot.h"
#include "app/egl/SnapshotSetup.h"
#include "gl/GLHeaders.h"
#include "model/Timer.h"
#include "scene/Scene.h"
#include "settings/Overrides.h"

namespace {

constexpr int64_t kTicksPerSecond = 1000000;  // microseconds
constexpr int64_t kFrameTicks = 50000;        // the render loop's 50 ms pacing
constexpr int kMaxSide = 8192;

int64_t g_snapshotNow = 0;
int64_t SnapshotCounter() { return g_snapshotNow; }
int64_t SnapshotFrequency() { return kTicksPerSecond; }
const ClockSource kSnapshotClock{SnapshotCounter, SnapshotFrequency};

void Usage() {
  std::fputs("usage: lumisaver --snapshot OUT.png [--entry N] [--at SECONDS] [--size WxH]\n"
             "                          [--language english|russian] [--font FACE] [--fsaa SAMPLES]\n",
             stderr);
}

bool ParseInt(const char* text, long low, long high, int* out) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

bool ParseSize(const char* text, int* width, int* height) {
  const char* x = std::strpbrk(text, "xX");
  if (x == nullptr) return false;
  char widthText[16] = {};
  const size_t n = static_cast<size_t>(x - text);
  if (n == 0 || n >= sizeof widthText) return false;
  std::memcpy(widthText, text, n);
  return ParseInt(widthText, 1, kMaxSide, width) && ParseInt(x + 1, 1, kMaxSide, height);
}

// ---- GL entry points beyond 1.1 --------------------------------------------

struct FramebufferCalls {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC renderbufferStorageMultisample = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
  PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;

  template <typename F>
  static bool Load(F* slot, const char* name) {
    *slot = reinterpret_cast<F>(eglGetProcAddress(name));
    return *slot != nullptr;
  }
  bool LoadAll() {
    return Load(&genFramebuffers, "glGenFramebuffers") && Load(&deleteFramebuffers, "glDeleteFramebuffers") &&
           Load(&bindFramebuffer, "glBindFramebuffer") && Load(&genRenderbuffers, "glGenRenderbuffers") &&
           Load(&deleteRenderbuffers, "glDeleteRenderbuffers") && Load(&bindRenderbuffer, "glBindRenderbuffer") &&
           Load(&renderbufferStorageMultisample, "glRenderbufferStorageMultisample") &&
           Load(&framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           Load(&checkFramebufferStatus, "glCheckFramebufferStatus") && Load(&blitFramebuffer, "glBlitFramebuffer");
  }
};

// An EGL context without any surface, on Mesa's surfaceless platform.
class HeadlessContext {
 public:
  HeadlessContext() = default;
  HeadlessContext(const HeadlessContext&) = delete;
  HeadlessContext& operator=(const HeadlessContext&) = delete;
  ~HeadlessContext() {
    if (display_ == EGL_NO_DISPLAY) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
    eglTerminate(display_);
  }

  bool Create() {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay != nullptr) {
      display_ = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    }
    // Drivers without Mesa's surfaceless platform may still offer a
    // surfaceless context on their default display.
    if (display_ == EGL_NO_DISPLAY) display_ = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display_ == EGL_NO_DISPLAY) return Fail("no EGL display");
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display_, &major, &minor)) {
      display_ = EGL_NO_DISPLAY;
      return Fail("eglInitialize failed");
    }
    if (!eglBindAPI(EGL_OPENGL_API)) return Fail("desktop OpenGL is not offered through EGL");
    const EGLint configAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                    EGL_NONE};
    EGLConfig config = nullptr;
    EGLint found = 0;
    if (!eglChooseConfig(display_, configAttribs, &config, 1, &found) || found < 1) config = nullptr;
    // The fixed-function pipeline and display lists need a compatibility context.
    const EGLint contextAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                     EGL_NONE};
    context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, contextAttribs);
    if (context_ == EGL_NO_CONTEXT) context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr);
    if (context_ == EGL_NO_CONTEXT) return Fail("eglCreateContext failed");
    if (!eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_)) return Fail("eglMakeCurrent failed");
    return true;
  }

 private:
  static bool Fail(const char* what) {
    std::fprintf(stderr, "lumisaver: snapshot: %s\n", what);
    return false;
  }
  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLContext context_ = EGL_NO_CONTEXT;
};

// The render target: a multisampled framebuffer resolved into a plain one
// when samples are asked for, otherwise the plain one alone.
class OffscreenTarget {
 public:
  explicit OffscreenTarget(const FramebufferCalls& gl) : gl_(gl) {}
  OffscreenTarget(const OffscreenTarget&) = delete;
  OffscreenTarget& operator=(const OffscreenTarget&) = delete;
  ~OffscreenTarget() {
    gl_.bindFramebuffer(GL_FRAMEBUFFER, 0);
    if (resolveFbo_ != 0) gl_.deleteFramebuffers(1, &resolveFbo_);
    if (drawFbo_ != 0) gl_.deleteFramebuffers(1, &drawFbo_);
    for (GLuint rb : renderbuffers_) gl_.deleteRenderbuffers(1, &rb);
  }

  bool Create(int width, int height, int samples) {
    width_ = width;
    height_ = height;
    if (!Build(&resolveFbo_, 0)) return false;
    if (samples > 0) {
      GLint maxSamples = 0;
      glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
      if (maxSamples > 0 && samples > maxSamples) samples = maxSamples;
      if (maxSamples <= 0 || !Build(&drawFbo_, samples)) {
        std::fprintf(stderr, "lumisaver: snapshot: %d samples not available, rendering without\n", samples);
        drawFbo_ = 0;
      }
    }
    gl_.bindFramebuffer(GL_FRAMEBUFFER, drawFbo_ != 0 ? drawFbo_ : resolveFbo_);
    return true;
  }

  // Rows bottom-up, RGB.
  void Read(std::vector<uint8_t>* rgb) {
    if (drawFbo_ != 0) {
      gl_.bindFramebuffer(GL_READ_FRAMEBUFFER, drawFbo_);
      gl_.bindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFbo_);
      gl_.blitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    gl_.bindFramebuffer(GL_FRAMEBUFFER, resolveFbo_);
    rgb->assign(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, rgb->data());
  }

 private:
  bool Build(GLuint* fbo, int samples) {
    GLuint colour = 0, depth = 0;
    gl_.genFramebuffers(1, fbo);
    gl_.bindFramebuffer(GL_FRAMEBUFFER, *fbo);
    gl_.genRenderbuffers(1, &colour);
    gl_.bindRenderbuffer(GL_RENDERBUFFER, colour);
    gl_.renderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width_, height_);
    gl_.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    gl_.genRenderbuffers(1, &depth);
    gl_.bindRenderbuffer(GL_RENDERBUFFER, depth);
    // 16 depth bits, as the window's pixel format asks for.
    gl_.renderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT16, width_, height_);
    gl_.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    renderbuffers_.push_back(colour);
    renderbuffers_.push_back(depth);
    if (gl_.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      gl_.bindFramebuffer(GL_FRAMEBUFFER, 0);
      gl_.deleteFramebuffers(1, fbo);
      *fbo = 0;
      return false;
    }
    return true;
  }

  const FramebufferCalls& gl_;
  int width_ = 0;
  int height_ = 0;
  GLuint drawFbo_ = 0;
  GLuint resolveFbo_ = 0;
  std::vector<GLuint> renderbuffers_;
};

// Kept apart so that nothing it changes lives across libpng's longjmp.
bool EncodePng(png_structp png, png_infop info, FILE* file, int width, int height, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

bool WritePng(const char* path, int width, int height, std::vector<uint8_t>& bottomUpRgb) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "lumisaver: snapshot: cannot write %s: %s\n", path, std::strerror(errno));
    return false;
  }
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  const size_t stride = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    rows[static_cast<size_t>(y)] = bottomUpRgb.data() + static_cast<size_t>(height - 1 - y) * stride;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool ok = info != nullptr && EncodePng(png, info, file, width, height, rows.data());
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "lumisaver: snapshot: writing %s failed\n", path);
  return ok;
}

struct SnapshotRequest {
  const char* output = nullptr;
  int entry = -1;  // -1: where the settings' LastNum starts a run
  int64_t atTicks = 0;
  int width = 1280;
  int height = 720;
};

bool ParseRequest(int argc, char** argv, SnapshotRequest* request) {
  if (argc < 3 || argv[2][0] == '\0' || argv[2][0] == '-') return false;
  request->output = argv[2];
  for (int i = 3; i < argc; i += 2) {
    if (i + 1 >= argc) return false;
    const char* option = argv[i];
    const char* value = argv[i + 1];
    if (std::strcmp(option, "--entry") == 0) {
      if (!ParseInt(value, 0, 1 << 20, &request->entry)) return false;
    } else if (std::strcmp(option, "--at") == 0) {
      char* end = nullptr;
      const double seconds = std::strtod(value, &end);
      // At most a day of stepped frames.
      if (end == value || *end != '\0' || !(seconds >= 0.0) || seconds > 86400.0) return false;
      request->atTicks = std::llround(seconds * static_cast<double>(kTicksPerSecond));
    } else if (std::strcmp(option, "--size") == 0) {
      if (!ParseSize(value, &request->width, &request->height)) return false;
    } else if (TakeSettingOption(DashedOptionName(option), value, &RunOverrides(), nullptr) !=
               SettingOption::Taken) {
      return false;
    }
  }
  return true;
}

}  // namespace

int RunSnapshot(int argc, char** argv) {
  SnapshotRequest request;
  if (!ParseRequest(argc, argv, &request)) {
    Usage();
    return 2;
  }

  HeadlessContext context;
  if (!context.Create()) return 1;
  FramebufferCalls calls;
  if (!calls.LoadAll()) {
    std::fputs("lumisaver: snapshot: framebuffer objects are not available\n", stderr);
    return 1;
  }

  CApplication* app = CreateSnapshotApplication(request.entry);
  if (app == nullptr) return 1;
  app->screenWidth = request.width;
  app->screenHeight = request.height;
  app->screenBits = 32;

  std::vector<uint8_t> pixels;
  {
    OffscreenTarget target(calls);
    if (!target.Create(request.width, request.height, app->fsaaMode > 0 ? app->fsaaMode : 0)) {
      std::fputs("lumisaver: snapshot: cannot create the framebuffer\n", stderr);
      DestroySnapshotApplication(app);
      return 1;
    }

    g_snapshotNow = 0;
    SetClockSource(&kSnapshotClock);
    auto* scene = new CScene;
    scene->InitScene(app);
    // Frames before the requested one only advance the animation; a zero
    // scissor box spares their pixels without touching the scene's state.
    glScissor(0, 0, 0, 0);
    glEnable(GL_SCISSOR_TEST);
    for (int64_t t = 0; t < request.atTicks; t += kFrameTicks) {
      g_snapshotNow = t;
      scene->RenderScene();
    }
    glDisable(GL_SCISSOR_TEST);
    g_snapshotNow = request.atTicks;
    scene->RenderScene();
    glFinish();
    target.Read(&pixels);
    delete scene;
    SetClockSource(nullptr);
  }
  DestroySnapshotApplication(app);
  return WritePng(request.output, request.width, request.height, pixels) ? 0 : 1;
}
