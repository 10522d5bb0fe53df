/* What the system's screensaver dialog does to the program, for the tests
 * under Wine:
 *   saver_host preview PROGRAM   a 320x240 window whose handle goes to
 *                                "PROGRAM /p HANDLE"; stdin takes "size W H",
 *                                "alive" and "close"; stdout tells what
 *                                happened.
 *   saver_host texts TITLE       the texts of the window whose title holds
 *                                TITLE and of its controls, one per line.
 *   saver_host desktop           the desktop window's handle.
 * Output is UTF-8, one line per event, flushed at once. */
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

static void say(const wchar_t* format, ...) {
  wchar_t line[2048];
  va_list args;
  va_start(args, format);
  _vsnwprintf(line, 2047, format, args);
  va_end(args);
  line[2047] = 0;
  char bytes[8192];
  const int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, sizeof bytes, NULL, NULL);
  if (n > 1) {
    fwrite(bytes, 1, (size_t)(n - 1), stdout);
    fputc('\n', stdout);
    fflush(stdout);
  }
}

static LRESULT CALLBACK host_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

static HWND g_host;
static HANDLE g_child;

/* Commands from the test, on a thread of their own so the window keeps
 * answering its messages. */
static DWORD WINAPI read_commands(void* unused) {
  (void)unused;
  char line[256];
  while (fgets(line, sizeof line, stdin)) {
    int width = 0, height = 0;
    if (sscanf(line, "size %d %d", &width, &height) == 2) {
      RECT frame = {0, 0, width, height};
      AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
      SetWindowPos(g_host, NULL, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      say(L"sized %d %d", width, height);
    } else if (strncmp(line, "alive", 5) == 0) {
      say(L"alive %d", WaitForSingleObject(g_child, 0) == WAIT_TIMEOUT ? 1 : 0);
    } else if (strncmp(line, "close", 5) == 0) {
      PostMessageW(g_host, WM_CLOSE, 0, 0);
      return 0;
    }
  }
  return 0;
}

static int preview(const wchar_t* program) {
  WNDCLASSW windowClass = {0};
  windowClass.lpfnWndProc = host_proc;
  windowClass.hInstance = GetModuleHandleW(NULL);
  windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  windowClass.lpszClassName = L"SaverHost";
  RegisterClassW(&windowClass);
  RECT frame = {0, 0, 320, 240};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  g_host = CreateWindowW(L"SaverHost", L"Preview host", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 200,
                         150, frame.right - frame.left, frame.bottom - frame.top, NULL, NULL,
                         windowClass.hInstance, NULL);
  if (!g_host) return 2;
  UpdateWindow(g_host);
  POINT origin = {0, 0};
  ClientToScreen(g_host, &origin);
  RECT client;
  GetClientRect(g_host, &client);
  say(L"window %Iu %ld %ld %ld %ld", (size_t)g_host, origin.x, origin.y, client.right, client.bottom);

  wchar_t command[2048];
  _snwprintf(command, 2047, L"\"%ls\" /p %Iu", program, (size_t)g_host);
  command[2047] = 0;
  STARTUPINFOW startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child;
  if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &child)) {
    say(L"start failed %lu", GetLastError());
    return 3;
  }
  g_child = child.hProcess;
  say(L"started %lu", child.dwProcessId);
  CloseHandle(CreateThread(NULL, 0, read_commands, NULL, 0, NULL));

  MSG message;
  while (GetMessageW(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  const DWORD closed = GetTickCount();
  say(L"closed");
  if (WaitForSingleObject(child.hProcess, 15000) != WAIT_OBJECT_0) {
    say(L"still running");
    TerminateProcess(child.hProcess, 99);
    return 0;
  }
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  say(L"ended %lu %lu", code, GetTickCount() - closed);
  return 0;
}

static const wchar_t* g_wanted;
static HWND g_found;

static BOOL CALLBACK find_titled(HWND window, LPARAM unused) {
  (void)unused;
  wchar_t title[512] = {0};
  GetWindowTextW(window, title, 512);
  if (IsWindowVisible(window) && wcsstr(title, g_wanted)) {
    g_found = window;
    return FALSE;
  }
  return TRUE;
}

static BOOL CALLBACK say_text(HWND window, LPARAM unused) {
  (void)unused;
  wchar_t text[512] = {0};
  GetWindowTextW(window, text, 512);
  if (text[0]) say(L"%ls", text);
  return TRUE;
}

static int texts(const wchar_t* wanted) {
  g_wanted = wanted;
  EnumWindows(find_titled, 0);
  if (!g_found) return 1;
  say_text(g_found, 0);
  EnumChildWindows(g_found, say_text, 0);
  return 0;
}

int main(void) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc == 3 && wcscmp(argv[1], L"preview") == 0) return preview(argv[2]);
  if (argc == 3 && wcscmp(argv[1], L"texts") == 0) return texts(argv[2]);
  if (argc == 2 && wcscmp(argv[1], L"desktop") == 0) return say(L"%lu", (unsigned long)(UINT_PTR)GetDesktopWindow()), 0;
  fputs("usage: saver_host preview PROGRAM | texts TITLE | desktop\n", stderr);
  return 2;
}
