#pragma once
// How a finished frame reaches the screen. The default swaps the whole back
// buffer; a platform that can show part of a frame says which earlier frame
// the back buffer holds and shows only the pixels that changed.
#include "model/PixelRect.h"
class CScene;
class CSceneTarget;

class IFramePresenter {
 public:
  virtual ~IFramePresenter() = default;
  // Which frame the back buffer holds, so that a frame may redraw only what
  // differs from it: 1 the last one presented, N the one presented N-1
  // presents before that, 0 none known.
  virtual int BackBufferAge() { return 0; }
  // Shows the frame; `changed` holds every pixel that differs from the
  // frame shown before.
  virtual void Present(const std::vector<PixelRect>& changed) {
    static_cast<void>(changed);
    SwapWhole();
  }
  virtual void SwapWhole() = 0;
  // The last frame never reached the screen: the next is drawn whole, and
  // the frames before it are no longer what the buffers hold.
  virtual bool FrameLost() { return false; }
};

// Draws the scene's next frame, as much of it as the presenter allows, and
// presents it.
void DrawAndPresent(CScene& scene, IFramePresenter& presenter);
// The same for one of several targets, after the frame's CScene::BeginFrame;
// the target's drawable is current and the presenter's.
void DrawAndPresent(CScene& scene, CSceneTarget& target, IFramePresenter& presenter);
