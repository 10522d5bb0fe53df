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

int Ccn3dmax::Draw() {
  glPushMatrix();
  const float angle = Turn();
  glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
  glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
  glRotatef(angle, 0.0f, 0.0f, 1.0f);
  // Still drawn in the frame that ends the turn; the scene replaces it in the next.
  DrawMesh(mesh);
  glPopMatrix();
  return 1;
}
