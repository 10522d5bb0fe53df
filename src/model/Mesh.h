#pragma once
// The fixed-capacity mesh record a model file is read into.
#include <cstdint>

inline constexpr int MaxMeshItems = 64000;
inline constexpr int MaxMeshObjects = 200;
inline constexpr int32_t ObjectListEnd = 9999999;

struct MeshVertex { float x, y, z; };
struct MeshTexCoord { float u, v; };
struct MeshFace { int32_t a, b, c, flags; };

// One fixed-capacity record per model, allocated in one piece, never resized.
struct MeshData {
  char objectNames[MaxMeshObjects][200];
  int32_t objectFirstFace[MaxMeshObjects];
  int32_t vertexCount;
  int32_t faceCount;
  int32_t texCoordCount;
  MeshVertex vertices[MaxMeshItems];
  MeshFace faces[MaxMeshItems];
  MeshTexCoord texCoords[MaxMeshItems];
  MeshVertex faceNormals[MaxMeshItems];
  int32_t normalsReady;
  // GL display list holding the mesh's batch as DrawMesh last issued it;
  // valid while normalsReady is 1, 0 when none. Released by ReleaseMeshList.
  uint32_t displayList;
  // Boxes around the drawn corners of each object's faces, once
  // MeshPieceBounds has found them.
  int32_t boundsReady;
  int32_t pieceCount;
  MeshVertex pieceLow[MaxMeshObjects];
  MeshVertex pieceHigh[MaxMeshObjects];
};

// Zero-filled, all counts 0, no objects.
MeshData* NewMeshData();
void DeleteMeshData(MeshData* mesh);

// Flat face normal (not normalised) as DrawMesh computes it.
MeshVertex FaceNormal(const MeshData& mesh, const MeshFace& face);
// faceCount limited to 0..MaxMeshItems, the number of faces drawn.
int MeshFaceLimit(const MeshData& mesh);
// Boxes around the corners the faces draw (an out-of-range corner is the
// origin), one per run of faces an object starts (where the objects' first
// faces make no ascending order, one for all); the number of boxes, 0
// without faces. The boxes stay in the mesh.
int MeshPieceBounds(MeshData* mesh);
// Fills faceNormals when normalsReady is 0 and sets it to 1.
void PrepareNormals(MeshData* mesh);
// Draws the whole mesh as textured triangles (GL context current). The
// first draw after a load computes the normals and records the batch in a
// display list; later draws replay it.
void DrawMesh(MeshData* mesh);
// Deletes the display list (GL context current); the mesh stays valid.
void ReleaseMeshList(MeshData* mesh);
