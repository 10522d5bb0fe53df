// lumitool: inspects model and bitmap files with the program's own readers.
//
//   model-info FILE   vertices: N / faces: N / mappings: N / objects: K, then
//                     per object `object I: "NAME" first face F` (bytes outside
//                     printable ASCII as \xHH) and `bbox: minX minY minZ maxX
//                     maxY maxZ` (or `bbox: none`). Exit 1 when the file cannot
//                     be opened.
//   bitmap FILE [--png OUT]
//                     width: W / height: H / crc32: HHHHHHHH (zlib CRC-32 of
//                     the RGB bytes, bottom row first), or `error: MESSAGE` and
//                     exit 1. --png writes the image upright.
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "model/Dib.h"
#include "model/FileBytes.h"
#include "model/Mesh.h"
#include "model/Model3ds.h"
#include "platform/Text.h"
#include "tools/Forge.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: lumitool model-info FILE\n"
               "       lumitool bitmap FILE [--png OUT]\n"
               "       lumitool forge ...\n");
  return 2;
}

// Object names are raw bytes and may fill their 200-byte slot without a NUL.
std::string PrintableName(const char* name, size_t capacity) {
  std::string out;
  for (size_t i = 0; i < capacity && name[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  return out;
}

int ModelInfo(const char* path) {
  std::unique_ptr<MeshData, void (*)(MeshData*)> mesh(NewMeshData(), DeleteMeshData);
  if (!mesh) {
    std::fprintf(stderr, "out of memory\n");
    return 1;
  }
  if (ReadModelFile(mesh.get(), text::FromUtf8(path).c_str()) == 0) {
    std::fprintf(stderr, "cannot open model file %s\n", path);
    return 1;
  }
  const MeshData& m = *mesh;
  std::printf("vertices: %d\nfaces: %d\nmappings: %d\n", m.vertexCount, m.faceCount, m.texCoordCount);
  int objects = 0;
  while (objects < MaxMeshObjects && m.objectFirstFace[objects] != ObjectListEnd) ++objects;
  std::printf("objects: %d\n", objects);
  for (int i = 0; i < objects; ++i) {
    std::printf("object %d: \"%s\" first face %d\n", i,
                PrintableName(m.objectNames[i], sizeof m.objectNames[i]).c_str(), m.objectFirstFace[i]);
  }
  if (m.vertexCount <= 0) {
    std::printf("bbox: none\n");
    return 0;
  }
  MeshVertex lo = m.vertices[0], hi = m.vertices[0];
  for (int i = 1; i < m.vertexCount && i < MaxMeshItems; ++i) {
    const MeshVertex& v = m.vertices[i];
    lo = {std::fmin(lo.x, v.x), std::fmin(lo.y, v.y), std::fmin(lo.z, v.z)};
    hi = {std::fmax(hi.x, v.x), std::fmax(hi.y, v.y), std::fmax(hi.z, v.z)};
  }
  std::printf("bbox: %g %g %g %g %g %g\n", lo.x, lo.y, lo.z, hi.x, hi.y, hi.z);
  return 0;
}

// CRC-32 as zlib and Python's zlib.crc32 compute it.
uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

bool WritePng(const char* path, const RgbImage& image) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  // The rows are bottom first; a negative stride writes them top first.
  const png_int_32 stride = -static_cast<png_int_32>(image.width * 3);
  const bool ok = png_image_write_to_file(&png, path, 0, image.pixels, stride, nullptr) != 0;
  if (!ok) std::fprintf(stderr, "cannot write %s: %s\n", path, png.message);
  png_image_free(&png);
  return ok;
}

int Bitmap(const char* path, const char* pngOut) {
  const std::u16string path16 = text::FromUtf8(path);
  model::FileBytes bytes;
  DibStatus status = DibStatus::Ok;
  switch (model::ReadWholeFile(path16.c_str(), &bytes)) {
    case model::FileRead::Ok: break;
    case model::FileRead::TooLarge: status = DibStatus::OutOfMemory; break;
    default: status = DibStatus::OpenFailed; break;
  }
  RgbImage* image = nullptr;
  if (status == DibStatus::Ok) status = DecodeDib(bytes.data.get(), bytes.size, &image);
  if (status != DibStatus::Ok) {
    std::string message = text::ToUtf8(DibErrorText(status, path16.c_str()));
    while (!message.empty() && message.back() == '\n') message.pop_back();
    std::printf("error: %s\n", message.c_str());
    return 1;
  }
  const size_t size = size_t(image->width) * size_t(image->height) * 3;
  std::printf("width: %d\nheight: %d\ncrc32: %08x\n", image->width, image->height, Crc32(image->pixels, size));
  const bool written = pngOut == nullptr || WritePng(pngOut, *image);
  FreeRgbImage(image);
  return written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (command == "model-info" && argc == 3) return ModelInfo(argv[2]);
  if (command == "bitmap" && argc == 3) return Bitmap(argv[2], nullptr);
  if (command == "bitmap" && argc == 5 && std::strcmp(argv[3], "--png") == 0) return Bitmap(argv[2], argv[4]);
  if (command == "forge") return ForgeCommand(argc - 1, argv + 1);
  return Usage();
}
