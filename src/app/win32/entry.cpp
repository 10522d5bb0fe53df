#include <windows.h>

#include "app/Program.h"
#include "app/win32/SaverDialogWin32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return ProgramMain(commandLine, reinterpret_cast<NativeHandle>(instance), &kSaverDialogModes);
}
