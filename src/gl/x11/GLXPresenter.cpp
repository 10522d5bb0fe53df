#include "gl/x11/GLXPresenter.h"

#include "gl/ExtensionSearch.h"

GLXPresenter::GLXPresenter() {
  X11Session& s = TheX11Session();
  // The root is shared with whatever else draws there, and its exposures are
  // not ours to hear: it gets whole frames.
  if (s.display == nullptr || s.window == 0 || s.window == s.root) return;
  if (!HasWholeWord(glXQueryExtensionsString(s.display, s.screen), "GLX_MESA_copy_sub_buffer")) return;
  copySubBuffer_ = reinterpret_cast<CopySubBuffer>(
      glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
}

void GLXPresenter::Present(const std::vector<PixelRect>& changed) {
  if (copySubBuffer_ == nullptr) {
    SwapWhole();
    return;
  }
  X11Session& s = TheX11Session();
  for (const PixelRect& rect : changed) {
    if (!rect.Empty()) copySubBuffer_(s.display, s.window, rect.x0, rect.y0, rect.Width(), rect.Height());
  }
}

void GLXPresenter::SwapWhole() { glXSwapBuffers(TheX11Session().display, TheX11Session().window); }
