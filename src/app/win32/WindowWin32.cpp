// TEMPORARY placeholder until the Win32 window layer lands (window owner replaces this file).
#include "app/Window.h"
bool RegisterWindowClass() { return true; }
void UnregisterWindowClass() {}
int RunRenderLoop() { return 0; }
