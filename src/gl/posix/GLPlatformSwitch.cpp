// gl/GLWindow.h over the display system chosen at start.
#include "gl/GLPlatform.h"
#include "gl/GLWindow.h"

namespace {

const GLPlatformCalls* g_calls = nullptr;

// The X11 program it was first: where nothing chose, that is what it is.
const GLPlatformCalls& Calls() { return g_calls != nullptr ? *g_calls : GlxCalls(); }

}  // namespace

void UseGLPlatform(const GLPlatformCalls& calls) { g_calls = &calls; }

bool CreateGLWindow() { return Calls().createGLWindow(); }
bool EnableOpenGL(int format) { return Calls().enableOpenGL(format); }
bool DisableOpenGL() { return Calls().disableOpenGL(); }
bool SetFullScreenMode(int width, int height) { return Calls().setFullScreenMode(width, height); }
bool HasMultisampleExtension() { return Calls().hasMultisampleExtension(); }
int InitMultisample(int sampleCount) { return Calls().initMultisample(sampleCount); }
void SetSwapIntervalZero() { Calls().setSwapIntervalZero(); }
