#pragma once
#include "app/Application.h"
class CScene;

class CRenderHost {
 public:
  CRenderHost();  // application from g_application, sample count from fsaaMode
  CApplication* application = nullptr;
  NativeHandle glContext = 0;
  CScene* scene = nullptr;  // created by CreateGLWindow, lives to process end
  int sampleCount = 0;
  // The sample count was given for this run (a command-line option), not
  // taken from the settings: it holds even where rendering is in software.
  bool samplesAskedForRun = false;
};

extern CRenderHost* g_renderHost;
