// Costs of one entry switch: parsing a 64000-face model, decoding a
// 1024x1024 24-bit bitmap, building its mipmaps, and drawing the mesh.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gl/egl/Offscreen.h"
#include "platform/GLHeaders.h"
#include "model/Cn3dmax.h"
#include "model/Dib.h"
#include "model/Model3ds.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutF(Bytes& b, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  Put32(b, u);
}
Bytes Chunk(uint16_t id, const Bytes& body) {
  Bytes b;
  Put16(b, id);
  Put32(b, static_cast<uint32_t>(6 + body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Four objects, each a wavy 81x101 grid: 32724 vertices and mapping
// coordinates, 64000 faces, about 1.2 MB.
Bytes HeavyModel() {
  constexpr int kCols = 81, kRows = 101, kObjects = 4;
  Bytes editor;
  for (int o = 0; o < kObjects; ++o) {
    Bytes vertices, faces, mapping;
    Put16(vertices, kCols * kRows);
    Put16(mapping, kCols * kRows);
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kCols; ++c) {
        PutF(vertices, c * 0.1f - 4.0f);
        PutF(vertices, r * 0.1f - 5.0f);
        PutF(vertices, 0.3f * std::sin(c * 0.2f + o) * std::cos(r * 0.15f) + o * 0.5f);
        PutF(mapping, c / float(kCols - 1));
        PutF(mapping, r / float(kRows - 1));
      }
    }
    Put16(faces, (kCols - 1) * (kRows - 1) * 2);
    for (int r = 0; r + 1 < kRows; ++r) {
      for (int c = 0; c + 1 < kCols; ++c) {
        const uint32_t i = r * kCols + c;
        for (uint32_t v : {i, i + 1, i + kCols, 7u, i + 1, i + kCols + 1, i + kCols, 7u}) Put16(faces, v);
      }
    }
    const Bytes name{'p', 'a', 'r', 't', uint8_t('0' + o), 0};
    const Bytes trimesh = Chunk(0x4100, Cat(Cat(Chunk(0x4110, vertices), Chunk(0x4120, faces)), Chunk(0x4140, mapping)));
    editor = Cat(editor, Chunk(0x4000, Cat(name, trimesh)));
  }
  return Chunk(0x4D4D, Chunk(0x3D3D, editor));
}

Bytes Bitmap1024() {
  constexpr int kSide = 1024;
  Bytes b{'B', 'M'};
  Put32(b, 54 + kSide * kSide * 3);
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, kSide);
  Put32(b, kSide);
  Put16(b, 1);
  Put16(b, 24);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) b.insert(b.end(), {uint8_t(x), uint8_t(y), uint8_t(x ^ y)});
  return b;
}

struct Files {
  Bytes model = HeavyModel();
  Bytes bitmap = Bitmap1024();
  std::u16string modelPath, bitmapPath;
  Files() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = tmp != nullptr && *tmp ? tmp : "/tmp";
    modelPath = Write(dir + "/lumi_bench_01.bin", model);
    bitmapPath = Write(dir + "/lumi_bench_01.bmp", bitmap);
  }
  static std::u16string Write(const std::string& path, const Bytes& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(data.data(), 1, data.size(), f) != data.size()) std::abort();
    std::fclose(f);
    return text::FromUtf8(path);
  }
};
const Files& TestFiles() {
  static const Files files;
  return files;
}

// A full-HD target on the headless context, made current once.
bool GlReady() {
  static const bool ready = [] {
    static OffscreenGl gl(1920, 1080);
    if (!gl.ready()) return false;
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45.0, 1920.0 / 1080.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    gluLookAt(0.0356, 0.0, 23.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    return true;
  }();
  return ready;
}

void BM_ParseModelMemory(benchmark::State& state) {
  const Bytes& model = TestFiles().model;
  MeshData* mesh = NewMeshData();
  for (auto _ : state) benchmark::DoNotOptimize(ReadModelMemory(mesh, model.data(), model.size()));
  state.counters["faces"] = mesh->faceCount;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(model.size()));
  DeleteMeshData(mesh);
}
BENCHMARK(BM_ParseModelMemory)->Unit(benchmark::kMillisecond);

// What the switch does: a fresh zero-filled mesh, then the file read.
void BM_ParseModelFile(benchmark::State& state) {
  const std::u16string& path = TestFiles().modelPath;
  for (auto _ : state) {
    MeshData* mesh = NewMeshData();
    benchmark::DoNotOptimize(ReadModelFile(mesh, path.c_str()));
    DeleteMeshData(mesh);
  }
}
BENCHMARK(BM_ParseModelFile)->Unit(benchmark::kMillisecond);

void BM_DecodeDib1024(benchmark::State& state) {
  const Bytes& bitmap = TestFiles().bitmap;
  for (auto _ : state) {
    RgbImage* image = nullptr;
    DecodeDib(bitmap.data(), bitmap.size(), &image);
    FreeRgbImage(image);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bitmap.size()));
}
BENCHMARK(BM_DecodeDib1024)->Unit(benchmark::kMillisecond);

void BM_LoadDibImage1024(benchmark::State& state) {
  const std::u16string& path = TestFiles().bitmapPath;
  for (auto _ : state) FreeRgbImage(LoadDibImage(path.c_str()));
}
BENCHMARK(BM_LoadDibImage1024)->Unit(benchmark::kMillisecond);

// Touches more memory than any cache holds, as 25 s of frames do.
void EvictCaches() {
  static std::vector<uint8_t> sweep(size_t{64} << 20);
  for (size_t i = 0; i < sweep.size(); i += 64) sweep[i] = static_cast<uint8_t>(sweep[i] + 1);
  benchmark::DoNotOptimize(sweep.data());
}

// One whole switch: construct, parse, decode, mipmaps; the old model's
// destruction included. Arg 1 adds the first frame's draw, which computes
// the face normals and records and draws the mesh. Arg 2 is arg 0 with the
// freed memory handed back to the system first, as the allocator's defaults
// do between two switches: the switch then pays the page faults of fresh
// buffers. Arg 3 is the running program: it keeps freed memory for reuse
// (plat::RetainFreedMemory), and the caches are cold after 25 s of frames.
void BM_EntrySwitch(benchmark::State& state) {
  if (!GlReady()) {
    state.SkipWithError("no EGL/OpenGL context");
    return;
  }
  if (state.range(0) == 3) plat::RetainFreedMemory();
  const Files& files = TestFiles();
  Ccn3dmax* model = nullptr;
  for (auto _ : state) {
    delete model;
    model = nullptr;
    if (state.range(0) >= 2) {
      state.PauseTiming();
      if (state.range(0) == 2) malloc_trim(0);
      EvictCaches();
      state.ResumeTiming();
    }
    model = new Ccn3dmax();
    model->LoadModelFrom(files.modelPath.c_str(), files.bitmapPath.c_str());
    if (state.range(0) == 1) model->Draw();
    glFinish();
  }
  delete model;
}
BENCHMARK(BM_EntrySwitch)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The heaviest model with its texture, on the headless context.
bool LoadHeaviest(benchmark::State& state, Ccn3dmax* model) {
  if (!GlReady()) {
    state.SkipWithError("no EGL/OpenGL context");
    return false;
  }
  const Files& files = TestFiles();
  model->LoadModelFrom(files.modelPath.c_str(), files.bitmapPath.c_str());
  return true;
}

// A steady frame of the heaviest model: normals cached, immediate mode.
// Arg 0: issuing the calls only; arg 1: with the rasterisation (glFinish).
void BM_DrawMesh64000(benchmark::State& state) {
  Ccn3dmax model;
  if (!LoadHeaviest(state, &model)) return;
  DrawMesh(model.mesh);
  glFinish();
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawMesh(model.mesh);
    if (state.range(0) != 0) glFinish();
  }
  glFinish();
}
BENCHMARK(BM_DrawMesh64000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The same frame issued call by call every time, as DrawMesh would without
// its display list: the figure the recorded batch is measured against.
void BM_DrawMesh64000Immediate(benchmark::State& state) {
  Ccn3dmax model;
  if (!LoadHeaviest(state, &model)) return;
  const MeshData& m = *model.mesh;
  PrepareNormals(model.mesh);
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    for (int f = 0; f < m.faceCount; ++f) {
      const MeshFace& face = m.faces[f];
      glNormal3f(m.faceNormals[f].x, m.faceNormals[f].y, m.faceNormals[f].z);
      for (int32_t c : {face.a, face.b, face.c}) {
        glTexCoord2f(m.texCoords[c].u, m.texCoords[c].v);
        glVertex3f(m.vertices[c].x, m.vertices[c].y, m.vertices[c].z);
      }
    }
    glEnd();
    if (state.range(0) != 0) glFinish();
  }
  glFinish();
}
BENCHMARK(BM_DrawMesh64000Immediate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
