#pragma once
// What the first ASCII letter of the command line asks for, and the window
// handle that follows the preview and settings letters.
#include <cstdint>

enum class LaunchKind { Exit, InitOnly, FullScreen, Preview, Settings };

struct Launch {
  LaunchKind kind = LaunchKind::FullScreen;
  // Decimal window handle after P or C ("/p 1234", "/p:1234", "/c:1234"):
  // the preview's parent, the settings dialog's owner; 0 when none.
  uintptr_t window = 0;
};

// A preview without a usable handle has nowhere to draw and ends at once; a
// settings request without one opens an unowned dialog.
Launch ParseCommandLine(const char* commandLine);
