#pragma once
// OpenGL 1.1 and GLU for the portable core. The MinGW headers need the
// calling-convention macros that <windows.h> would define; defining them
// here keeps <windows.h> out of the core.
#ifdef _WIN32
#ifndef APIENTRY
#define APIENTRY __stdcall
#endif
#ifndef WINGDIAPI
#define WINGDIAPI __declspec(dllimport)
#endif
#ifndef CALLBACK
#define CALLBACK __stdcall
#endif
#endif
#include <GL/gl.h>
#include <GL/glu.h>
