#include "gl/x11/GLXConfigs.h"

#include <initializer_list>

#include <X11/Xutil.h>

int PixmapBitsPerPixel(Display* display, int depth) {
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
  int bits = depth;
  for (int i = 0; i < count; ++i) {
    if (formats[i].depth == depth) bits = formats[i].bits_per_pixel;
  }
  if (formats != nullptr) XFree(formats);
  return bits;
}

int ConfigAttrib(GLXFBConfig config, int attribute) {
  int value = 0;
  glXGetFBConfigAttrib(TheX11Session().display, config, attribute, &value);
  return value;
}

// The first of GLX's ordering that scores best. Visuals of another depth
// than the screen's are a last resort: a 32-bit ARGB window turns
// translucent under a compositor where the scene clears to alpha 0.
GLXFBConfig PickConfig(const int* attributes, bool plainBuffersPreferred, VisualID onlyVisual) {
  const X11Session& s = TheX11Session();
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(s.display, s.screen, attributes, &count);
  GLXFBConfig best = nullptr;
  int bestScore = -1;
  for (int i = 0; i < count; ++i) {
    XVisualInfo* visual = glXGetVisualFromFBConfig(s.display, configs[i]);
    if (visual == nullptr) continue;
    const bool sameDepth = visual->depth == DefaultDepth(s.display, s.screen);
    const VisualID id = visual->visualid;
    XFree(visual);
    if (onlyVisual != 0 && id != onlyVisual) continue;
    int score = sameDepth ? 2 : 0;
    if (plainBuffersPreferred && ConfigAttrib(configs[i], GLX_ALPHA_SIZE) == 0 &&
        ConfigAttrib(configs[i], GLX_STENCIL_SIZE) == 0 &&
        ConfigAttrib(configs[i], GLX_ACCUM_RED_SIZE) == 0 &&
        ConfigAttrib(configs[i], GLX_SAMPLE_BUFFERS) == 0) {
      score += 1;
    }
    if (score > bestScore) {
      best = configs[i];
      bestScore = score;
    }
  }
  if (configs != nullptr) XFree(configs);
  return best;
}

// The default format: RGBA, double-buffered, 8 bits a colour where the
// screen has them (any depth otherwise), a 16-bit depth buffer, and no
// alpha, stencil or accumulation buffers where such a configuration exists.
// On the root window only its own visual will do.
GLXFBConfig ChooseDefaultConfig() {
  const X11Session& s = TheX11Session();
  const bool onRoot = s.target == X11Session::Target::Root;
  const VisualID rootVisual = onRoot ? XVisualIDFromVisual(DefaultVisual(s.display, s.screen)) : 0;
  for (int colourBits : {8, 1}) {
    for (int doubleBuffer : {True, False}) {
      if (doubleBuffer == False && !onRoot) continue;
      const int attributes[] = {GLX_X_RENDERABLE, True,
                                GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                                GLX_RENDER_TYPE, GLX_RGBA_BIT,
                                GLX_DOUBLEBUFFER, doubleBuffer,
                                GLX_RED_SIZE, colourBits,
                                GLX_GREEN_SIZE, colourBits,
                                GLX_BLUE_SIZE, colourBits,
                                GLX_DEPTH_SIZE, 16,
                                None};
      if (GLXFBConfig config = PickConfig(attributes, true, rootVisual)) return config;
    }
  }
  return nullptr;
}

GLXFBConfig ConfigById(int id) {
  const int attributes[] = {GLX_FBCONFIG_ID, id, None};
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(TheX11Session().display, TheX11Session().screen, attributes, &count);
  GLXFBConfig config = count > 0 ? configs[0] : nullptr;
  if (configs != nullptr) XFree(configs);
  return config;
}

bool VisualMatches(GLXFBConfig config, Window window) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(TheX11Session().display, window, &attributes) == 0) return false;
  return ConfigAttrib(config, GLX_VISUAL_ID) == static_cast<int>(XVisualIDFromVisual(attributes.visual));
}
