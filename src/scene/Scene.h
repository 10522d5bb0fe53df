#pragma once
// The scene: GL state, camera, font lists and the current entry's drawables.
#include "scene/GlyphMetrics.h"
#include "hub/Application.h"
#include "model/PixelRect.h"
class CObject3d;

struct CCamera {
  double eyeX = 0, eyeY = 0, eyeZ = 0;
  double centreX = 0, centreY = 0, centreZ = 0;
  double angle = 0;   // degrees
  double radius = 0;
  void ComputeEye();  // eye from angle, radius, centre (pi taken as 3.141)
  void Orbit();       // ComputeEye, then gluLookAt on the current matrix
};

class CScene {
 public:
  CScene();
  ~CScene();
  CScene(const CScene&) = delete;
  CScene& operator=(const CScene&) = delete;

  void InitScene(CApplication* app);
  // The drawing area's size: viewport and projection follow it, the vertical
  // field of view stays, so a resized window shows the scene unstretched.
  // Everything that depends on the area's shape reads width, height, Aspect().
  void SetProjection(int newWidth, int newHeight);
  double Aspect() const;
  // Draws one frame and returns the rectangles of window pixels that differ
  // from the last frame's. With a backBufferAge of N the back buffer is taken
  // to hold the frame drawn N frames ago: only the pixels of pieces that
  // differ from that frame's are cleared, and drawing is cut to their bounds;
  // the rest stays as it was (and anything drawn again there draws the same
  // pixels). With an age of 0 or beyond kFrameHistory, and after
  // RequestFullFrame or a new projection, the whole view.
  const std::vector<PixelRect>& RenderScene();
  void RequestFullFrame() { fullFrameDue_ = true; }
  void SwitchFinishedEntries();
  void BuildFontLists();

  NativeHandle deviceContext = 0;
  CObject3d* objects[16] = {};
  int companion[16] = {};
  int objectCount = 0;
  unsigned listBase = 0;
  GlyphMetricsFloat* glyphMetrics = nullptr;  // kFontListCount entries, owned
  CCamera* camera = nullptr;
  int width = 0;
  int height = 0;
  CApplication* application = nullptr;
  int backBufferAge = 0;
  static constexpr int kFrameHistory = 4;

 private:
  bool fullFrameDue_ = true;
  // The pieces of the frames drawn since the last whole one, the latest
  // first; historyCount_ of them are known.
  FramePieces history_[kFrameHistory];
  int historyCount_ = 0;
  FramePieces pieces_;
  std::vector<PixelRect> changed_;
  std::vector<PixelRect> redrawn_;
};
