#pragma once
// The model drawable: one entry's mesh and texture, loaded and turned.
#include "model/Mesh.h"
#include "model/Object3d.h"
#include "model/Texture.h"
class CApplication;

class Ccn3dmax : public CObject3d {
 public:
  Ccn3dmax();
  ~Ccn3dmax() override;
  int LoadModel(CApplication* app);
  // LoadModel's work on explicit paths (either may be null); keeps `owner`.
  int LoadModelFrom(const char16_t* modelPath, const char16_t* texturePath);
  void Advance() override { angle_ = Turn(); }
  void Prepare(const FrameView& view, FramePieces* pieces) override;
  int DrawView() override;
  // Samples the clock, clears `active` once the half turn is complete and
  // returns the angle to draw at. Draw's animation without GL calls.
  float Turn();

  // The turn angle in degrees after t seconds; the entry ends below -261.
  static float AngleAt(float seconds) { return -7.0f * seconds - 81.0f; }

  CApplication* owner = nullptr;
  MeshData* mesh = nullptr;
  TextureInfo texture;

 private:
  void ApplyTurn(float angle) const;  // the model's placement on the current matrix

  float angle_ = AngleAt(0.0f);  // of the last Advance
};
