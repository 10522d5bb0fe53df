#include "app/Program.h"

#include "app/CommandLine.h"
#include "app/Window.h"
#include "log/Log.h"
#include "platform/Platform.h"

int ProgramMain(const char* commandLine, NativeHandle instance) {
  const LaunchKind kind = ParseCommandLine(commandLine);
  if (kind == LaunchKind::Exit) return 0;
  const RunMode mode = kind == LaunchKind::InitOnly ? ModeInitOnly : ModeFullScreen;
  plat::RetainFreedMemory();

  CApplication* app = new CApplication(mode, instance);
  g_application = app;
  app->log->Write(u"%s started", app->title);

  if (!RegisterWindowClass()) {
    // Without a window class nothing can be shown; the application object
    // is left to the end of the process.
    app->log->Write(u"RegisterWindowClass() failed");
    return 0;
  }
  int exitCode = 0;
  if (mode == ModeFullScreen) exitCode = RunRenderLoop();
  UnregisterWindowClass();
  DestroyApplication(app);
  return exitCode;
}
