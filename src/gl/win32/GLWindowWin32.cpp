// Display mode, window, pixel format and GL context with GDI and WGL.
#include <windows.h>

#include <GL/gl.h>

#include <vector>

#include "hub/RenderHost.h"
#include "gl/ExtensionSearch.h"
#include "gl/GLWindow.h"
#include "gl/GLWindowSequence.h"
#include "gl/MonitorLayout.h"
#include "gl/win32/ScreenLayout.h"
#include "log/Log.h"
#include "scene/Scene.h"
#include "settings/Settings.h"

namespace {

// WGL_ARB_pixel_format / WGL_ARB_multisample tokens.
constexpr int kWglDrawToWindow = 0x2001;
constexpr int kWglAcceleration = 0x2003;
constexpr int kWglSupportOpenGL = 0x2010;
constexpr int kWglDoubleBuffer = 0x2011;
constexpr int kWglColorBits = 0x2014;
constexpr int kWglAlphaBits = 0x201B;
constexpr int kWglDepthBits = 0x2022;
constexpr int kWglStencilBits = 0x2023;
constexpr int kWglFullAcceleration = 0x2027;
constexpr int kWglSampleBuffers = 0x2041;
constexpr int kWglSamples = 0x2042;

using GetExtensionsStringArb = const char*(WINAPI*)(HDC);
using ChoosePixelFormatArb = BOOL(WINAPI*)(HDC, const int*, const FLOAT*, UINT, int*, UINT*);
using SwapIntervalExt = BOOL(WINAPI*)(int);

// The pixel format EnableOpenGL set last, for the rendering-kind report.
int g_pixelFormat = 0;

CApplication* App() { return WindowApp(); }

HWND MainWindow() { return reinterpret_cast<HWND>(App()->mainWindow); }
HDC DeviceContext() { return reinterpret_cast<HDC>(App()->deviceContext); }

// Some drivers answer unknown names with small non-null values.
template <class Fn>
Fn LookUp(const char* name) {
  const PROC proc = wglGetProcAddress(name);
  const INT_PTR value = reinterpret_cast<INT_PTR>(proc);
  if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

// The virtual screen in physical pixels (the process is per-monitor aware),
// as Windows' own screensavers cover it.
RECT VirtualScreen() {
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(monitor, &info)) return TRUE;
  const RECT screen = VirtualScreen();
  const RECT& r = info.rcMonitor;
  reinterpret_cast<std::vector<MonitorRect>*>(data)->push_back(
      {r.left - screen.left, r.top - screen.top, r.right - r.left, r.bottom - r.top,
       (info.dwFlags & MONITORINFOF_PRIMARY) != 0, ""});
  return TRUE;
}

// Both the first window and the multisampled one that may replace it show
// the scene over every monitor: each goes over every other window and takes
// the foreground.
bool CreateFullScreenWindow() {
  CApplication* app = App();
  const RECT screen = VirtualScreen();
  const HWND window = CreateWindowExW(
      WS_EX_APPWINDOW | WS_EX_TOPMOST, reinterpret_cast<LPCWSTR>(app->className), reinterpret_cast<LPCWSTR>(app->title),
      WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, screen.left, screen.top, screen.right - screen.left,
      screen.bottom - screen.top, nullptr, nullptr, reinterpret_cast<HINSTANCE>(app->instance), nullptr);
  app->mainWindow = reinterpret_cast<NativeHandle>(window);
  if (window == nullptr) return false;
  SetWindowPos(window, HWND_TOPMOST, screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top,
               SWP_SHOWWINDOW);
  SetForegroundWindow(window);
  ShowCursor(FALSE);
  return true;
}

void LogRenderingKind() {
  PIXELFORMATDESCRIPTOR descriptor = {};
  DescribePixelFormat(DeviceContext(), g_pixelFormat, sizeof descriptor, &descriptor);
  const bool generic = (descriptor.dwFlags & PFD_GENERIC_FORMAT) != 0;
  const bool accelerated = (descriptor.dwFlags & PFD_GENERIC_ACCELERATED) != 0;
  if (generic && accelerated) {
    WindowLogA("Mixed-mode rendering");
  } else if (generic) {
    WindowLogA("Software rendering");
  } else if (!accelerated) {
    WindowLogA("Hardware rendering");
  }
}

// A window's pixel format can be set only once, and the multisample format
// can only be looked up while a context is current: hence a second window.
bool RecreateWithFormat(int format) {
  CRenderHost* host = g_renderHost;
  // The first context goes with its window; only the multisampled pair is
  // used from here on.
  const HGLRC first = reinterpret_cast<HGLRC>(host->glContext);
  wglMakeCurrent(nullptr, nullptr);
  if (first != nullptr) wglDeleteContext(first);
  host->glContext = 0;
  ReleaseDC(MainWindow(), DeviceContext());
  DestroyWindow(MainWindow());  // its WM_DESTROY is ignored: windowReady is 0
  if (!CreateFullScreenWindow()) return false;
  EnableOpenGL(format);  // logs a failure; CompleteGLWindow checks the context
  return true;
}

bool HasCurrentContext() { return wglGetCurrentContext() != nullptr; }

}  // namespace

void LayOutScreen() {
  CApplication* app = App();
  const HWND window = MainWindow();
  if (app == nullptr || window == nullptr) return;
  const RECT screen = VirtualScreen();
  const int width = screen.right - screen.left, height = screen.bottom - screen.top;
  std::vector<MonitorRect> monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  app->screenWidth = width;
  app->screenHeight = height;
  // Topmost since its creation: restacking it would cost it the keyboard
  // under Wine.
  SetWindowPos(window, nullptr, screen.left, screen.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (g_renderHost == nullptr || g_renderHost->glContext == 0 || g_renderHost->scene == nullptr) return;
  const std::vector<MonitorRect> shown = SceneMonitors(monitors, width, height, "");
  g_renderHost->scene->MainTarget().Lay(width, height, ScreenViews(shown, height));
  for (const MonitorRect& m : shown) WindowLogA("Scene on the monitor at %d,%d, %dx%d", m.x, m.y, m.width, m.height);
}

bool SetFullScreenMode(int width, int height) {
  DEVMODEW mode = {};
  mode.dmSize = sizeof mode;
  mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
  mode.dmBitsPerPel = 32;
  mode.dmPelsWidth = static_cast<DWORD>(width);
  mode.dmPelsHeight = static_cast<DWORD>(height);
  return ChangeDisplaySettingsW(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

bool CreateGLWindow() {
  CRenderHost* host = g_renderHost;
  CApplication* app = host->application;
  const HDC screen = GetDC(nullptr);
  app->screenWidth = GetDeviceCaps(screen, HORZRES);
  app->screenHeight = GetDeviceCaps(screen, VERTRES);
  app->screenBits = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  SwitchToThirtyTwoBits(host);
  const RECT desk = VirtualScreen();
  app->screenWidth = desk.right - desk.left;
  app->screenHeight = desk.bottom - desk.top;
  if (!CreateFullScreenWindow()) return false;

  EnableOpenGL(0);
  struct Port final : IGLWindowPort {
    bool RecreateWithFormat(int format) override { return ::RecreateWithFormat(format); }
    void LogRenderingKind() override { ::LogRenderingKind(); }
    bool RendersInSoftware() override { return false; }
    bool HasCurrentContext() override { return ::HasCurrentContext(); }
    int MultisampleFormat(int sampleCount) override { return InitMultisample(sampleCount); }
  } port;
  if (!CompleteGLWindow(port)) return false;
  // Without a scene the window made over the virtual screen stays as it is.
  if (host->scene != nullptr) LayOutScreen();
  return true;
}

bool EnableOpenGL(int format) {
  CRenderHost* host = g_renderHost;
  CApplication* app = host->application;
  const HDC dc = GetDC(MainWindow());
  app->deviceContext = reinterpret_cast<NativeHandle>(dc);
  PIXELFORMATDESCRIPTOR descriptor = {};
  if (format == 0) {
    descriptor.nSize = sizeof descriptor;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 32;
    descriptor.cDepthBits = 16;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    const int chosen = ChoosePixelFormat(dc, &descriptor);
    if (chosen == 0) {
      WindowLogA("EnableOpenGL %d: ChoosePixelFormat error %d", format, static_cast<int>(GetLastError()));
      return false;
    }
    g_pixelFormat = chosen;
    if (!SetPixelFormat(dc, chosen, &descriptor)) {
      WindowLogA("EnableOpenGL %d: SetPixelFormat error %d", 0, static_cast<int>(GetLastError()));
      return false;
    }
  } else {
    // A failure here shows up as the context error below.
    g_pixelFormat = format;
    DescribePixelFormat(dc, format, sizeof descriptor, &descriptor);
    SetPixelFormat(dc, format, &descriptor);
  }
  const HGLRC context = wglCreateContext(dc);
  host->glContext = reinterpret_cast<NativeHandle>(context);
  if (context == nullptr) {
    WindowLogA("EnableOpenGL %d: wglCreateContext error %d", format, static_cast<int>(GetLastError()));
    return false;
  }
  if (!wglMakeCurrent(dc, context)) {
    WindowLogA("EnableOpenGL %d: wglMakeCurrent error %d", format, static_cast<int>(GetLastError()));
    return false;
  }
  return true;
}

bool DisableOpenGL() {
  CRenderHost* host = g_renderHost;
  if (host == nullptr) return true;
  wglMakeCurrent(nullptr, nullptr);
  if (host->glContext != 0) wglDeleteContext(reinterpret_cast<HGLRC>(host->glContext));
  host->glContext = 0;
  ReleaseDC(MainWindow(), DeviceContext());
  return true;
}

bool HasMultisampleExtension() {
  // Test hook: LUMISAVER_TEST_GL_EXTENSIONS stands in for the driver's list.
  static char injected[4096];
  const DWORD injectedLength = GetEnvironmentVariableA("LUMISAVER_TEST_GL_EXTENSIONS", injected, sizeof injected);
  const char* list = nullptr;
  if (injectedLength > 0 && injectedLength < sizeof injected) {
    list = injected;
  } else if (const auto getExtensions = LookUp<GetExtensionsStringArb>("wglGetExtensionsStringARB")) {
    list = getExtensions(wglGetCurrentDC());
  }
  if (list == nullptr) list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (list == nullptr) return false;
  return HasWholeWord(list, "WGL_ARB_multisample");
}

int InitMultisample(int sampleCount) {
  CApplication* app = App();
  if (!MultisampleExtensionOrOff(sampleCount)) return -1;
  const auto choosePixelFormat = LookUp<ChoosePixelFormatArb>("wglChoosePixelFormatARB");
  if (choosePixelFormat == nullptr) return -1;
  const HDC dc = GetDC(MainWindow());
  app->deviceContext = reinterpret_cast<NativeHandle>(dc);
  const int attributes[] = {kWglDrawToWindow, 1,
                            kWglSupportOpenGL, 1,
                            kWglAcceleration, kWglFullAcceleration,
                            kWglColorBits, 24,
                            kWglAlphaBits, 8,
                            kWglDepthBits, 16,
                            kWglStencilBits, 0,
                            kWglDoubleBuffer, 1,
                            kWglSampleBuffers, 1,
                            kWglSamples, sampleCount,
                            0, 0};
  const FLOAT floatAttributes[] = {0, 0};
  int format = 0;
  UINT found = 0;
  if (choosePixelFormat(dc, attributes, floatAttributes, 1, &format, &found) && found >= 1) return format;
  return -1;
}

void SetSwapIntervalZero() {
  if (const auto swapInterval = LookUp<SwapIntervalExt>("wglSwapIntervalEXT")) swapInterval(0);
}
