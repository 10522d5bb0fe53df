// The scene tests link the scene and what it depends on, not the program's
// start-up: this hub keeps the field defaults and runs no start-up sequence.
// Tests fill in what the scene reads (paths, content list, font, size).
#include "app/Application.h"

CApplication::CApplication(RunMode mode, NativeHandle handle) : instance(handle), runMode(mode) {}

CApplication* g_application = nullptr;
