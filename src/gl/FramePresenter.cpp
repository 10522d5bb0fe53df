#include "gl/FramePresenter.h"

#include "scene/Scene.h"

void DrawAndPresent(CScene& scene, IFramePresenter& presenter) {
  scene.partialFrames = presenter.KeepsBackBuffer();
  presenter.Present(scene.RenderScene());
}
