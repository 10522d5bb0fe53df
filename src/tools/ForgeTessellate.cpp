#include "tools/ForgeTessellate.h"

#include <algorithm>
#include <cmath>

namespace forge {

namespace {

// Line loops of a boundary pass and triangles of a fill pass, whatever
// primitives GLU chose for them.
class CCollector : public outline::TessSink {
 public:
  std::vector<Loop> loops;
  std::vector<Triangle> triangles;

  void Begin(GLenum type) override {
    mode_ = type;
    current_.clear();
  }
  void Vertex(TessPoint* point) override { current_.push_back(point); }
  void End() override {
    auto& v = current_;
    switch (mode_) {
      case GL_LINE_LOOP:
        loops.push_back(v);
        break;
      case GL_TRIANGLES:
        for (size_t i = 0; i + 2 < v.size(); i += 3) triangles.push_back({v[i], v[i + 1], v[i + 2]});
        break;
      case GL_TRIANGLE_FAN:
        for (size_t i = 1; i + 1 < v.size(); ++i) triangles.push_back({v[0], v[i], v[i + 1]});
        break;
      case GL_TRIANGLE_STRIP:
        for (size_t i = 0; i + 2 < v.size(); ++i) {
          if (i % 2 == 0)
            triangles.push_back({v[i], v[i + 1], v[i + 2]});
          else
            triangles.push_back({v[i + 1], v[i], v[i + 2]});
        }
        break;
      default:
        break;
    }
    v.clear();
  }

 private:
  GLenum mode_ = 0;
  Loop current_;
};

std::vector<Vec2> LoopPoints(const Loop& loop) {
  std::vector<Vec2> pts;
  pts.reserve(loop.size());
  for (auto* v : loop) pts.push_back(At(v));
  return pts;
}

bool InsideLoop(Vec2 p, const std::vector<Vec2>& loop) {
  bool inside = false;
  for (size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++) {
    const Vec2& a = loop[i];
    const Vec2& b = loop[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

// Removes the repeated points that the union leaves where outlines touch;
// they would give zero-length walls.
Loop CleanLoop(const Loop& loop) {
  Loop out;
  for (auto* v : loop) {
    if (!out.empty() && Dist(At(out.back()), At(v)) < 1e-5) continue;
    out.push_back(v);
  }
  while (out.size() > 1 && Dist(At(out.front()), At(out.back())) < 1e-5) out.pop_back();
  return out;
}

}  // namespace

bool UnionLoops(outline::CTessellator* tess, const std::vector<std::vector<Vec2>>& polygons,
                std::deque<TessPoint>* pool, std::vector<Loop>* loops) {
  std::vector<Loop> contours;
  for (const auto& poly : polygons) {
    contours.emplace_back();
    for (const Vec2& p : poly) {
      pool->push_back({p.x, p.y, 0});
      contours.back().push_back(&pool->back());
    }
  }
  CCollector collector;
  if (!tess->Run(contours, GLU_TESS_WINDING_NONZERO, true, pool, &collector)) return false;
  *loops = std::move(collector.loops);
  return true;
}

std::vector<Piece> GroupPieces(const std::vector<Loop>& loops) {
  std::vector<Piece> pieces;
  std::vector<Loop> holes;
  for (const auto& raw : loops) {
    auto loop = CleanLoop(raw);
    if (loop.size() < 3) continue;
    auto pts = LoopPoints(loop);
    double area = SignedArea(pts);
    if (std::fabs(area) < 1e-8) continue;
    if (area > 0) {
      Piece piece;
      piece.area = area;
      for (const Vec2& p : pts) piece.box.Add(p);
      piece.loops.push_back(std::move(loop));
      pieces.push_back(std::move(piece));
    } else {
      holes.push_back(std::move(loop));
    }
  }
  // A hole belongs to the smallest exterior that holds most of its points;
  // a single point may sit on a touching outline.
  for (auto& hole : holes) {
    auto pts = LoopPoints(hole);
    Box hb;
    for (const Vec2& p : pts) hb.Add(p);
    Piece* owner = nullptr;
    size_t step = std::max<size_t>(1, pts.size() / 7);
    for (auto& piece : pieces) {
      if (!piece.box.Contains(hb) || (owner && piece.area >= owner->area)) continue;
      auto ext = LoopPoints(piece.loops[0]);
      size_t inside = 0, tested = 0;
      for (size_t i = 0; i < pts.size(); i += step, ++tested) inside += InsideLoop(pts[i], ext) ? 1 : 0;
      if (inside * 2 > tested) owner = &piece;
    }
    if (owner) owner->loops.push_back(std::move(hole));
  }
  std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.box.x1 > b.box.x1; });
  return pieces;
}

bool CapTriangles(outline::CTessellator* tess, const Piece& piece, std::deque<TessPoint>* pool,
                  std::vector<Triangle>* triangles) {
  CCollector collector;
  if (!tess->Run(piece.loops, GLU_TESS_WINDING_NONZERO, false, pool, &collector)) return false;
  *triangles = std::move(collector.triangles);
  return true;
}

}  // namespace forge
