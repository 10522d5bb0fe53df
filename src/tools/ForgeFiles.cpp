#include "tools/ForgeFiles.h"

#include "model/Model3ds.h"
#include "tools/ForgeGeometry.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

class CByteWriter {
 public:
  std::vector<uint8_t> bytes;

  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void F32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    U32(v);
  }

  // Opens a chunk; Close patches its length once the children are written.
  size_t Open(uint16_t id) {
    size_t at = bytes.size();
    U16(id);
    U32(0);
    return at;
  }
  void Close(size_t at) {
    uint32_t len = static_cast<uint32_t>(bytes.size() - at);
    for (int i = 0; i < 4; ++i) bytes[at + 2 + static_cast<size_t>(i)] = static_cast<uint8_t>(len >> (8 * i));
  }
};

// Written for other readers; ours skips them.
enum : uint16_t {
  ChunkVersion = 0x0002,
  ChunkMeshVersion = 0x3D3E,
  ChunkMasterScale = 0x0100,
};

}  // namespace

std::vector<uint8_t> Encode3ds(const ForgeModel& model) {
  CByteWriter w;
  size_t main = w.Open(kMainChunk);
  size_t version = w.Open(ChunkVersion);
  w.U32(3);
  w.Close(version);
  size_t editor = w.Open(kEditorChunk);
  size_t meshVersion = w.Open(ChunkMeshVersion);
  w.U32(3);
  w.Close(meshVersion);
  size_t scale = w.Open(ChunkMasterScale);
  w.F32(1.0f);
  w.Close(scale);
  for (const auto& o : model.objects) {
    size_t object = w.Open(kObjectBlock);
    for (char c : o.name.substr(0, 199)) w.U8(static_cast<uint8_t>(c));
    w.U8(0);
    size_t mesh = w.Open(kTriangleMesh);

    size_t vl = w.Open(kVertexList);
    w.U16(static_cast<uint16_t>(o.vertices.size()));
    for (const auto& v : o.vertices)
      for (float x : {v.x, v.y, v.z}) w.F32(x);
    w.Close(vl);

    size_t ml = w.Open(kMappingList);
    w.U16(static_cast<uint16_t>(o.vertices.size()));
    for (const auto& v : o.vertices)
      for (float x : {v.u, v.v}) w.F32(x);
    w.Close(ml);

    // Written after the vertex list: the face indices are relative to it.
    size_t fl = w.Open(kFaceList);
    w.U16(static_cast<uint16_t>(o.faces.size()));
    for (const auto& f : o.faces) {
      w.U16(f[0]);
      w.U16(f[1]);
      w.U16(f[2]);
      w.U16(0);
    }
    w.Close(fl);

    w.Close(mesh);
    w.Close(object);
  }
  w.Close(editor);
  w.Close(main);
  return std::move(w.bytes);
}

std::vector<uint8_t> EncodeDib24(int width, int height, const std::vector<uint8_t>& rgb) {
  CByteWriter w;
  const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height);
  const uint32_t offset = 14 + 40;
  w.U8('B');
  w.U8('M');
  w.U32(offset + imageBytes);
  w.U16(0);
  w.U16(0);
  w.U32(offset);
  w.U32(40);
  w.I32(width);
  w.I32(height);
  w.U16(1);
  w.U16(24);
  w.U32(0);  // BI_RGB
  w.U32(imageBytes);
  w.I32(2835);  // 72 dpi
  w.I32(2835);
  w.U32(0);
  w.U32(0);
  for (int y = height - 1; y >= 0; --y) {
    const uint8_t* row = rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
    for (int x = 0; x < width; ++x) {
      w.U8(row[x * 3 + 2]);
      w.U8(row[x * 3 + 1]);
      w.U8(row[x * 3 + 0]);
    }
    for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < rowBytes; ++pad) w.U8(0);
  }
  return std::move(w.bytes);
}

namespace {

bool SameContent(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::vector<uint8_t> existing(bytes.size() + 1);
  size_t got = std::fread(existing.data(), 1, existing.size(), f);
  std::fclose(f);
  return got == bytes.size() && std::equal(bytes.begin(), bytes.end(), existing.begin());
}

}  // namespace

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  // Several build trees may forge into one shared folder at once; an
  // unchanged file is left alone, and a changed one replaced in one step.
  if (SameContent(path, bytes)) return true;
  static std::atomic<unsigned> serial{0};
  const std::string temp = path + "." + std::to_string(getpid()) + "." + std::to_string(serial.fetch_add(1)) + ".part";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    *error = "cannot create " + temp + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    *error = "cannot write " + temp + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    *error = "cannot rename " + temp + " to " + path + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}
