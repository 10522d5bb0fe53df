#pragma once
// The 3D Studio chunk format: reader into a mesh, chunk ids shared with the forge.
#include <cstddef>
#include <cstdint>
struct MeshData;

// Chunk ids of the 3D Studio subset the reader walks (and the forge writes).
enum ChunkId : uint16_t {
  kMainChunk = 0x4D4D,
  kEditorChunk = 0x3D3D,
  kObjectBlock = 0x4000,
  kTriangleMesh = 0x4100,
  kVertexList = 0x4110,
  kFaceList = 0x4120,
  kMappingList = 0x4140,
};

// Reads a 3D Studio chunk file into an empty MeshData. 1 when the file was
// opened and read to its end, 0 when it cannot be opened (or is larger than
// any model, 256 MiB); the mesh is then untouched.
int ReadModelFile(MeshData* mesh, const char16_t* path);
// The same walk over bytes in memory (tests, fuzzing, tools).
// The walk never reads past `size`: a header cut by the end ends it; a list
// cut by the end keeps its announced count, its records the file lacks (a
// partial one included) read as zeros;
// an unknown chunk whose length is below 6, or whose skip is negative as a
// signed 32-bit offset, ends it.
int ReadModelMemory(MeshData* mesh, const uint8_t* data, size_t size);
