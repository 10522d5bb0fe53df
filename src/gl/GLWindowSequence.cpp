#include "gl/GLWindowSequence.h"

#include <cstdarg>
#include <cstdio>

#include "hub/RenderHost.h"
#include "platform/GLHeaders.h"
#include "gl/GLWindow.h"
#include "gl/MultisampleChoice.h"
#include "log/Log.h"
#include "scene/Scene.h"

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

bool CompleteGLWindow(const GLWindowBackend& backend) {
  CRenderHost* host = g_renderHost;
  CApplication* app = host->application;
  WindowLogA("GL_VENDOR: %s", GLString(GL_VENDOR));
  WindowLogA("GL_RENDERER: %s", GLString(GL_RENDERER));
  WindowLogA("GL_VERSION: %s", GLString(GL_VERSION));

  if (!backend.hasCurrentContext()) {
    // Without a context the GL and GLU calls of the scene set-up read
    // undefined state (GLU's mipmap builder crashes on it), so no scene is
    // made: the run shows nothing and still ends on input. Multisampling
    // is not tried either, so a broken driver cannot switch the user's
    // setting off for good.
    WindowLogA("No OpenGL context: nothing is drawn");
    app->windowReady = 1;
    return app->mainWindow != 0;
  }

  const bool software = backend.rendersInSoftware != nullptr && backend.rendersInSoftware();
  const MultisampleStep step = ChooseMultisampleStep(host->sampleCount, software, host->samplesAskedForRun);
  if (step == MultisampleStep::NoSamples) {
    WindowLogA("No multisampling");
    app->windowReady = 1;
  } else if (step == MultisampleStep::OffInSoftware) {
    // Only this run: fsaaMode, and so main.ini, keeps the user's count.
    WindowLogA("Multisampling off: rendering in software");
    host->sampleCount = 0;
    app->windowReady = 1;
  } else {
    const int format = InitMultisample(host->sampleCount);
    WindowLogA("Multisample mode %d", format);
    if (format != -1) {
      // The replaced window's destroy must not end the run.
      app->windowReady = 0;
      if (!backend.recreateWithFormat(format)) return false;
    }
    app->windowReady = 1;
  }
  if (app->mainWindow == 0) return false;

  SetSwapIntervalZero();
  host->scene = new CScene();
  host->scene->InitScene(app);
  backend.logRenderingKind();
  return true;
}
