#include "gl/GLWindowSequence.h"

#include <cstdarg>
#include <cstdio>

#include "hub/RenderHost.h"
#include "platform/GLHeaders.h"
#include "gl/GLWindow.h"
#include "gl/MultisampleChoice.h"
#include "log/Log.h"
#include "scene/Scene.h"
#include "settings/Settings.h"

namespace {

// A driver may answer null; the log line still appears, empty.
const char* GLString(GLenum name) {
  const GLubyte* value = glGetString(name);
  return value != nullptr ? reinterpret_cast<const char*>(value) : "";
}

}  // namespace

CApplication* WindowApp() { return g_renderHost != nullptr ? g_renderHost->application : g_application; }

void WindowLogA(const char* format, ...) {
  CApplication* app = WindowApp();
  if (app == nullptr || app->log == nullptr || app->log->level == 0) return;
  char message[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  app->log->WriteA("%s", message);
}

namespace {

GLContextResult WithoutContext(CApplication* app) {
  // Without a context the GL and GLU calls of the scene set-up read
  // undefined state (GLU's mipmap builder crashes on it), so no scene is
  // made: the run shows nothing and still ends on input. The user's
  // multisample setting is kept, so a broken driver cannot switch it off
  // for good.
  WindowLogA("No OpenGL context: nothing is drawn");
  app->windowReady = 1;
  return app->mainWindow != 0 ? GLContextResult::NoContext : GLContextResult::NoWindow;
}

}  // namespace

GLContextResult SetUpGLContext(IGLWindowPort& port) {
  CRenderHost* host = g_renderHost;
  CApplication* app = host->application;
  // Multisampling is not tried without a first context.
  if (!port.HasCurrentContext()) return WithoutContext(app);

  const bool software = port.RendersInSoftware();
  const MultisampleStep step = ChooseMultisampleStep(host->sampleCount, software, host->samplesAskedForRun);
  if (step == MultisampleStep::NoSamples) {
    WindowLogA("No multisampling");
  } else if (step == MultisampleStep::OffInSoftware) {
    // Only this run: fsaaMode, and so main.ini, keeps the user's count.
    WindowLogA("Multisampling off: rendering in software");
    host->sampleCount = 0;
  } else {
    const int format = port.MultisampleFormat(host->sampleCount);
    WindowLogA("Multisample mode %d", format);
    if (format != -1) {
      // The replaced window's destroy must not end the run.
      app->windowReady = 0;
      if (!port.RecreateWithFormat(format)) return GLContextResult::NoWindow;
      if (!port.HasCurrentContext()) {
        // A driver may offer a format and then refuse its context: this
        // run goes on single-sampled.
        WindowLogA("No context for multisample mode %d: single-sampled", format);
        host->sampleCount = 0;
        if (!port.RecreateWithFormat(0)) return GLContextResult::NoWindow;
        if (!port.HasCurrentContext()) return WithoutContext(app);
      }
    }
  }
  app->windowReady = 1;
  return app->mainWindow != 0 ? GLContextResult::Ready : GLContextResult::NoWindow;
}

bool CompleteGLWindow(IGLWindowPort& port) {
  CRenderHost* host = g_renderHost;
  WindowLogA("GL_VENDOR: %s", GLString(GL_VENDOR));
  WindowLogA("GL_RENDERER: %s", GLString(GL_RENDERER));
  WindowLogA("GL_VERSION: %s", GLString(GL_VERSION));
  switch (SetUpGLContext(port)) {
    case GLContextResult::NoWindow: return false;
    case GLContextResult::NoContext: return true;
    case GLContextResult::Ready: break;
  }
  SetSwapIntervalZero();
  host->scene = new CScene();
  host->scene->InitScene(host->application);
  port.LogRenderingKind();
  return true;
}

void SwitchToThirtyTwoBits(CRenderHost* host) {
  CApplication* app = host->application;
  WindowLogA("Mode was: %dx%d %d", app->screenWidth, app->screenHeight, app->screenBits);
  if (app->screenBits != 32) {
    if (SetFullScreenMode(app->screenWidth, app->screenHeight)) {
      app->screenBits = 32;
    } else {
      host->sampleCount = 0;
    }
  }
  WindowLogA("Mode changed to: %dx%d %d", app->screenWidth, app->screenHeight, app->screenBits);
}

bool MultisampleExtensionOrOff(int sampleCount) {
  if (HasMultisampleExtension()) return true;
  WindowLogA("InitMultisample %d error: WGL_ARB_multisample not supported", sampleCount);
  CApplication* app = WindowApp();
  app->fsaaMode = 0;
  SaveSettings(app);
  return false;
}
