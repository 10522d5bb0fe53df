// TEMPORARY placeholder until the X11 window layer lands (window owner replaces this file).
#include "app/x11/X11Options.h"
static X11Options g_options;
const X11Options& CurrentX11Options() { return g_options; }
std::string ConsumeX11Options(int argc, char** argv) {
  std::string rest;
  for (int i = 1; i < argc; ++i) { if (i > 1) rest += ' '; rest += argv[i]; }
  return rest;
}
