#pragma once
// The Windows program's guests of the system's screensaver dialog.
#include "app/Window.h"

int RunPreview(NativeHandle parent);
int RunSettingsDialog(NativeHandle owner);

inline constexpr SaverDialogModes kSaverDialogModes = {RunPreview, RunSettingsDialog};
