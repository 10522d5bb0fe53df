// The Win32 window layer: window class, window procedure and render loop.
#include <windows.h>
#include <windowsx.h>

#include <cstring>

#include "hub/RenderHost.h"
#include "app/DisplayPower.h"
#include "app/RenderLoop.h"
#include "app/Window.h"
#include "app/WindowProc.h"
#include "gl/GLWindow.h"
#include "gl/win32/ScreenLayout.h"
#include "log/Log.h"
#include "platform/Platform.h"
#include "scene/Scene.h"

namespace {

constexpr int kIconResource = 105;

class Win32WindowProcLogic final : public CWindowProcLogic {
 protected:
  // To the window, not the thread: the render loop takes only the
  // window's messages.
  void PostDestroy(NativeHandle window) override {
    PostMessageW(reinterpret_cast<HWND>(window), WM_DESTROY, 0, 0);
  }
  void PostQuit(NativeHandle window) override { PostMessageW(reinterpret_cast<HWND>(window), WM_QUIT, 0, 0); }
};
Win32WindowProcLogic g_windowProc;

bool g_fullScreen = false;  // the full-screen run's loop, not the preview's

// GUID_CONSOLE_DISPLAY_STATE, spelled out: the header's is only declared
// unless a unit defines INITGUID.
constexpr GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

// The monitor as the last power notification described it; Windows sends
// the current state as soon as the notification is registered.
DisplayPower g_displayPower = DisplayPower::On;

class NotifiedDisplayPower final : public IDisplayPowerPort {
 public:
  DisplayPower Query() override { return g_displayPower; }
};

class Win32LoopPort final : public IRenderLoopPort {
 public:
  Pump PumpOneMessage(int* exitCode) override {
    // A window destroyed behind the loop's back takes its quit message with
    // it; its WM_DESTROY has run the shutdown already.
    if (!IsWindow(reinterpret_cast<HWND>(g_application->mainWindow))) {
      *exitCode = 0;
      return Pump::Quit;
    }
    MSG message;
    // The scene window's messages only: a message of any other window of
    // the thread is never taken here.
    if (!PeekMessageW(&message, reinterpret_cast<HWND>(g_application->mainWindow), 0, 0, PM_REMOVE)) {
      return Pump::Empty;
    }
    if (message.message == WM_QUIT) {
      *exitCode = static_cast<int>(message.wParam);
      return Pump::Quit;
    }
    DispatchMessageW(&message);
    return Pump::Dispatched;
  }

  void DrawFrame() override {
    // No scene: the GL context could not be made, and nothing is shown.
    if (g_renderHost->scene == nullptr) return;
    if (!AdmitFrame(gate_, power_, plat::TickCountMs(), *g_renderHost->scene)) return;
    g_renderHost->scene->RenderScene();
    SwapBuffers(reinterpret_cast<HDC>(g_application->deviceContext));
  }

  // GetTickCount and Sleep move in steps of the system tick (10-16 ms).
  uint32_t TickCount() override { return plat::TickCountMs(); }
  void Sleep(uint32_t ms) override { plat::SleepMs(ms); }

 private:
  NotifiedDisplayPower power_;
  CDisplayGate gate_{0};  // the notifications keep the state current
};

// Input in the preview belongs to the dialog it is shown in.
bool TakesInput() { return g_application == nullptr || g_application->runMode != ModePreview; }


}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const NativeHandle handle = reinterpret_cast<NativeHandle>(window);
  if (!TakesInput() && ((message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
                        (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST))) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  switch (message) {
    case WM_DESTROY:
      g_windowProc.OnEvent(g_application, handle, WindowEvent::Destroy);
      return 0;
    // Other programs end a screensaver with WM_CLOSE. DefWindowProc would
    // destroy the window under the loop; the run ends as on a key instead.
    case WM_CLOSE:
      g_windowProc.OnEvent(g_application, handle, WindowEvent::Close);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_CLOSE) return DefWindowProcW(window, message, wParam, lParam);
      g_windowProc.OnEvent(g_application, handle, WindowEvent::Close);
      return 0;
    // The session may end as soon as this returns: the shutdown runs now.
    case WM_ENDSESSION:
      if (wParam != FALSE) g_windowProc.OnEvent(g_application, handle, WindowEvent::EndSession);
      return 0;
    // A monitor came, went or changed its mode or scale: the window goes over
    // the virtual screen again, a view with its own projection on each
    // monitor. The place WM_DPICHANGED suggests would scale a window that
    // spans monitors of other scales; physical pixels need no scaling.
    case WM_DISPLAYCHANGE:
    case WM_DPICHANGED:
      if (g_fullScreen) LayOutScreen();
      return 0;
    case WM_ERASEBKGND:
      return 5;
    case WM_POWERBROADCAST:
      if (wParam == PBT_POWERSETTINGCHANGE && lParam != 0) {
        const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
        if (IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) && setting->DataLength >= sizeof(DWORD)) {
          DWORD state = 0;
          std::memcpy(&state, setting->Data, sizeof state);
          g_displayPower = FromConsoleDisplayState(state);
        }
      }
      return TRUE;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      g_windowProc.OnEvent(g_application, handle, WindowEvent::KeyDown);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      g_windowProc.OnEvent(g_application, handle, WindowEvent::ButtonDown);
      return 0;
    case WM_MOUSEMOVE: {
      POINT position = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(window, &position);
      g_windowProc.OnMouseMove(handle, position.x, position.y);
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool RegisterWindowClass() {
  CApplication* app = g_application;
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(app->instance);
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = reinterpret_cast<LPCWSTR>(app->className);
  return RegisterClassExW(&windowClass) != 0;
}

void UnregisterWindowClass() {
  CApplication* app = g_application;
  UnregisterClassW(reinterpret_cast<LPCWSTR>(app->className), reinterpret_cast<HINSTANCE>(app->instance));
}

int RunRenderLoop() {
  POINT pointer;
  if (GetCursorPos(&pointer)) g_windowProc.SetPointerPosition(pointer.x, pointer.y);
  g_renderHost = new CRenderHost();
  if (!CreateGLWindow() || g_application->mainWindow == 0) {
    if (g_application->log != nullptr) g_application->log->Write(u"CreateGLWindow() failed");
    return 1;
  }
  g_fullScreen = true;
  ShowCursor(FALSE);
  const HPOWERNOTIFY displayNotification = RegisterPowerSettingNotification(
      reinterpret_cast<HWND>(g_application->mainWindow), &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE);
  Win32LoopPort port;
  const int exitCode = RunMessageLoop(port);
  g_fullScreen = false;
  if (displayNotification != nullptr) UnregisterPowerSettingNotification(displayNotification);
  delete g_renderHost;
  g_renderHost = nullptr;
  return exitCode;
}
