// The 3D Studio chunk walk over bytes in memory. Every read is bounds
// checked against the buffer; the walk ends instead of going past its end.
#include <cstring>

#include "model/Mesh.h"
#include "model/Model3ds.h"

namespace {

constexpr int kLastItemSlot = MaxMeshItems - 1;
constexpr int kLastObjectSlot = MaxMeshObjects - 2;  // the slot after it takes the end mark
constexpr size_t kNameBytes = sizeof(MeshData::objectNames[0]);

int32_t ClampTotal(int64_t total) {
  return total < MaxMeshItems ? static_cast<int32_t>(total) : MaxMeshItems;
}
int32_t ItemSlot(int32_t total, int32_t j) {
  const int64_t slot = int64_t{total} + j;
  return slot < kLastItemSlot ? static_cast<int32_t>(slot) : kLastItemSlot;
}

// A cursor over the file bytes. A read that would cross the end takes the
// bytes that are there, zero-fills the rest and leaves the cursor at the
// end, which ends the walk.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool AtEnd() const { return pos_ >= size_; }
  size_t Remaining() const { return size_ - pos_; }

  void Read(void* out, size_t bytes) {
    const size_t have = bytes <= Remaining() ? bytes : Remaining();
    if (have > 0) std::memcpy(out, data_ + pos_, have);
    if (have < bytes) std::memset(static_cast<uint8_t*>(out) + have, 0, bytes - have);
    pos_ += have;
  }
  uint16_t U16() {
    uint8_t b[2];
    Read(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
  }
  uint32_t U32() {
    uint8_t b[4];
    Read(b, 4);
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
  }
  float F32() {
    const uint32_t bits = U32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // Skips forward; false when the target lies past the end (the walk ends).
  bool Skip(size_t bytes) {
    if (bytes > Remaining()) {
      pos_ = size_;
      return false;
    }
    pos_ += bytes;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Reads a list's u16 count and its records into the slots from `total` on,
// items past the last slot all landing in it. Records the file lacks take
// the value `missing`. Returns the announced count.
template <typename T, typename ReadRecord>
int32_t StoreList(Cursor& in, T* slots, int32_t total, size_t recordBytes, const T& missing, ReadRecord read) {
  const int32_t n = in.U16();
  const size_t whole = in.Remaining() / recordBytes;
  const int32_t present = whole < static_cast<size_t>(n) ? static_cast<int32_t>(whole) : n;
  for (int32_t j = 0; j < present; ++j) read(slots[ItemSlot(total, j)]);
  if (present < n) {
    in.Skip(in.Remaining());
    const int32_t last = ItemSlot(total, n - 1);
    for (int32_t slot = ItemSlot(total, present); slot <= last; ++slot) slots[slot] = missing;
  }
  return n;
}

}  // namespace

int ReadModelMemory(MeshData* mesh, const uint8_t* data, size_t size) {
  if (mesh == nullptr) return 0;
  if (data == nullptr) size = 0;
  Cursor in(data, size);
  int objectIndex = -1;
  int32_t vertexTotal = 0, faceTotal = 0, mappingTotal = 0, vertexBase = 0;

  // Every pass consumes at least the six header bytes, so the walk ends.
  bool walking = true;
  while (walking && !in.AtEnd()) {
    if (in.Remaining() < 6) break;  // a header cut by the end of the file
    const uint16_t id = in.U16();
    const uint32_t length = in.U32();
    switch (id) {
      case kMainChunk:
      case kEditorChunk:
      case kTriangleMesh:
        break;  // entered: the next header is the first child
      case kObjectBlock: {
        if (objectIndex < kLastObjectSlot) ++objectIndex;
        char* name = mesh->objectNames[objectIndex];
        // Up to and including a NUL, at most the slot's 200 bytes; a name
        // without a NUL fills the slot and the walk goes on after it.
        size_t stored = 0;
        while (stored < kNameBytes && !in.AtEnd()) {
          const uint8_t c = in.Byte();
          name[stored++] = static_cast<char>(c);
          if (c == 0) break;
        }
        if (stored < kNameBytes && (stored == 0 || name[stored - 1] != '\0')) name[stored] = '\0';
        mesh->objectFirstFace[objectIndex] = faceTotal;
        break;
      }
      case kVertexList: {
        const int32_t n = StoreList(in, mesh->vertices, vertexTotal, 12, MeshVertex{}, [&in](MeshVertex& v) {
          v.x = in.F32();
          v.y = in.F32();
          v.z = in.F32();
        });
        vertexBase = vertexTotal;
        vertexTotal = ClampTotal(int64_t{vertexTotal} + n);
        mesh->normalsReady = 0;
        break;
      }
      case kFaceList: {
        const int32_t base = vertexBase;
        auto face = [base](int32_t a, int32_t b, int32_t c, int32_t flags) {
          a += base;
          b += base;
          c += base;
          return MeshFace{a < kLastItemSlot ? a : kLastItemSlot, b < kLastItemSlot - 1 ? b : kLastItemSlot - 1,
                          c < kLastItemSlot - 2 ? c : kLastItemSlot - 2, flags};
        };
        const int32_t n = StoreList(in, mesh->faces, faceTotal, 8, face(0, 0, 0, 0), [&in, &face](MeshFace& f) {
          const int32_t a = in.U16(), b = in.U16(), c = in.U16();
          f = face(a, b, c, in.U16());
        });
        faceTotal = ClampTotal(int64_t{faceTotal} + n);
        // The face list's own sub-chunks (materials, smoothing groups) come
        // next and are skipped one by one as unknown chunks.
        break;
      }
      case kMappingList: {
        const int32_t n = StoreList(in, mesh->texCoords, mappingTotal, 8, MeshTexCoord{}, [&in](MeshTexCoord& t) {
          t.u = in.F32();
          t.v = in.F32();
        });
        mappingTotal = ClampTotal(int64_t{mappingTotal} + n);
        break;
      }
      default: {
        // A length below the header's own six bytes, or one whose skip is
        // negative as a signed 32-bit offset, would step backwards or onto
        // the same header again: the walk ends there.
        walking = length >= 6 && length - 6 <= 0x7FFFFFFFu && in.Skip(length - 6);
        break;
      }
    }
  }
  mesh->objectFirstFace[objectIndex + 1] = ObjectListEnd;
  mesh->vertexCount = vertexTotal;
  mesh->faceCount = faceTotal;
  mesh->texCoordCount = mappingTotal;
  return 1;
}
