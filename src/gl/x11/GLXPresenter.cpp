#include "gl/x11/GLXPresenter.h"

#include "gl/ExtensionSearch.h"

void GLXPresenter::Follow() {
  X11Session& s = TheX11Session();
  if (s.window == window_) return;
  window_ = s.window;
  fresh_ = true;
  copySubBuffer_ = nullptr;
  // The root is shared with whatever else draws there, and its exposures are
  // not ours to hear: it gets whole frames.
  if (s.display == nullptr || s.window == 0 || s.window == s.root) return;
  if (!HasWholeWord(glXQueryExtensionsString(s.display, s.screen), "GLX_MESA_copy_sub_buffer")) return;
  copySubBuffer_ = reinterpret_cast<CopySubBuffer>(
      glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
}

// copy_sub_buffer never swaps: the back buffer always holds the last frame.
int GLXPresenter::BackBufferAge() {
  Follow();
  return copySubBuffer_ != nullptr && !fresh_ ? 1 : 0;
}

void GLXPresenter::Present(const std::vector<PixelRect>& changed) {
  Follow();
  fresh_ = false;
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
