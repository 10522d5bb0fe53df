#include "model/Cn3dmax.h"

#include <cstring>

#include "hub/Application.h"
#include "platform/GLHeaders.h"
#include "model/Model3ds.h"
#include "settings/DataPaths.h"

Ccn3dmax::Ccn3dmax() {
  active = 1;
  std::strcpy(typeTag, "cn3dmax");
}

Ccn3dmax::~Ccn3dmax() {
  ReleaseMeshList(mesh);
  DeleteMeshData(mesh);
  if (texture.textureName != 0) glDeleteTextures(1, &texture.textureName);
  delete[] texture.pixels;
}

int Ccn3dmax::LoadModel(CApplication* app) {
  owner = app;
  const CDataPaths* paths = app != nullptr ? app->paths : nullptr;
  return LoadModelFrom(paths != nullptr ? paths->modelPath : nullptr,
                       paths != nullptr ? paths->texturePath : nullptr);
}

int Ccn3dmax::LoadModelFrom(const char16_t* modelPath, const char16_t* texturePath) {
  ReleaseMeshList(mesh);
  DeleteMeshData(mesh);
  // Empty before the read, so a missing or unreadable file leaves no
  // geometry and the entry runs its full time without a model.
  mesh = NewMeshData();
  if (mesh != nullptr && modelPath != nullptr) ReadModelFile(mesh, modelPath);
  LoadTexture(texturePath, &texture);
  glEnable(GL_TEXTURE_2D);
  active = 1;
  return 1;
}

float Ccn3dmax::Turn() {
  clock->Sample();
  const float angle = AngleAt(clock->elapsed);
  if (angle < -261.0f) active = 0;
  return angle;
}

void Ccn3dmax::ApplyTurn(float angle) const {
  glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
  glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
  glRotatef(angle, 0.0f, 0.0f, 1.0f);
}

void Ccn3dmax::Prepare(const FrameView& view, FramePieces* pieces) {
  const int count = MeshPieceBounds(mesh);
  if (count == 0) return;
  glPushMatrix();
  ApplyTurn(angle_);
  float modelview[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  glPopMatrix();
  // The turn moves every piece; the mesh and texture tell entries apart.
  StateDigest digest;
  digest.Add(angle_).Add(mesh).Add(texture.textureName);
  for (int piece = 0; piece < count; ++piece) {
    const MeshVertex& low = mesh->pieceLow[piece];
    const MeshVertex& high = mesh->pieceHigh[piece];
    const float lo[3] = {low.x, low.y, low.z};
    const float hi[3] = {high.x, high.y, high.z};
    pieces->push_back({ProjectedBoxRect(modelview, view, lo, hi), StateDigest(digest).Add(piece).Value()});
  }
}

int Ccn3dmax::DrawView() {
  glPushMatrix();
  ApplyTurn(angle_);
  // Its own texture, or none: not whatever another model or scene in the
  // context bound last.
  glBindTexture(GL_TEXTURE_2D, texture.textureName);
  // Still drawn in the frame that ends the turn; the scene replaces it in the next.
  DrawMesh(mesh);
  glPopMatrix();
  return 1;
}
