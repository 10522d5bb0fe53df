#pragma once
// Presents the session's drawing window. With GLX_MESA_copy_sub_buffer only
// the changed pixels are copied to the front; no swap ever happens, so the
// back buffer keeps every frame for the next one to build on.
#include "gl/FramePresenter.h"
#include "gl/x11/X11Session.h"

class GLXPresenter final : public IFramePresenter {
 public:
  GLXPresenter();  // after the window and its context are made
  int BackBufferAge() override { return copySubBuffer_ != nullptr ? 1 : 0; }
  void Present(const std::vector<PixelRect>& changed) override;
  void SwapWhole() override;

 private:
  using CopySubBuffer = void (*)(Display*, GLXDrawable, int, int, int, int);
  CopySubBuffer copySubBuffer_ = nullptr;
};
