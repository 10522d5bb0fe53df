#pragma once
// Display mode, window, pixel format and GL context. One backend per
// platform: gl/win32 (WGL) and gl/x11 (GLX).

bool CreateGLWindow();
bool EnableOpenGL(int format);  // 0: the default descriptor
bool DisableOpenGL();
bool SetFullScreenMode(int width, int height);
bool HasMultisampleExtension();
int InitMultisample(int sampleCount);  // pixel format / fbconfig index, or -1
void SetSwapIntervalZero();
