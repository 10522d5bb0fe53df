#include "app/Program.h"

#include "app/CommandLine.h"
#include "log/Log.h"
#include "platform/Platform.h"

namespace {

RunMode ModeOf(LaunchKind kind) {
  switch (kind) {
    case LaunchKind::InitOnly: return ModeInitOnly;
    case LaunchKind::Preview: return ModePreview;
    case LaunchKind::Settings: return ModeSettings;
    default: return ModeFullScreen;
  }
}

}  // namespace

int ProgramMain(const char* commandLine, NativeHandle instance, const SaverDialogModes* dialogModes) {
  const Launch launch = ParseCommandLine(commandLine);
  if (launch.kind == LaunchKind::Exit) return 0;
  const bool guest = launch.kind == LaunchKind::Preview || launch.kind == LaunchKind::Settings;
  if (guest && dialogModes == nullptr) return 0;
  const RunMode mode = ModeOf(launch.kind);
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
  if (mode == ModePreview) exitCode = dialogModes->preview(launch.window);
  if (mode == ModeSettings) exitCode = dialogModes->settings(launch.window);
  UnregisterWindowClass();
  DestroyApplication(app);
  return exitCode;
}
