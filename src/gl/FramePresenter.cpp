#include "gl/FramePresenter.h"

#include "scene/Scene.h"

void DrawAndPresent(CScene& scene, IFramePresenter& presenter) {
  if (presenter.FrameLost()) scene.RequestFullFrame();
  scene.backBufferAge = presenter.BackBufferAge();
  presenter.Present(scene.RenderScene());
}
