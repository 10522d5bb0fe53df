#pragma once
// The render loop's record: the application, the GL context, the scene and
// the multisample sample count.
#include "hub/Application.h"
class CScene;

class CRenderHost {
 public:
  // The application from g_application, the sample count from its fsaaMode.
  CRenderHost() : application(g_application), sampleCount(application ? application->fsaaMode : 0) {}
  CApplication* application = nullptr;
  NativeHandle glContext = 0;
  CScene* scene = nullptr;  // created by CreateGLWindow, lives to process end
  int sampleCount = 0;
  // The sample count was given for this run (a command-line option), not
  // taken from the settings: it holds even where rendering is in software.
  bool samplesAskedForRun = false;
};

extern CRenderHost* g_renderHost;
