#pragma once
// The scene: GL state, camera, font lists and the current entry's drawables.
#include <vector>

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

// A GL drawable the scene is drawn into (a window, an EGL surface) and the
// views it holds, one per monitor it covers, each drawn with its own aspect;
// pixels in no view stay black. Each drawable has its own back buffer, so
// its own record of the frames drawn into it lately.
class CSceneTarget {
 public:
  // The drawable's size and its views, in GL window coordinates (origin
  // bottom left). The next frame drawn into it is whole.
  void Lay(int width, int height, std::vector<PixelRect> views);
  int Width() const { return width_; }
  int Height() const { return height_; }
  const std::vector<PixelRect>& Views() const { return views_; }
  void RequestFullFrame() { fullFrameDue_ = true; }
  // Which earlier frame of this drawable its back buffer holds, as
  // IFramePresenter::BackBufferAge tells; set before each DrawFrame.
  int backBufferAge = 0;
  static constexpr int kFrameHistory = 4;

 private:
  friend class CScene;
  int width_ = 0;
  int height_ = 0;
  std::vector<PixelRect> views_;
  bool fullFrameDue_ = true;
  unsigned fullFrameGeneration_ = 0;  // the scene's, at the last frame drawn
  // The pieces of the frames drawn since the last whole one, the latest
  // first; historyCount_ of them are known.
  FramePieces history_[kFrameHistory];
  int historyCount_ = 0;
  std::vector<PixelRect> changed_;
};

class CScene {
 public:
  CScene();
  ~CScene();
  CScene(const CScene&) = delete;
  CScene& operator=(const CScene&) = delete;

  void InitScene(CApplication* app);
  // The scene's own target is one drawing area of this size, one view over
  // all of it; the view's projection is made current. Every view keeps the
  // vertical field of view, so a resized window shows the scene unstretched.
  void SetProjection(int newWidth, int newHeight);
  // The target of SetProjection and RenderScene: the one drawable of a
  // window layer, whatever views it lays in it.
  CSceneTarget& MainTarget() { return target_; }

  // One frame: BeginFrame switches finished entries and samples every clock
  // once; DrawFrame then draws that moment into a target whose drawable is
  // current, once for each target shown. The objects drawn are those active
  // when the frame began: a model that ends its turn in it is still drawn
  // in every view.
  //
  // DrawFrame returns the rectangles of the target's pixels that differ from
  // the last frame drawn into it. With a backBufferAge of N the back buffer
  // is taken to hold the frame drawn into it N frames ago: only the pixels of
  // pieces that differ from that frame's are cleared, and drawing is cut to
  // their bounds; the rest stays as it was (and anything drawn again there
  // draws the same pixels). With an age of 0 or beyond kFrameHistory, and
  // after RequestFullFrame or a new layout, the whole target.
  void BeginFrame();
  const std::vector<PixelRect>& DrawFrame(CSceneTarget& target);
  // BeginFrame, then DrawFrame into the scene's own target with backBufferAge.
  const std::vector<PixelRect>& RenderScene();
  // Every target's next frame is whole.
  void RequestFullFrame() { ++fullFrameGeneration_; }
  void SwitchFinishedEntries();
  void BuildFontLists();

  NativeHandle deviceContext = 0;
  CObject3d* objects[16] = {};
  int companion[16] = {};
  int objectCount = 0;
  unsigned listBase = 0;
  GlyphMetricsFloat* glyphMetrics = nullptr;  // kFontListCount entries, owned
  CCamera* camera = nullptr;
  CApplication* application = nullptr;
  int backBufferAge = 0;  // of the scene's own target, for RenderScene
  static constexpr int kFrameHistory = CSceneTarget::kFrameHistory;

 private:
  static constexpr int kSlots = 16;
  // Makes the view's viewport, projection and camera current and describes it.
  FrameView ApplyView(const PixelRect& view) const;

  CSceneTarget target_;
  unsigned fullFrameGeneration_ = 0;
  bool drawn_[kSlots] = {};
  FramePieces pieces_;
  // Where each object's pieces start in pieces_, view by view.
  std::vector<size_t> firstPiece_;
  std::vector<PixelRect> redrawn_;
};
