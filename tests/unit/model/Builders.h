#pragma once
// Byte-level builders for hand-made 3D Studio and DIB test files.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A folder of this test process's own for the files it writes, removed at
// exit: fixed names in the shared temporary folder would meet another
// user's (or run's) files there.
inline const std::string& TestFileDir() {
  // Never destroyed: the exit handler still reads it.
  static const std::string* const dir = [] {
    auto* made = new std::string(std::filesystem::temp_directory_path().string() + "/lumi-model-XXXXXX");
    if (mkdtemp(made->data()) == nullptr) std::abort();
    *made += '/';
    std::atexit([] { std::filesystem::remove_all(TestFileDir()); });
    return made;
  }();
  return *dir;
}

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline void PutF(Bytes& b, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  Put32(b, u);
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// ---- 3D Studio chunks ----
inline Bytes Chunk(uint16_t id, const Bytes& body) {
  Bytes b;
  Put16(b, id);
  Put32(b, static_cast<uint32_t>(6 + body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}
inline Bytes RawHeader(uint16_t id, uint32_t length) {
  Bytes b;
  Put16(b, id);
  Put32(b, length);
  return b;
}
struct V3 { float x, y, z; };
struct F3 { uint16_t a, b, c, flags; };
inline Bytes VertexList(const std::vector<V3>& vs) {
  Bytes b;
  Put16(b, static_cast<uint32_t>(vs.size()));
  for (const V3& v : vs) { PutF(b, v.x); PutF(b, v.y); PutF(b, v.z); }
  return Chunk(0x4110, b);
}
inline Bytes FaceList(const std::vector<F3>& fs, const Bytes& subChunks = {}) {
  Bytes b;
  Put16(b, static_cast<uint32_t>(fs.size()));
  for (const F3& f : fs) { Put16(b, f.a); Put16(b, f.b); Put16(b, f.c); Put16(b, f.flags); }
  b.insert(b.end(), subChunks.begin(), subChunks.end());
  return Chunk(0x4120, b);
}
inline Bytes MappingList(const std::vector<std::pair<float, float>>& uvs) {
  Bytes b;
  Put16(b, static_cast<uint32_t>(uvs.size()));
  for (const auto& uv : uvs) { PutF(b, uv.first); PutF(b, uv.second); }
  return Chunk(0x4140, b);
}
inline Bytes Object(const std::string& name, const Bytes& mesh) {
  Bytes b(name.begin(), name.end());
  b.push_back(0);
  return Chunk(0x4000, Cat({b, Chunk(0x4100, mesh)}));
}
inline Bytes Main(const Bytes& editorBody) { return Chunk(0x4D4D, Chunk(0x3D3D, editorBody)); }

// ---- DIB files ----
inline Bytes FileHeader(uint32_t fileSize, uint32_t pixelOffset) {
  Bytes b{'B', 'M'};
  Put32(b, fileSize);
  Put32(b, 0);
  Put32(b, pixelOffset);
  return b;
}
inline Bytes InfoHeader(int32_t w, int32_t h, uint16_t bits, uint32_t compression = 0,
                        uint32_t coloursUsed = 0, uint32_t size = 40) {
  Bytes b;
  Put32(b, size);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(h));
  Put16(b, 1);
  Put16(b, bits);
  Put32(b, compression);
  for (int i = 0; i < 3; ++i) Put32(b, 0);  // image size, resolutions
  Put32(b, coloursUsed);
  Put32(b, 0);
  b.resize(size, 0);
  return b;
}
// A complete file: file header + info header + table + pixels.
inline Bytes BmpFile(const Bytes& info, const Bytes& table, const Bytes& pixels) {
  const uint32_t offset = static_cast<uint32_t>(14 + info.size() + table.size());
  return Cat({FileHeader(offset + static_cast<uint32_t>(pixels.size()), offset), info, table, pixels});
}
