#pragma once
// The program entry shared by both platforms, after their own argument handling.
#include "app/Window.h"

// The program entry after the platform's own argument handling: the
// first-letter rule, start-up, class registration, the mode's loop and the
// end sequence. Without dialogModes (null) the preview and settings letters
// end at once. Returns the process exit code.
int ProgramMain(const char* commandLine, NativeHandle instance, const SaverDialogModes* dialogModes);
