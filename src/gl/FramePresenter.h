#pragma once
// How a finished frame reaches the screen. The default swaps the whole back
// buffer; a platform that can show part of a frame keeps the back buffer
// from frame to frame and shows only the pixels that changed.
#include "model/PixelRect.h"
class CScene;

class IFramePresenter {
 public:
  virtual ~IFramePresenter() = default;
  // True while the back buffer holds the last frame presented (nothing
  // discards it), so that a frame may redraw only what changed.
  virtual bool KeepsBackBuffer() { return false; }
  // Shows the frame; `changed` holds every pixel that differs from the
  // frame shown before.
  virtual void Present(const std::vector<PixelRect>& changed) {
    static_cast<void>(changed);
    SwapWhole();
  }
  virtual void SwapWhole() = 0;
};

// Draws the scene's next frame, as much of it as the presenter allows, and
// presents it.
void DrawAndPresent(CScene& scene, IFramePresenter& presenter);
