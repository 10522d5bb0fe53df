#include "app/posix/WindowLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <deque>

#include "gl/GLWindow.h"
#include "hub/RenderHost.h"
#include "log/Log.h"
#include "settings/Overrides.h"

namespace {

struct PostedMessage {
  enum class Kind { Destroy, Quit } kind;
  NativeHandle window;
};
std::deque<PostedMessage> g_posted;

class PosixWindowProcLogic final : public CWindowProcLogic {
 protected:
  void PostDestroy(NativeHandle window) override { g_posted.push_back({PostedMessage::Kind::Destroy, window}); }
  void PostQuit(NativeHandle window) override { g_posted.push_back({PostedMessage::Kind::Quit, window}); }
};
PosixWindowProcLogic g_windowProc;

// The handler only writes a byte; the loop runs the ordinary shutdown.
int g_signalPipe[2] = {-1, -1};

void OnEndSignal(int) {
  const int savedErrno = errno;
  const char byte = 1;
  if (write(g_signalPipe[1], &byte, 1) < 0) {
    // Full pipe: an end request is already pending.
  }
  errno = savedErrno;
}

void InstallEndSignals() {
  if (g_signalPipe[0] < 0 && pipe2(g_signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) return;
  struct sigaction action = {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}

// Once the loop is over a further signal must end the process at once,
// whatever the teardown is waiting for.
void RestoreEndSignals() {
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) signal(signalNumber, SIG_DFL);
}

bool TakeEndSignal() {
  if (g_signalPipe[0] < 0) return false;
  char bytes[64];
  return read(g_signalPipe[0], bytes, sizeof bytes) > 0;
}

}  // namespace

CWindowProcLogic& PosixWindowProc() { return g_windowProc; }

void PostEndRequest() { g_posted.push_back({PostedMessage::Kind::Destroy, g_application->mainWindow}); }

IRenderLoopPort::Pump TakePostedRequest(int* exitCode) {
  if (!g_posted.empty()) {
    const PostedMessage message = g_posted.front();
    g_posted.pop_front();
    if (message.kind == PostedMessage::Kind::Quit) {
      *exitCode = 0;
      return IRenderLoopPort::Pump::Quit;
    }
    g_windowProc.OnEvent(g_application, message.window, WindowEvent::Destroy);
    return IRenderLoopPort::Pump::Dispatched;
  }
  if (TakeEndSignal()) {
    PostEndRequest();
    return IRenderLoopPort::Pump::Dispatched;
  }
  return IRenderLoopPort::Pump::Empty;
}

int RunGLWindowLoop(IRenderLoopPort& port) {
  InstallEndSignals();
  g_renderHost = new CRenderHost();
  // -fsaa N is already the application's count for this run (see
  // RunOverrides); asked for the run, it holds even in software.
  g_renderHost->samplesAskedForRun = RunOverrides().hasFsaa;
  if (!CreateGLWindow() || g_application->mainWindow == 0) {
    // CreateGLWindow has said why on standard error.
    RestoreEndSignals();
    if (g_application->log != nullptr) g_application->log->Write(u"CreateGLWindow() failed");
    return 1;
  }
  const int exitCode = RunMessageLoop(port);
  RestoreEndSignals();
  delete g_renderHost;
  g_renderHost = nullptr;
  return exitCode;
}

bool RequestPending() {
  if (!g_posted.empty()) return true;
  pollfd signal = {g_signalPipe[0], POLLIN, 0};
  return g_signalPipe[0] >= 0 && poll(&signal, 1, 0) > 0;
}

int EndSignalFd() { return g_signalPipe[0]; }
