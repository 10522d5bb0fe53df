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
  // Draws one frame and returns the rectangles of window pixels it changed.
  // With partialFrames the back buffer is taken to hold the last frame: only
  // the pixels of pieces that differ from the last frame's are cleared, and
  // drawing is cut to their bounds; the rest stays as it was (and anything
  // drawn again there draws the same pixels). Otherwise, and after
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
  bool partialFrames = false;

 private:
  bool fullFrameDue_ = true;
  FramePieces lastPieces_;
  FramePieces pieces_;
  std::vector<PixelRect> changed_;
};
