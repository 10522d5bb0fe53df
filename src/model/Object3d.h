#pragma once
// The drawable base: an active flag, a clock and the per-frame draw.
#include "model/PixelRect.h"
#include "model/Timer.h"
class CApplication;

class CObject3d {
 public:
  CObject3d();           // creates `clock`, not yet started; derived classes keep it
  virtual ~CObject3d();  // deletes `clock`
  CObject3d(const CObject3d&) = delete;
  CObject3d& operator=(const CObject3d&) = delete;

  virtual int Update() { return 1; }
  // A frame in three steps, so that one moment can be shown in several
  // views: Advance samples the clock once, then for each view (its matrices
  // current) Prepare lists the pieces of the picture DrawView will make there.
  virtual void Advance() { clock->Sample(); }
  // A drawable that cannot tell claims the whole view, changed in every frame.
  virtual void Prepare(const FrameView& view, FramePieces* pieces);
  // Draws the moment of the last Advance in the current view.
  virtual int DrawView() { return 1; }
  // A frame of its own, in the current view.
  int Draw() {
    Advance();
    return DrawView();
  }

  CTimer* clock = nullptr;
  CApplication* context = nullptr;
  int active = 0;
  char typeTag[32] = {};
};

// Byte-wise tag comparison, as the scene identifies model objects.
bool HasTypeTag(const CObject3d* object, const char* tag);
