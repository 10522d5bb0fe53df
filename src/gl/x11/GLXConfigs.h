#pragma once
// GLX framebuffer configurations: the default one, by id, and the pick
// among those a request matches.
#include "gl/x11/X11Session.h"

int PixmapBitsPerPixel(Display* display, int depth);
int ConfigAttrib(GLXFBConfig config, int attribute);
GLXFBConfig PickConfig(const int* attributes, bool plainBuffersPreferred, VisualID onlyVisual);
GLXFBConfig ChooseDefaultConfig();
GLXFBConfig ConfigById(int id);
bool VisualMatches(GLXFBConfig config, Window window);
