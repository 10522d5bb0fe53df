#pragma once
// Presents the session's drawing window. With GLX_MESA_copy_sub_buffer only
// the changed pixels are copied to the front; no swap ever happens, so the
// back buffer keeps every frame for the next one to build on.
#include "gl/FramePresenter.h"
#include "gl/x11/X11Session.h"

class GLXPresenter final : public IFramePresenter {
 public:
  int BackBufferAge() override;
  void Present(const std::vector<PixelRect>& changed) override;
  void SwapWhole() override;

 private:
  using CopySubBuffer = void (*)(Display*, GLXDrawable, int, int, int, int);
  // Follows the drawing window, made after the presenter and replaced when
  // a multisampled visual is chosen: a new window starts with a whole frame.
  void Follow();
  Window window_ = 0;
  bool fresh_ = false;
  CopySubBuffer copySubBuffer_ = nullptr;
};
