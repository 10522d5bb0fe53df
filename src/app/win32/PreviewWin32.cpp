// The preview (/p): the scene in a child window of the system dialog's small
// monitor, at that window's size, until the window goes away.
#include <windows.h>

#include <GL/gl.h>

#include "hub/RenderHost.h"
#include "app/PreviewDpi.h"
#include "app/RenderLoop.h"
#include "app/win32/SaverDialogWin32.h"
#include "gl/GLWindow.h"
#include "gl/GLWindowSequence.h"
#include "platform/Platform.h"
#include "scene/Scene.h"

namespace {

// A second window for a multisample format is never made: the preview asks
// for no samples.
struct PreviewGLPort final : IGLWindowPort {
  bool RecreateWithFormat(int) override { return false; }
  void LogRenderingKind() override {}
  bool RendersInSoftware() override { return false; }
  bool HasCurrentContext() override { return wglGetCurrentContext() != nullptr; }
  int MultisampleFormat(int) override { return -1; }
};

// Wine shows nothing that a process draws into a child of another process's
// window, GL or GDI. There the preview is a borderless window of its own,
// owned by the dialog and kept over the parent's client area, which looks
// the same.
bool ChildWindowsOfOthersShow() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
}

// The two calls are missing before Windows 10 1607; there a window tree has
// no awareness of its own to match.
class Win32DpiPort final : public IDpiAwarenessPort {
 public:
  Win32DpiPort() {
    const HMODULE user = GetModuleHandleW(L"user32.dll");
    if (user == nullptr) return;
    ofWindow_ = Function<OfWindowFn>(user, "GetWindowDpiAwarenessContext");
    setThread_ = Function<SetThreadFn>(user, "SetThreadDpiAwarenessContext");
  }
  bool Available() override { return ofWindow_ != nullptr && setThread_ != nullptr; }
  DpiContext OfWindow(NativeHandle window) override { return ofWindow_(reinterpret_cast<HWND>(window)); }
  DpiContext SetThread(DpiContext awareness) override { return setThread_(awareness); }

 private:
  using OfWindowFn = void*(WINAPI*)(HWND);
  using SetThreadFn = void*(WINAPI*)(void*);
  template <class Fn>
  static Fn Function(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  }
  OfWindowFn ofWindow_ = nullptr;
  SetThreadFn setThread_ = nullptr;
};

// Only a window of another process that can hold a child takes the preview:
// the desktop's would give a screen-sized preview that never ends, and one
// of our own, or a message-only window, is no dialog's.
bool PreviewParentAccepted(HWND parent) {
  if (!IsWindow(parent) || parent == GetDesktopWindow()) return false;
  DWORD process = 0;
  GetWindowThreadProcessId(parent, &process);
  if (process == GetCurrentProcessId()) return false;
  return GetAncestor(GetAncestor(parent, GA_ROOT), GA_PARENT) == GetDesktopWindow();
}

// The parent's client area, in the coordinates the preview window is placed
// in: its own for a child, the screen's for an overlay.
RECT PlaceFor(HWND parent, bool child) {
  RECT area = {};
  GetClientRect(parent, &area);
  area.right = area.right > 0 ? area.right : 1;
  area.bottom = area.bottom > 0 ? area.bottom : 1;
  if (!child) MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&area), 2);
  return area;
}

bool SamePlace(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// No display-mode change, no cursor hiding, no multisampling: the preview
// lives in someone else's dialog.
bool CreatePreviewWindow(HWND parent, bool child) {
  CApplication* app = g_renderHost->application;
  g_renderHost->sampleCount = 0;
  const RECT place = PlaceFor(parent, child);
  app->screenWidth = place.right - place.left;
  app->screenHeight = place.bottom - place.top;
  const DWORD style = child ? WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN
                            : WS_POPUP | WS_DISABLED | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  const DWORD extendedStyle = child ? 0 : WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  Win32DpiPort dpi;
  const ParentDpiScope parentsAwareness(dpi, reinterpret_cast<NativeHandle>(parent), child);
  const HWND window = CreateWindowExW(extendedStyle, reinterpret_cast<LPCWSTR>(app->className),
                                      reinterpret_cast<LPCWSTR>(app->title), style, place.left, place.top,
                                      app->screenWidth, app->screenHeight,
                                      child ? parent : GetAncestor(parent, GA_ROOT), nullptr,
                                      reinterpret_cast<HINSTANCE>(app->instance), nullptr);
  app->mainWindow = reinterpret_cast<NativeHandle>(window);
  if (window == nullptr) return false;
  if (!child) ShowWindow(window, SW_SHOWNOACTIVATE);
  EnableOpenGL(0);
  PreviewGLPort port;
  return CompleteGLWindow(port);
}

class PreviewLoopPort final : public IRenderLoopPort {
 public:
  PreviewLoopPort(HWND parent, HWND window, bool child)
      : parent_(parent), window_(window), child_(child), place_(PlaceFor(parent, child)) {}

  Pump PumpOneMessage(int* exitCode) override {
    // Its destroy posts the quit to the window; a window taken down with
    // its parent may be gone before that message is taken.
    if (!IsWindow(window_)) {
      *exitCode = 0;
      return Pump::Quit;
    }
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return Pump::Empty;
    if (message.message == WM_QUIT) {
      *exitCode = static_cast<int>(message.wParam);
      return Pump::Quit;
    }
    DispatchMessageW(&message);
    return Pump::Dispatched;
  }

  void DrawFrame() override {
    if (!IsWindow(parent_)) {
      DestroyWindow(window_);
      return;
    }
    Follow();
    if (g_renderHost->scene == nullptr || !IsWindowVisible(window_)) return;
    g_renderHost->scene->RenderScene();
    SwapBuffers(reinterpret_cast<HDC>(g_application->deviceContext));
  }

  uint32_t TickCount() override { return plat::TickCountMs(); }
  void Sleep(uint32_t ms) override { plat::SleepMs(ms); }

 private:
  // The parent's size, and for an overlay its place and whether it shows.
  void Follow() {
    if (!child_) {
      const bool shown = IsWindowVisible(parent_) && !IsIconic(GetAncestor(parent_, GA_ROOT));
      if (shown != (IsWindowVisible(window_) != FALSE)) ShowWindow(window_, shown ? SW_SHOWNOACTIVATE : SW_HIDE);
    }
    const RECT place = PlaceFor(parent_, child_);
    if (SamePlace(place, place_)) return;
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    const bool resized = width != place_.right - place_.left || height != place_.bottom - place_.top;
    place_ = place;
    SetWindowPos(window_, nullptr, place.left, place.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (resized && g_renderHost->scene != nullptr) g_renderHost->scene->SetProjection(width, height);
  }

  HWND parent_;
  HWND window_;
  bool child_;
  RECT place_;
};

}  // namespace

int RunPreview(NativeHandle parentHandle) {
  const HWND parent = reinterpret_cast<HWND>(parentHandle);
  if (!PreviewParentAccepted(parent)) return 0;
  g_renderHost = new CRenderHost();
  const bool child = ChildWindowsOfOthersShow();
  int exitCode = 0;
  if (CreatePreviewWindow(parent, child)) {
    PreviewLoopPort port(parent, reinterpret_cast<HWND>(g_application->mainWindow), child);
    exitCode = RunMessageLoop(port, kPreviewFramePeriodMs);
  } else if (g_application->mainWindow != 0) {
    DestroyWindow(reinterpret_cast<HWND>(g_application->mainWindow));
  }
  delete g_renderHost;
  g_renderHost = nullptr;
  return exitCode;
}
