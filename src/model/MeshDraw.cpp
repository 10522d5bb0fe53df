#include "platform/GLHeaders.h"
#include "model/Mesh.h"

namespace {

// One batch for the whole mesh: a normal per face, then a texture
// coordinate and a vertex per corner, in the file's face and corner order.
void IssueBatch(const MeshData& mesh) {
  const int faces = MeshFaceLimit(mesh);
  glBegin(GL_TRIANGLES);
  for (int f = 0; f < faces; ++f) {
    const MeshFace& face = mesh.faces[f];
    const MeshVertex& n = mesh.faceNormals[f];
    glNormal3f(n.x, n.y, n.z);
    const int32_t corners[3] = {face.a, face.b, face.c};
    for (const int32_t corner : corners) {
      // Same rule as the normals: a corner outside the arrays is the origin.
      if (corner < 0 || corner >= MaxMeshItems) {
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(0.0f, 0.0f, 0.0f);
        continue;
      }
      glTexCoord2f(mesh.texCoords[corner].u, mesh.texCoords[corner].v);
      glVertex3f(mesh.vertices[corner].x, mesh.vertices[corner].y, mesh.vertices[corner].z);
    }
  }
  glEnd();
}

}  // namespace

void DrawMesh(MeshData* mesh) {
  if (mesh == nullptr) return;
  // Issuing 64000 faces call by call costs a large share of a core at 20
  // frames per second; replaying the recorded batch costs almost nothing.
  if (mesh->normalsReady && mesh->displayList != 0) {
    glCallList(mesh->displayList);
    return;
  }
  ReleaseMeshList(mesh);
  PrepareNormals(mesh);
  const GLuint list = glGenLists(1);
  if (list == 0) {
    IssueBatch(*mesh);
    return;
  }
  glNewList(list, GL_COMPILE);
  IssueBatch(*mesh);
  glEndList();
  mesh->displayList = list;
  glCallList(list);
}

void ReleaseMeshList(MeshData* mesh) {
  if (mesh == nullptr || mesh->displayList == 0) return;
  glDeleteLists(mesh->displayList, 1);
  mesh->displayList = 0;
}
