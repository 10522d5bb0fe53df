#include "gl/FramePresenter.h"

#include "scene/Scene.h"

void DrawAndPresent(CScene& scene, CSceneTarget& target, IFramePresenter& presenter) {
  if (presenter.FrameLost()) target.RequestFullFrame();
  target.backBufferAge = presenter.BackBufferAge();
  presenter.Present(scene.DrawFrame(target));
}

void DrawAndPresent(CScene& scene, IFramePresenter& presenter) {
  scene.BeginFrame();
  DrawAndPresent(scene, scene.MainTarget(), presenter);
}
