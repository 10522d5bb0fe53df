#pragma once
// A lock in XDG_RUNTIME_DIR that holds for as long as the process lives,
// however it ends: one show per compositor, one watcher per session.
#include <string>

// The last part of what names the display: WAYLAND_DISPLAY, else DISPLAY,
// else `fallback`.
std::string SessionDisplayName(bool waylandOnly, const char* fallback);
// Whether this process now holds the lock "lumisaver-<name>.lock". True
// also where there is no runtime folder or it cannot be written: that
// stops nothing.
bool TakeSessionLock(const std::string& name);
