#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "Builders.h"
#include "model/FileBytes.h"
#include "model/Mesh.h"
#include "model/Model3ds.h"
#include "platform/Text.h"

namespace {

struct MeshDeleter {
  void operator()(MeshData* m) const { DeleteMeshData(m); }
};
using MeshPtr = std::unique_ptr<MeshData, MeshDeleter>;

MeshPtr Read(const Bytes& file) {
  MeshPtr mesh(NewMeshData());
  // An exactly sized heap copy, so a read past the end is a real overrun.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[file.size() + 1]);
  if (!file.empty()) std::memcpy(copy.get(), file.data(), file.size());
  EXPECT_EQ(1, ReadModelMemory(mesh.get(), copy.get(), file.size()));
  return mesh;
}

Bytes Quad4() { return VertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}); }

const Bytes kOneObject = Main(Object(
    "A", Cat({VertexList({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), FaceList({{0, 2, 1, 0x0007}}),
              MappingList({{0.0f, 0.5f}, {1.0f, 0.25f}, {0.75f, 1.0f}})})));

}  // namespace

TEST(ModelReader, EmptyFileReadsNothing) {
  MeshPtr m = Read({});
  EXPECT_EQ(0, m->vertexCount);
  EXPECT_EQ(0, m->faceCount);
  EXPECT_EQ(0, m->texCoordCount);
  EXPECT_EQ(ObjectListEnd, m->objectFirstFace[0]);
}

TEST(ModelReader, OneObjectWithAndWithoutMainChunk) {
  MeshPtr m = Read(kOneObject);
  EXPECT_EQ(3, m->vertexCount);
  EXPECT_EQ(1, m->faceCount);
  EXPECT_EQ(3, m->texCoordCount);
  EXPECT_STREQ("A", m->objectNames[0]);
  EXPECT_EQ(0, m->objectFirstFace[0]);
  EXPECT_EQ(9999999, m->objectFirstFace[1]);
  EXPECT_EQ(0, m->faces[0].a);
  EXPECT_EQ(2, m->faces[0].b);
  EXPECT_EQ(1, m->faces[0].c);
  EXPECT_EQ(7, m->faces[0].flags);
  EXPECT_FLOAT_EQ(8.0f, m->vertices[2].y);
  EXPECT_FLOAT_EQ(0.25f, m->texCoords[1].v);
  EXPECT_EQ(0, m->normalsReady);

  // An editor chunk at the top, without the main chunk around it.
  const Bytes bare(kOneObject.begin() + 6, kOneObject.end());
  MeshPtr b = Read(bare);
  EXPECT_EQ(0, std::memcmp(m.get(), b.get(), sizeof(MeshData)));
}

TEST(ModelReader, SecondObjectFacesAddTheVertexBase) {
  MeshPtr m = Read(Main(Cat({Object("one", Cat({Quad4(), FaceList({{0, 1, 2, 0}})})),
                             Object("two", Cat({Quad4(), FaceList({{0, 1, 2, 0}})}))})));
  EXPECT_EQ(8, m->vertexCount);
  EXPECT_EQ(2, m->faceCount);
  EXPECT_EQ(4, m->faces[1].a);
  EXPECT_EQ(5, m->faces[1].b);
  EXPECT_EQ(6, m->faces[1].c);
  EXPECT_STREQ("two", m->objectNames[1]);
  EXPECT_EQ(1, m->objectFirstFace[1]);
  EXPECT_EQ(ObjectListEnd, m->objectFirstFace[2]);
}

TEST(ModelReader, FaceListSubChunksAreSkipped) {
  Bytes material{'m', 'a', 't', 0};
  Put16(material, 1);
  Put16(material, 0);
  Bytes smoothing;
  Put32(smoothing, 1);
  const Bytes subs = Cat({Chunk(0x4130, material), Chunk(0x4150, smoothing)});
  MeshPtr m = Read(Main(Cat({Object("one", Cat({Quad4(), FaceList({{0, 1, 2, 0}}, subs)})),
                             Object("two", Cat({Quad4(), FaceList({{3, 2, 1, 0}})}))})));
  EXPECT_EQ(2, m->faceCount);
  EXPECT_EQ(7, m->faces[1].a);
  EXPECT_EQ(5, m->faces[1].c);
  EXPECT_STREQ("two", m->objectNames[1]);
}

TEST(ModelReader, UnknownChunkIsSkippedByItsLength) {
  // The skipped chunk hides a vertex list; the reader must land exactly
  // 1000 bytes after the chunk's start, on the list that follows it.
  Bytes hidden = VertexList({{9, 9, 9}});
  hidden.resize(1000 - 6, 0xEE);
  const Bytes keyframer = Cat({RawHeader(0xB000, 1000), hidden});
  ASSERT_EQ(1000u, keyframer.size());
  MeshPtr m = Read(Cat({keyframer, VertexList({{1, 2, 3}, {4, 5, 6}})}));
  EXPECT_EQ(2, m->vertexCount);
  EXPECT_FLOAT_EQ(1.0f, m->vertices[0].x);
  EXPECT_FLOAT_EQ(6.0f, m->vertices[1].z);
}

TEST(ModelReader, LengthsThatWouldNotMoveForwardEndTheRead) {
  for (uint32_t length : {0u, 1u, 5u, 0x80000006u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(length);
    MeshPtr m = Read(Cat({VertexList({{1, 1, 1}}), RawHeader(0xA000, length), VertexList({{2, 2, 2}})}));
    EXPECT_EQ(1, m->vertexCount);
  }
  // Six bytes is an empty chunk: the walk goes on with the next header.
  MeshPtr m = Read(Cat({RawHeader(0xA000, 6), VertexList({{2, 2, 2}})}));
  EXPECT_EQ(1, m->vertexCount);
}

TEST(ModelReader, VerticesBeyondCapacityClampIntoTheLastSlot) {
  std::vector<V3> first(40000), second(40000);
  for (int i = 0; i < 40000; ++i) {
    first[i] = {float(i), 0, 0};
    second[i] = {float(40000 + i), 1, 0};
  }
  MeshPtr m = Read(Main(Cat({Object("a", VertexList(first)),
                             Object("b", Cat({VertexList(second), FaceList({{0, 1, 2, 0}, {30000, 30000, 30000, 0}})}))})));
  EXPECT_EQ(64000, m->vertexCount);
  EXPECT_FLOAT_EQ(39999.0f, m->vertices[39999].x);
  EXPECT_FLOAT_EQ(40000.0f, m->vertices[40000].x);
  EXPECT_FLOAT_EQ(63998.0f, m->vertices[63998].x);
  EXPECT_FLOAT_EQ(79999.0f, m->vertices[63999].x);  // the last of the second list
  // The vertex base of the second object is 40000, and corners are capped.
  EXPECT_EQ(40000, m->faces[0].a);
  EXPECT_EQ(40002, m->faces[0].c);
  EXPECT_EQ(63999, m->faces[1].a);
  EXPECT_EQ(63998, m->faces[1].b);
  EXPECT_EQ(63997, m->faces[1].c);
}

TEST(ModelReader, ObjectsBeyond199ReuseSlot198) {
  Bytes body;
  for (int i = 0; i < 250; ++i) {
    const Bytes o = Object("O" + std::to_string(i), FaceList({{0, 0, 0, 0}}));
    body.insert(body.end(), o.begin(), o.end());
  }
  MeshPtr m = Read(Main(body));
  EXPECT_STREQ("O197", m->objectNames[197]);
  EXPECT_EQ(197, m->objectFirstFace[197]);
  EXPECT_STREQ("O249", m->objectNames[198]);
  EXPECT_EQ(249, m->objectFirstFace[198]);
  EXPECT_EQ(ObjectListEnd, m->objectFirstFace[199]);
  EXPECT_EQ(250, m->faceCount);
}

TEST(ModelReader, NameWithoutNulFillsTheSlotAndReadingGoesOn) {
  Bytes block = RawHeader(0x4000, 0);
  block.insert(block.end(), 200, 'x');
  MeshPtr m = Read(Cat({block, VertexList({{5, 5, 5}})}));
  EXPECT_EQ(std::string(200, 'x'), std::string(m->objectNames[0], 200));
  EXPECT_EQ(1, m->vertexCount);
}

TEST(ModelReader, TruncatedFilesNeverReadPastTheEnd) {
  // A list cut short keeps its count; the records it lacks read as zeros
  // (faces: corner 0 of the object).
  const Bytes list = VertexList({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  MeshPtr m = Read(Bytes(list.begin(), list.begin() + 8 + 12 + 4));
  EXPECT_EQ(3, m->vertexCount);
  EXPECT_FLOAT_EQ(3.0f, m->vertices[0].z);
  EXPECT_FLOAT_EQ(0.0f, m->vertices[1].x);
  EXPECT_FLOAT_EQ(0.0f, m->vertices[2].z);
  const Bytes faces = Cat({Quad4(), Quad4(), FaceList({{1, 2, 3, 9}, {3, 2, 1, 9}})});
  MeshPtr f = Read(Bytes(faces.begin(), faces.end() - 7));
  EXPECT_EQ(2, f->faceCount);
  EXPECT_EQ(5, f->faces[0].a);
  EXPECT_EQ(4, f->faces[1].a);
  EXPECT_EQ(4, f->faces[1].c);
  EXPECT_EQ(0, f->faces[1].flags);

  for (size_t cut = 0; cut < kOneObject.size(); ++cut) {
    MeshPtr p = Read(Bytes(kOneObject.begin(), kOneObject.begin() + cut));
    EXPECT_LE(p->vertexCount, 3);
    EXPECT_LE(p->faceCount, 1);
  }
}

TEST(ModelReader, FileLevelReadMatchesMemoryAndMissingFileIsUntouched) {
  const std::string path = TestFileDir() + "model_reader_one.bin";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fwrite(kOneObject.data(), 1, kOneObject.size(), f);
  std::fclose(f);
  MeshPtr m(NewMeshData());
  EXPECT_EQ(1, ReadModelFile(m.get(), text::FromUtf8(path).c_str()));
  EXPECT_EQ(0, std::memcmp(m.get(), Read(kOneObject).get(), sizeof(MeshData)));
  std::remove(path.c_str());

  MeshPtr untouched(NewMeshData());
  untouched->vertexCount = 77;
  EXPECT_EQ(0, ReadModelFile(untouched.get(), text::FromUtf8(path).c_str()));
  EXPECT_EQ(77, untouched->vertexCount);
  EXPECT_EQ(0, untouched->objectFirstFace[0]);
}

TEST(ModelReader, WholeFileReadStopsAtItsCap) {
  const std::string path = TestFileDir() + "модель_cap_ü.bin";  // non-ASCII name
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fwrite("0123456789", 1, 10, f);
  std::fclose(f);
  const std::u16string path16 = text::FromUtf8(path);
  model::FileBytes bytes;
  EXPECT_EQ(model::FileRead::Ok, model::ReadWholeFile(path16.c_str(), &bytes, 10));
  EXPECT_EQ(10u, bytes.size);
  EXPECT_EQ(0, std::memcmp("0123456789", bytes.data.get(), 10));
  EXPECT_EQ(model::FileRead::TooLarge, model::ReadWholeFile(path16.c_str(), &bytes, 9));
  EXPECT_EQ(0u, bytes.size);
  EXPECT_EQ(nullptr, bytes.data);
  std::remove(path.c_str());
  // A directory opens on POSIX but cannot be read as a file.
  EXPECT_NE(model::FileRead::Ok, model::ReadWholeFile(text::FromUtf8(::testing::TempDir()).c_str(), &bytes));
}
