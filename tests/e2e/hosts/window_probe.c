/* Another program's view of a running screensaver, for the tests under Wine:
 *   window_probe close       posts WM_CLOSE to the scene window, as programs
 *                            that stop a screensaver do
 *   window_probe sysclose    posts WM_SYSCOMMAND SC_CLOSE to it (Alt+F4)
 *   window_probe windows     one line per visible window of the program:
 *                            "scene|cover topmost=N noactivate=N foreground=N HANDLE"
 *   window_probe place       the scene window's place: "X,Y WxH"
 *   window_probe displaychange   sends WM_DISPLAYCHANGE to the scene window,
 *                            as the system does when a monitor comes or goes
 *   window_probe endsession  sends WM_ENDSESSION (the session ends), and
 *                            returns once the window has answered
 * The scene window is the program's one with WS_EX_APPWINDOW; any other
 * (a cover) is a tool window. Exit code 3 when there is no scene window. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#define CLASS_NAME L"vtMain"

static HWND g_scene;

static BOOL CALLBACK find_scene(HWND window, LPARAM unused) {
  wchar_t name[32];
  (void)unused;
  if (GetClassNameW(window, name, 32) && wcscmp(name, CLASS_NAME) == 0 && IsWindowVisible(window) &&
      (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW)) {
    g_scene = window;
    return FALSE;
  }
  return TRUE;
}

static BOOL CALLBACK describe(HWND window, LPARAM unused) {
  wchar_t name[32];
  (void)unused;
  if (!GetClassNameW(window, name, 32) || wcscmp(name, CLASS_NAME) != 0 || !IsWindowVisible(window)) return TRUE;
  const LONG style = GetWindowLongW(window, GWL_EXSTYLE);
  printf("%s topmost=%d noactivate=%d foreground=%d %lu\n", (style & WS_EX_APPWINDOW) ? "scene" : "cover",
         (style & WS_EX_TOPMOST) ? 1 : 0, (style & WS_EX_NOACTIVATE) ? 1 : 0,
         GetForegroundWindow() == window ? 1 : 0, (unsigned long)(ULONG_PTR)window);
  return TRUE;
}

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  EnumWindows(find_scene, 0);
  if (!g_scene) {
    printf("no scene window\n");
    return 3;
  }
  if (strcmp(argv[1], "close") == 0) {
    printf("posted %d\n", PostMessageW(g_scene, WM_CLOSE, 0, 0) ? 1 : 0);
  } else if (strcmp(argv[1], "sysclose") == 0) {
    printf("posted %d\n", PostMessageW(g_scene, WM_SYSCOMMAND, SC_CLOSE, 0) ? 1 : 0);
  } else if (strcmp(argv[1], "windows") == 0) {
    EnumWindows(describe, 0);
  } else if (strcmp(argv[1], "place") == 0) {
    RECT r;
    GetWindowRect(g_scene, &r);
    printf("%ld,%ld %ldx%ld\n", (long)r.left, (long)r.top, (long)(r.right - r.left), (long)(r.bottom - r.top));
  } else if (strcmp(argv[1], "displaychange") == 0 || strcmp(argv[1], "endsession") == 0) {
    DWORD_PTR result = 0;
    const int display = strcmp(argv[1], "displaychange") == 0;
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    printf("sent %d\n", SendMessageTimeoutW(g_scene, display ? WM_DISPLAYCHANGE : WM_ENDSESSION,
                                            display ? 32 : TRUE, display ? MAKELPARAM(width, height) : 0,
                                            SMTO_ABORTIFHUNG, 10000, &result) ? 1 : 0);
  } else {
    return 2;
  }
  fflush(stdout);
  return 0;
}
