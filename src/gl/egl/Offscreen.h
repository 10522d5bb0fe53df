#pragma once
// The one headless GL context (EGL on Mesa's surfaceless platform) and the
// framebuffer objects it renders into: the snapshot, the soak, the GL tests
// and the benchmark all draw with it.
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/GLHeaders.h"

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

  // False with error() saying what was missing.
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
  const char* error() const { return error_; }

 private:
  bool Fail(const char* what) {
    error_ = what;
    return false;
  }
  const char* error_ = "";
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
    Bind();
    return true;
  }

  // Rows bottom-up, RGB.
  // Draws into this target again (after Read, or another target's use).
  void Bind() { gl_.bindFramebuffer(GL_FRAMEBUFFER, drawFbo_ != 0 ? drawFbo_ : resolveFbo_); }

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

// A context made current with a plain target of one size bound and the
// viewport on it; ready() tells whether all of that worked.
class OffscreenGl {
 public:
  OffscreenGl(int width, int height) {
    if (!context_.Create()) {
      error_ = context_.error();
      return;
    }
    if (!calls_.LoadAll()) {
      error_ = "framebuffer objects are not available";
      return;
    }
    target_ = std::make_unique<OffscreenTarget>(calls_);
    if (!target_->Create(width, height, 0)) {
      error_ = "cannot create the framebuffer";
      return;
    }
    // Without a surface the first viewport is empty.
    glViewport(0, 0, width, height);
    ready_ = true;
  }

  bool ready() const { return ready_; }
  const char* error() const { return error_; }

  // RGB rows, bottom-up.
  std::vector<uint8_t> ReadRgb() {
    std::vector<uint8_t> rgb;
    target_->Read(&rgb);
    return rgb;
  }

 private:
  HeadlessContext context_;
  FramebufferCalls calls_;
  std::unique_ptr<OffscreenTarget> target_;
  bool ready_ = false;
  const char* error_ = "";
};
