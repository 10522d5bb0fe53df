// libFuzzer target: the 3D Studio chunk walk over arbitrary bytes.
#include <cstring>

#include "model/Mesh.h"
#include "model/Model3ds.h"

namespace {

// What the drawing code relies on, whatever the file held. Kept out of the
// coverage feedback: its comparisons say nothing about the reader.
__attribute__((no_sanitize("coverage"))) void CheckInvariants(const MeshData& mesh) {
  const int32_t counts[3] = {mesh.vertexCount, mesh.faceCount, mesh.texCoordCount};
  for (int32_t count : counts)
    if (count < 0 || count > MaxMeshItems) __builtin_trap();
  for (int f = 0; f < mesh.faceCount; ++f) {
    const MeshFace& face = mesh.faces[f];
    if (face.a < 0 || face.a > 63999 || face.b < 0 || face.b > 63998 || face.c < 0 || face.c > 63997)
      __builtin_trap();
  }
  bool ended = false;
  for (int i = 0; i < MaxMeshObjects && !ended; ++i) ended = mesh.objectFirstFace[i] == ObjectListEnd;
  if (!ended) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MeshData* const mesh = NewMeshData();
  std::memset(mesh, 0, sizeof *mesh);
  ReadModelMemory(mesh, data, size);
  CheckInvariants(*mesh);
  PrepareNormals(mesh);
  return 0;
}
