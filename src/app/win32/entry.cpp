#include <windows.h>

#include "app/Program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return ProgramMain(commandLine, reinterpret_cast<NativeHandle>(instance));
}
