// lumitool forge: makes the 100 calligraphy models and their bitmaps.
#include "tools/Forge.h"

#include "lumi_config.h"
#include "tools/ForgeFiles.h"
#include "tools/ForgeGeometry.h"
#include "tools/ForgeOutline.h"
#include "tools/ForgeTexture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int EntryCount = 100;
constexpr int TextureSize = 512;
constexpr const char* FontFamily = "Amiri";
constexpr const char* FontFallback = "/usr/share/fonts/opentype/fonts-hosny-amiri/Amiri-Regular.ttf";

void Usage() {
  std::fputs(
      "usage: lumitool forge OUTDIR... [--names FILE] [--font FILE] [--jobs N] [--entry N] [--verbose]\n"
      "  writes 01.bin .. 100.bin and 01.bmp .. 100.bmp into each OUTDIR\n",
      stderr);
}

// Reads "position<TAB>text" lines; '#' starts a comment line. Every position
// 0..99 must appear exactly once.
bool ReadNames(const std::string& path, std::vector<std::string>* names, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  names->assign(EntryCount, std::string());
  std::vector<bool> seen(EntryCount, false);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    char* end = nullptr;
    long position = std::strtol(line.c_str(), &end, 10);
    if (tab == std::string::npos || tab == 0 || end != line.c_str() + tab || position < 0 ||
        position >= EntryCount) {
      *error = path + ":" + std::to_string(lineNo) + ": expected a position 0-99, a tab and the text";
      return false;
    }
    std::string text = line.substr(tab + 1);
    if (text.empty() || seen[static_cast<size_t>(position)]) {
      *error = path + ":" + std::to_string(lineNo) + ": empty or repeated position " + std::to_string(position);
      return false;
    }
    seen[static_cast<size_t>(position)] = true;
    (*names)[static_cast<size_t>(position)] = text;
  }
  for (int i = 0; i < EntryCount; ++i) {
    if (!seen[static_cast<size_t>(i)]) {
      *error = path + ": position " + std::to_string(i) + " is missing";
      return false;
    }
  }
  return true;
}

struct EntryResult {
  bool ok = false;
  std::string error;
  size_t vertices = 0, faces = 0, objects = 0;
  double tolerance = 0;
};

// 01 to 09, then 10 to 100: the names the program looks for.
std::string FileName(int number, const char* ext) {
  char name[32];
  std::snprintf(name, sizeof name, "%02d.%s", number, ext);
  return name;
}

// The text line is drawn with the model's texture still bound and no texture
// coordinates of its own, so it takes the texel of the last coordinate the
// mesh sent: the last corner of the last face. Make that the brightest
// corner available, keeping the face's winding.
void EndOnBrightTexel(ForgeModel* model, const std::vector<uint8_t>& rgb, int size) {
  if (model->objects.empty() || model->objects.back().faces.empty()) return;
  ForgeObject& o = model->objects.back();
  auto texel = [&](const ForgeVertex& v) {
    auto wrap = [&](float t) {
      int i = static_cast<int>(std::floor(t * static_cast<float>(size)));
      return ((i % size) + size) % size;
    };
    // Rows are top first in `rgb`; texture row 0 is the bottom one.
    size_t at = (static_cast<size_t>(size - 1 - wrap(v.v)) * static_cast<size_t>(size) + static_cast<size_t>(wrap(v.u))) * 3;
    return rgb[at] + rgb[at + 1] + rgb[at + 2];
  };
  size_t bestFace = 0;
  int bestCorner = 0, bestValue = -1;
  for (size_t f = 0; f < o.faces.size(); ++f)
    for (int c = 0; c < 3; ++c) {
      int value = texel(o.vertices[o.faces[f][static_cast<size_t>(c)]]);
      if (value > bestValue) bestValue = value, bestFace = f, bestCorner = c;
    }
  auto face = o.faces[bestFace];
  o.faces.erase(o.faces.begin() + static_cast<std::ptrdiff_t>(bestFace));
  std::rotate(face.begin(), face.begin() + (bestCorner + 1) % 3, face.end());
  o.faces.push_back(face);
}

void ForgeEntry(CForgeShaper* shaper, const std::string& text, int number, const std::vector<std::string>& dirs,
                EntryResult* result) {
  ForgeModel model;
  ForgeLayout layout;
  if (!shaper->Build(text, layout, &model, &result->error)) return;
  result->vertices = model.VertexCount();
  result->faces = model.FaceCount();
  result->objects = model.objects.size();
  result->tolerance = model.tolerance;

  std::vector<uint8_t> rgb;
  PaintOrnament(number, TextureSize, &rgb);
  EndOnBrightTexel(&model, rgb, TextureSize);
  const std::vector<uint8_t> modelFile = Encode3ds(model);
  const std::vector<uint8_t> bitmapFile = EncodeDib24(TextureSize, TextureSize, rgb);
  for (const auto& dir : dirs) {
    const std::filesystem::path base(dir);
    if (!WriteWholeFile((base / FileName(number, "bin")).string(), modelFile, &result->error)) return;
    if (!WriteWholeFile((base / FileName(number, "bmp")).string(), bitmapFile, &result->error)) return;
  }
  result->ok = true;
}

}  // namespace

int ForgeCommand(int argc, char** argv) {
  std::vector<std::string> outDirs;
  std::string namesPath = std::string(LUMI_SOURCE_DIR) + "/data/names-arabic.tsv", fontPath;
  int jobs = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 2u));
  int only = 0;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--names" || a == "--font" || a == "--jobs" || a == "--entry") {
      if (!hasValue) {
        std::fprintf(stderr, "forge: %s needs a value\n", a.c_str());
        return 2;
      }
      const char* v = argv[++i];
      if (a == "--names") {
        namesPath = v;
      } else if (a == "--font") {
        fontPath = v;
      } else if (a == "--jobs") {
        jobs = std::clamp(std::atoi(v), 1, 16);
      } else {
        only = std::atoi(v);
        if (only < 1 || only > EntryCount) {
          std::fprintf(stderr, "forge: --entry takes 1 to %d\n", EntryCount);
          return 2;
        }
      }
    } else if (a == "--verbose") {
      verbose = true;
    } else if (a == "--help" || a == "-h") {
      Usage();
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "forge: unknown option %s\n", a.c_str());
      Usage();
      return 2;
    } else {
      outDirs.push_back(a);
    }
  }
  if (outDirs.empty()) {
    Usage();
    return 2;
  }

  std::string error;
  std::vector<std::string> names;
  if (!ReadNames(namesPath, &names, &error)) {
    std::fprintf(stderr, "forge: %s\n", error.c_str());
    return 1;
  }
  if (fontPath.empty()) fontPath = FindFontFile(FontFamily);
  if (fontPath.empty() && std::filesystem::exists(FontFallback)) fontPath = FontFallback;
  if (fontPath.empty()) {
    std::fprintf(stderr, "forge: the %s font is not installed (Debian package fonts-hosny-amiri)\n", FontFamily);
    return 1;
  }
  for (const auto& dir : outDirs) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) {
      std::fprintf(stderr, "forge: cannot create %s\n", dir.c_str());
      return 1;
    }
  }

  const auto started = std::chrono::steady_clock::now();
  std::vector<EntryResult> results(EntryCount);
  const int first = only ? only - 1 : 0;
  const int last = only ? only : EntryCount;
  std::atomic<int> next{first};
  std::mutex printLock;
  auto worker = [&] {
    CForgeShaper shaper;
    std::string openError;
    const bool opened = shaper.Open(fontPath, &openError);
    for (int i; (i = next.fetch_add(1)) < last;) {
      EntryResult& r = results[static_cast<size_t>(i)];
      if (opened)
        ForgeEntry(&shaper, names[static_cast<size_t>(i)], i + 1, outDirs, &r);
      else
        r.error = openError;
      if (verbose || !r.ok) {
        std::lock_guard<std::mutex> lock(printLock);
        if (r.ok)
          std::printf("%s: %zu objects, %zu vertices, %zu faces, tolerance %.4f\n", FileName(i + 1, "bin").c_str(),
                      r.objects, r.vertices, r.faces, r.tolerance);
        else
          std::fprintf(stderr, "forge: entry %d: %s\n", i + 1, r.error.c_str());
      }
    }
  };
  std::vector<std::thread> threads;
  for (int t = 1; t < jobs; ++t) threads.emplace_back(worker);
  worker();
  for (auto& t : threads) t.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  size_t minV = SIZE_MAX, maxV = 0, minF = SIZE_MAX, maxF = 0, maxO = 0;
  int done = 0, failed = 0;
  for (int i = first; i < last; ++i) {
    const EntryResult& r = results[static_cast<size_t>(i)];
    if (!r.ok) {
      ++failed;
      continue;
    }
    ++done;
    minV = std::min(minV, r.vertices);
    maxV = std::max(maxV, r.vertices);
    minF = std::min(minF, r.faces);
    maxF = std::max(maxF, r.faces);
    maxO = std::max(maxO, r.objects);
  }
  if (done > 0)
    std::printf("forge: %d models and bitmaps in %s%s, %.2f s; vertices %zu-%zu, faces %zu-%zu, up to %zu objects\n",
                done, outDirs[0].c_str(), outDirs.size() > 1 ? " and copies" : "", seconds, minV, maxV, minF, maxF,
                maxO);
  if (failed) std::fprintf(stderr, "forge: %d entries failed\n", failed);
  return failed ? 1 : 0;
}
