#include <cmath>
#include <cstdlib>
#include <type_traits>

#include "model/Mesh.h"

static_assert(std::is_trivial_v<MeshData>, "MeshData is allocated with calloc");

MeshData* NewMeshData() {
  // Zero-filled, so slots the file never fills hold zeros rather than stale
  // heap bytes. calloc gets fresh pages already zeroed from the system and
  // never touches the 3 MB a smaller model leaves unused: each page touched
  // costs a page fault in the frame that switches entries.
  return static_cast<MeshData*>(std::calloc(1, sizeof(MeshData)));
}

void DeleteMeshData(MeshData* mesh) { std::free(mesh); }

namespace {

// The reader keeps every index below MaxMeshItems; the check keeps a mesh
// filled by other means from reaching outside the arrays.
const MeshVertex& VertexAt(const MeshData& mesh, int32_t index) {
  static const MeshVertex kOrigin{0.0f, 0.0f, 0.0f};
  if (index < 0 || index >= MaxMeshItems) return kOrigin;
  return mesh.vertices[index];
}

}  // namespace

MeshVertex FaceNormal(const MeshData& mesh, const MeshFace& face) {
  const MeshVertex& a = VertexAt(mesh, face.a);
  const MeshVertex& b = VertexAt(mesh, face.b);
  const MeshVertex& c = VertexAt(mesh, face.c);
  const float e1x = b.x - a.x, e1y = b.y - a.y, e1z = b.z - a.z;
  const float e2x = c.x - a.x, e2y = c.y - a.y, e2z = c.z - a.z;
  return MeshVertex{e1y * e2z - e1z * e2y, e1z * e2x - e1x * e2z, e1x * e2y - e1y * e2x};
}

int MeshFaceLimit(const MeshData& mesh) {
  if (mesh.faceCount < 0) return 0;
  return mesh.faceCount < MaxMeshItems ? mesh.faceCount : MaxMeshItems;
}

int MeshPieceBounds(MeshData* mesh) {
  if (mesh == nullptr) return 0;
  if (mesh->boundsReady) return mesh->pieceCount;
  mesh->boundsReady = 1;
  mesh->pieceCount = 0;
  const int faces = MeshFaceLimit(*mesh);
  if (faces == 0) return 0;
  // Where each piece starts: the objects' first faces while they ascend.
  int32_t starts[MaxMeshObjects];
  int count = 0;
  starts[count++] = 0;
  for (int i = 0; i < MaxMeshObjects && mesh->objectFirstFace[i] != ObjectListEnd; ++i) {
    const int32_t first = mesh->objectFirstFace[i];
    if (first == starts[count - 1]) continue;  // an object without faces
    if (first >= faces) break;
    if (first < starts[count - 1] || count == MaxMeshObjects) {
      count = 1;  // out of order: one box
      break;
    }
    starts[count++] = first;
  }
  for (int piece = 0; piece < count; ++piece) {
    const int end = piece + 1 < count ? starts[piece + 1] : faces;
    MeshVertex lo{HUGE_VALF, HUGE_VALF, HUGE_VALF};
    MeshVertex hi{-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    for (int f = starts[piece]; f < end; ++f) {
      const MeshFace& face = mesh->faces[f];
      const int32_t corners[3] = {face.a, face.b, face.c};
      for (const int32_t corner : corners) {
        const MeshVertex v = corner >= 0 && corner < MaxMeshItems ? mesh->vertices[corner] : MeshVertex{0, 0, 0};
        lo = {std::fmin(lo.x, v.x), std::fmin(lo.y, v.y), std::fmin(lo.z, v.z)};
        hi = {std::fmax(hi.x, v.x), std::fmax(hi.y, v.y), std::fmax(hi.z, v.z)};
      }
    }
    mesh->pieceLow[piece] = lo;
    mesh->pieceHigh[piece] = hi;
  }
  mesh->pieceCount = count;
  return count;
}

void PrepareNormals(MeshData* mesh) {
  if (mesh == nullptr || mesh->normalsReady) return;
  const int faces = MeshFaceLimit(*mesh);
  for (int f = 0; f < faces; ++f) mesh->faceNormals[f] = FaceNormal(*mesh, mesh->faces[f]);
  mesh->normalsReady = 1;
}
