#include "gl/FramePresenter.h"

#include "scene/Scene.h"

void DrawAndPresent(CScene& scene, IFramePresenter& presenter) {
  scene.backBufferAge = presenter.BackBufferAge();
  presenter.Present(scene.RenderScene());
}
