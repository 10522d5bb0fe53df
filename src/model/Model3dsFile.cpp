#include "model/FileBytes.h"
#include "model/Model3ds.h"

int ReadModelFile(MeshData* mesh, const char16_t* path) {
  model::FileBytes bytes;
  if (model::ReadWholeFile(path, &bytes) != model::FileRead::Ok) return 0;
  return ReadModelMemory(mesh, bytes.data.get(), bytes.size);
}
