#pragma once
// The X screensaver options of the native program.
#include <string>
#include <cstdint>

// X screensaver conventions, recognised before the first-letter rule.
struct X11Options {
  enum class Target { FullScreen, Window, Root, ForeignWindow } target = Target::FullScreen;
  unsigned long windowId = 0;  // ForeignWindow
};
const X11Options& CurrentX11Options();
// Consumes -window, -root, -window-id ID (and XSCREENSAVER_WINDOW) and the
// setting options (-language, -font, -fsaa, -log, into RunOverrides()), each
// also spelt with two dashes, and returns the remaining arguments joined by
// spaces, for the first-letter rule. A bad value, or an unknown option with
// two dashes, ends the program with exit code 2.
std::string ConsumeX11Options(int argc, char** argv);
