#include "tools/ForgeExtrude.h"

#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace forge {

namespace {

class CObjectBuilder {
 public:
  CObjectBuilder(const ForgeLayout& l, ForgeObject* o) : layout(l), object(o) {}

  void AddCaps(const std::vector<Triangle>& triangles) {
    double half = layout.depth * 0.5;
    for (const auto& t : triangles) {
      Vec2 a = At(t[0]), b = At(t[1]), c = At(t[2]);
      double area = Cross(a, b, c);
      if (std::fabs(area) < 1e-10) continue;
      uint16_t fa = CapVertex(t[0], half, front), fb = CapVertex(t[1], half, front),
               fc = CapVertex(t[2], half, front);
      uint16_t ba = CapVertex(t[0], -half, back), bb = CapVertex(t[1], -half, back),
               bc = CapVertex(t[2], -half, back);
      if (fa == fb || fb == fc || fa == fc) continue;
      if (area > 0) {
        object->faces.push_back({fa, fb, fc});
        object->faces.push_back({ba, bc, bb});
      } else {
        object->faces.push_back({fa, fc, fb});
        object->faces.push_back({ba, bb, bc});
      }
    }
  }

  // The loop runs with the ink on its left, so the wall faces to its right.
  void AddWall(const Loop& loop) {
    double half = layout.depth * 0.5;
    size_t n = loop.size();
    uint16_t base = static_cast<uint16_t>(object->vertices.size());
    double s = 0;
    for (size_t i = 0; i <= n; ++i) {
      Vec2 p = At(loop[i % n]);
      if (i > 0) s += Dist(At(loop[i - 1]), p);
      float u = static_cast<float>(s / layout.textureTile);
      // Walls run along the texture's bottom edge, the middle of the frame
      // strap of the ornament, so they read as plain polished gold.
      AddVertex(p, half, u, 0.0f);
      AddVertex(p, -half, u, 0.0f);
    }
    for (size_t i = 0; i < n; ++i) {
      uint16_t a = static_cast<uint16_t>(base + 2 * i), d = static_cast<uint16_t>(a + 1);
      uint16_t b = static_cast<uint16_t>(a + 2), c = static_cast<uint16_t>(a + 3);
      object->faces.push_back({a, d, c});
      object->faces.push_back({a, c, b});
    }
  }

 private:
  // Keyed by position: the tessellator may hand out two vertices at one place.
  uint16_t CapVertex(TessPoint* v, double gz, std::unordered_map<uint64_t, uint16_t>& map) {
    uint64_t key = (static_cast<uint64_t>(std::llround((*v)[0] * 1e5) & 0xffffffff) << 32) |
                   (static_cast<uint64_t>(std::llround((*v)[1] * 1e5)) & 0xffffffff);
    auto it = map.find(key);
    if (it != map.end()) return it->second;
    uint16_t index = static_cast<uint16_t>(object->vertices.size());
    Vec2 p = At(v);
    // The back is mapped mirrored so that its ornament reads the right way
    // round when the back turns toward the viewer.
    float u = static_cast<float>((gz > 0 ? p.x : -p.x) / layout.textureTile);
    AddVertex(p, gz, u, static_cast<float>(p.y / layout.textureTile));
    map.emplace(key, index);
    return index;
  }

  void AddVertex(Vec2 p, double gz, float u, float v) {
    ForgeVertex fv{};
    GlyphToModel(p.x, p.y, gz, &fv.x, &fv.y, &fv.z);
    fv.u = u;
    fv.v = v;
    object->vertices.push_back(fv);
  }

  const ForgeLayout& layout;
  ForgeObject* object;
  std::unordered_map<uint64_t, uint16_t> front, back;
};

// A vertex that ended up in no face (its triangles were degenerate) would be
// drawn by nobody and only confuse other readers' counts.
void DropUnusedVertices(ForgeObject* object) {
  std::vector<int> remap(object->vertices.size(), -1);
  for (const auto& f : object->faces)
    for (uint16_t i : f) remap[i] = 0;
  std::vector<ForgeVertex> kept;
  for (size_t i = 0; i < remap.size(); ++i) {
    if (remap[i] < 0) continue;
    remap[i] = static_cast<int>(kept.size());
    kept.push_back(object->vertices[i]);
  }
  if (kept.size() == object->vertices.size()) return;
  for (auto& f : object->faces)
    for (uint16_t& i : f) i = static_cast<uint16_t>(remap[i]);
  object->vertices = std::move(kept);
}

// Neighbours merge, the smallest pair first, while there are more pieces
// than the reader keeps objects.
std::vector<std::vector<size_t>> ObjectGroups(size_t pieces) {
  std::vector<std::vector<size_t>> groups;
  for (size_t i = 0; i < pieces; ++i) groups.push_back({i});
  while (groups.size() > ForgeMaxObjects) {
    size_t best = 0, bestSize = std::numeric_limits<size_t>::max();
    for (size_t i = 0; i + 1 < groups.size(); ++i) {
      size_t sz = groups[i].size() + groups[i + 1].size();
      if (sz < bestSize) best = i, bestSize = sz;
    }
    groups[best].insert(groups[best].end(), groups[best + 1].begin(), groups[best + 1].end());
    groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(best) + 1);
  }
  return groups;
}

}  // namespace

ExtrudeResult ExtrudePieces(outline::CTessellator* tess, const std::vector<Piece>& pieces, const ForgeLayout& layout,
                            std::deque<TessPoint>* pool, ForgeModel* model, std::string* error) {
  const std::vector<std::vector<size_t>> groups = ObjectGroups(pieces.size());
  model->objects.clear();
  size_t totalV = 0, totalF = 0;
  for (size_t g = 0; g < groups.size(); ++g) {
    ForgeObject object;
    char name[32];
    std::snprintf(name, sizeof name, "ink%03zu", g + 1);
    object.name = name;
    CObjectBuilder builder(layout, &object);
    for (size_t index : groups[g]) {
      std::vector<Triangle> triangles;
      if (!CapTriangles(tess, pieces[index], pool, &triangles)) {
        *error = "the cap tessellation failed";
        return ExtrudeResult::Failed;
      }
      builder.AddCaps(triangles);
      for (const auto& loop : pieces[index].loops) builder.AddWall(loop);
    }
    if (object.vertices.size() <= ForgeMaxObjectVertices) DropUnusedVertices(&object);
    totalV += object.vertices.size();
    totalF += object.faces.size();
    const bool fits =
        object.vertices.size() <= ForgeMaxObjectVertices && totalV <= ForgeMaxItems && totalF <= ForgeMaxItems;
    model->objects.push_back(std::move(object));
    if (!fits) return ExtrudeResult::TooLarge;
  }
  return ExtrudeResult::Fits;
}

}  // namespace forge
