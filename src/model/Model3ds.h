#pragma once
#include <cstddef>
#include <cstdint>
struct MeshData;

// Reads a 3D Studio chunk file into an empty MeshData. 1 when the file was
// opened and read to its end, 0 when it cannot be opened.
int ReadModelFile(MeshData* mesh, const char16_t* path);
// The same walk over bytes in memory (tests, fuzzing, tools).
int ReadModelMemory(MeshData* mesh, const uint8_t* data, size_t size);
