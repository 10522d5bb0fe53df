#pragma once
#include <string>
#include <cstdint>

// X screensaver conventions, recognised before the first-letter rule.
struct X11Options {
  enum class Target { FullScreen, Window, Root, ForeignWindow } target = Target::FullScreen;
  unsigned long windowId = 0;  // ForeignWindow
  // -fsaa N: this run's multisample count, used even where rendering is in
  // software; never saved. -1: the FSAAmode setting's, left off in software.
  int fsaa = -1;
};
const X11Options& CurrentX11Options();
// Consumes -window, -root, -window-id ID (and XSCREENSAVER_WINDOW), -fsaa N,
// and returns the remaining arguments joined by spaces, for the first-letter
// rule.
std::string ConsumeX11Options(int argc, char** argv);
